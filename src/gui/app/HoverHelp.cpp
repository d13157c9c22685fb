#include "HoverHelp.h"

#include "shared/AppState.h"

#include <QApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QToolButton>
#include <QWidget>

namespace grelavo {

namespace {

const char* const kTextProperty = "grelavoHoverText";

struct Row {
    const char* controls; // one or two objectNames separated by a blank
    const char* text;
};

const QString kHerbicide = QStringLiteral(
    "Entrez au clavier ou sélectionnez l'herbicide dans la liste.  Chaque herbicide dépend du type "
    "d'application, du nombre et des autres herbicides");

const Row kPage1[] = {
    {"cbbApp", "Entrez au clavier ou sélectionnez dans la liste le type d'application "
               "d'herbicide: prélevée, postlevée..."},
    {"cbbCult", "Entrez au clavier ou sélectionnez dans la liste la culture.\rLe choix 'Maïs "
                "(tous)' groupe le maïs grain, fourrager et sucré."},
    {"cbbNombHerb", "Veuillez entrer le nombre d'herbicides appliqués pour ce traitement."},
    {"cmdTaux", "Appuyez ici pour sélectionner les taux d'applications à partir d'une liste "
                "spécifique aux herbicides entrés."},
};
const Row kPage2[] = {
    {"cbbCultVar", "Optionnel, entrez au clavier ou sélectionnez dans la liste la variété de maïs"},
    {"cbbCultAnte",
     "Optionnel, entrez au clavier ou sélectionnez dans la liste la culture précédante"},
    {"cbbCultEcart",
     "Optionnel, sélectionnez dans la liste l'écart (en cm) entre les rangs de maïs semés"},
    {"cbbCultProfDe cbbCultProfA", "Optionnel, entrez au clavier ou sélectionnez dans la liste la "
                                   "profondeur du semis exprimé en cm"},
};
const Row kPage3[] = {
    {"cbbSiteProv", "Optionnel, entrez au clavier ou sélectionnez dans la liste la Province"},
    {"cbbSiteClaTex", "Optionnel, entrez au clavier ou sélectionnez dans la liste la classe "
                      "texturale: loam, sable, loam sableux..."},
    {"cbbSiteMatOrgDe cbbSiteMatOrgA", "Optionnel, entrez au clavier ou sélectionnez dans la liste "
                                       "le pourcentage de matière organique"},
    {"cbbSitepHDe cbbSitepHA", "Optionnel, entrez au clavier ou sélectionnez dans la liste le pH"},
};
const QString kWeed = QStringLiteral(
    "Entrez au clavier ou sélectionnez une m.h. pour laquelle vous voulez évaluer l'efficacité du "
    "traitement et qui ne se retrouve pas dans la liste prédéfinie");

const char* const kStrip[10] = {
    "Appuyez ici pour effacer toutes les données relatives à cette page",
    "Appuyez ici pour obtenir les informations sur les paramètres obligatoires",
    "Appuyez ici pour entrer les Informations relatives à la culture et aux antécédents culturaux",
    "Appuyez ici pour entrer les Informations relatives au site ( région, type de sol... )",
    "Appuyez ici pour entrer des mauvaises herbes qui ne figurent pas dans la liste prédéfinie",
    "Appuyez ici pour effacer toutes les données relatives aux paramètres optionnels",
    "Appuyez ici pour obtenir les informations sur les paramètres optionnels",
    "Appuyer ici pour copier le rapport",
    "Appuyer ici pour imprimer le rapport",
    "Appuyez ici pour obtenir les informations relatives au rapport"};
const int kGroupFirst[3] = {1, 3, 8};
const int kGroupLast[3] = {2, 7, 10};

} // namespace

QString HoverHelp::generalPrompt() {
    return QStringLiteral("Entrez les paramètres obligatoires et appuyez sur le bouton 'Rapports' "
                          "pour produire le rapport");
}

HoverHelp::HoverHelp(AppState& state, QWidget* mainWindow, QWidget* paramForm,
                     QWidget* resultsWindow, std::function<int()> currentGroup,
                     std::function<void(const QString&)> setHelpLine)
    : QObject(mainWindow), m_state(state), m_param(paramForm),
      m_currentGroup(std::move(currentGroup)), m_setHelpLine(std::move(setHelpLine)) {
    auto in = [](QWidget* root, const char* name) {
        return root->findChild<QWidget*>(QLatin1String(name));
    };
    watch(in(mainWindow, "cmdObligatoire"),
          QStringLiteral("Appuyez ici pour entrer les paramètres nécessaires à la production "
                         "d'un rapport"));
    watch(in(mainWindow, "cmdOptionnel"),
          QStringLiteral("Appuyez ici pour entrer des paramètres optionnels"));
    watch(in(mainWindow, "cmdRapport"), QStringLiteral("Appuyez ici pour produire les rapports"));
    for (const char* name : {"picListBar", "picStatusBar", "mdiArea"})
        watch(in(mainWindow, name), generalPrompt());
    for (QToolButton* button : in(mainWindow, "ListBar")->findChildren<QToolButton*>())
        watch(button, QString()); // the strip: by the pointer's height
    watch(paramForm, generalPrompt());
    for (const char* name :
         {"sstParam(0)", "sstParam(1)", "sstParam(2)", "sstParam(3)", "imageFormBack",
          "ImaStadCrois", "fraApp", "fraHerbApp", "fraCulture", "FraAnte", "fraCultApp",
          "FraCultTauxSemis", "FraSemis", "fraSite", "fraMauvHerb"})
        watch(in(paramForm, name), generalPrompt());
    watch(in(paramForm, "Frame3"),
          QStringLiteral("Veuillez choisir entre le nombre de feuilles ou la hauteur du maïs à "
                         "l'application de l'herbicide"));
    watch(in(paramForm, "optKg"),
          QStringLiteral("Sélectionnez si vous désirez entrer un taux de semis en kg/ha"));
    watch(in(paramForm, "optSe"), QStringLiteral("Sélectionnez si vous désirez entrer un taux de "
                                                 "semis en nombre de grains par ha"));
    const QString leaves = QStringLiteral(
        "Optionnel, entrez le nombre de feuilles de maïs à l'application de l'herbicide");
    const QString height =
        QStringLiteral("Optionnel, entrez la hauteur du maïs en cm à l'application de l'herbicide");
    for (const char* name : {"txtCultFeuilDe", "txtCultFeuilA"})
        watch(in(paramForm, name), leaves);
    for (const char* name : {"txtCultHautDe", "txtCultHautA"})
        watch(in(paramForm, name), height);
    for (const char* name : {"txtCultSemisDe", "txtCultSemisA"})
        watch(in(paramForm, name), QStringLiteral("Optionnel, entrez le taux de semis"));
    for (int i = 0; i < 4; ++i)
        watch(in(paramForm, qPrintable(QStringLiteral("txtTaux(%1)").arg(i))),
              QStringLiteral("Entrez ici le taux d'aplication d'herbicide.  Les unités sont en "
                             "kg/ha de matière active"));
    watch(resultsWindow, QString());

    const Row* pages[3] = {kPage1, kPage2, kPage3};
    for (int page = 1; page <= 3; ++page)
        for (int r = 0; r < 4; ++r)
            poll(page, QString::fromLatin1(pages[page - 1][r].controls),
                 QString::fromUtf8(pages[page - 1][r].text));
    poll(1, QStringLiteral("cbbHerbApp(0) cbbHerbApp(1) cbbHerbApp(2) cbbHerbApp(3)"), kHerbicide);
    poll(4,
         QStringLiteral(
             "cbbMauvHerb(0) cbbMauvHerb(1) cbbMauvHerb(2) cbbMauvHerb(3) cbbMauvHerb(4)"),
         kWeed);
}

void HoverHelp::watch(QWidget* w, const QString& text) {
    if (!w)
        return;
    w->setProperty(kTextProperty, text);
    w->setMouseTracking(true);
    w->installEventFilter(this);
}

bool HoverHelp::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::MouseMove)
        return false;
    auto* w = static_cast<QWidget*>(watched);
    if (auto* button = qobject_cast<QToolButton*>(w);
        button && button->parentWidget() &&
        button->parentWidget()->objectName() == QLatin1String("ListBar")) {
        const QPoint inStrip =
            button->mapToParent(static_cast<QMouseEvent*>(event)->position().toPoint());
        const QString text = stripText(m_currentGroup(), inStrip.y(), button->height());
        if (!text.isEmpty())
            m_setHelpLine(text);
        return static_cast<QMouseEvent*>(event)->buttons() == Qt::NoButton;
    }
    m_setHelpLine(w->property(kTextProperty).toString());
    // Taken here, so that the container under the control does not write its own text too; a
    // move with a button down (a drag, a text selection) still reaches the control.
    return static_cast<QMouseEvent*>(event)->buttons() == Qt::NoButton;
}

QString HoverHelp::stripText(int group, int y, int h) {
    if (group < 0 || group > 2 || h <= 0)
        return QString();
    int sum = 0;
    for (int b = kGroupFirst[group]; b <= kGroupLast[group]; ++b) {
        sum += h;
        if (sum > y)
            return QString::fromUtf8(kStrip[b - 1]);
    }
    return QString();
}

void HoverHelp::poll(int page, const QString& names, const QString& text) {
    for (const QString& name : names.split(QLatin1Char(' '))) {
        QWidget* w = m_param->findChild<QWidget*>(name);
        if (!w)
            continue;
        const int weed =
            name.startsWith(QLatin1String("cbbMauvHerb(")) ? name.mid(12, 1).toInt() : -1;
        m_polled[page].push_back({w, text, weed});
    }
}

// The controls of the page are looked up once; a tick only compares rectangles.
void HoverHelp::tick(int currentPage, const QPoint& pos) {
    if (currentPage < 1 || currentPage > 4)
        return;
    // A window in front of the form (the weed list, a message) hides the controls under it.
    if (const QWidget* front = QApplication::topLevelAt(pos); front && front != m_param->window())
        return;
    for (const Polled& p : m_polled[currentPage]) {
        if (!p.control->isVisible() || !p.control->rect().contains(p.control->mapFromGlobal(pos)))
            continue;
        m_setHelpLine(p.text);
        if (p.weedIndex >= 0)
            m_state.HoverWeedIndex = static_cast<qint16>(p.weedIndex);
    }
}

} // namespace grelavo
