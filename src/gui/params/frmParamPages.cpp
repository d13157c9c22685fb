// The parameter form's four pages, their controls and their pictures, built once.

#include "frmParam.h"

#include "core/report/InputCheck.h"
#include "gui/shared/AutoComplete.h"
#include "gui/shared/HoverText.h"
#include "render/Twips.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace grelavo {

namespace {

// Design sizes in twips: the smallest size of a page (a page whose controls need more grows), and
// the introduction's panel.
constexpr int kPageWidth = 10800;
constexpr int kPageHeight = 6900;
constexpr int kIntroWidth = 9000;
constexpr int kIntroHeight = 2700;

// What the help line says of the controls; the boxes' texts are shown by the shell's timer.
const char* const kHerbicideHelp =
    "Entrez au clavier ou sélectionnez l'herbicide dans la liste.  Chaque herbicide dépend du type "
    "d'application, du nombre et des autres herbicides";
const char* const kRateHelp = "Entrez ici le taux d'application d'herbicide.  Les unités sont en "
                              "kg/ha de matière active";
const char* const kDepthHelp = "Optionnel, entrez au clavier ou sélectionnez dans la liste la "
                               "profondeur du semis exprimée en cm";
const char* const kOrganicHelp = "Optionnel, entrez au clavier ou sélectionnez dans la liste le "
                                 "pourcentage de matière organique";
const char* const kPhHelp = "Optionnel, entrez au clavier ou sélectionnez dans la liste le pH";
const char* const kWeedHelp =
    "Entrez au clavier ou sélectionnez une m.h. pour laquelle vous voulez évaluer l'efficacité du "
    "traitement et qui ne se retrouve pas dans la liste prédéfinie";

template <typename W> W* described(W* w, const char* help) {
    HoverText::describe(w, QString::fromUtf8(help));
    return w;
}

template <typename W> W* polled(W* w, const char* help, int weed = -1) {
    HoverText::describePolled(w, QString::fromUtf8(help), weed);
    return w;
}

QLineEdit* lineEdit(const QString& name, const char* help) {
    auto* edit = new QLineEdit;
    edit->setObjectName(name);
    return described(edit, help);
}

QRadioButton* option(const QString& name, const QString& caption) {
    auto* button = new QRadioButton(caption);
    button->setObjectName(name);
    return button;
}

// A frame's background speaks of the whole form.
QGroupBox* frame(const QString& name, const QString& caption) {
    auto* box = new QGroupBox(caption);
    box->setObjectName(name);
    HoverText::describe(box, HoverText::generalPrompt());
    return box;
}

// Young corn plants of increasing size, from emergence to a few leaves.
QPixmap growthStagesPicture(const QSize& size, int plants) {
    QPixmap picture(size);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    const int ground = size.height() - 6;
    p.setPen(QPen(QColor(0x8a, 0x62, 0x3a), 3));
    p.drawLine(0, ground, size.width(), ground);
    const double step = double(size.width()) / plants;
    for (int k = 0; k < plants; ++k) {
        const double x = step * (k + 0.5);
        // Stems grow by whole pixels.
        const double height = static_cast<int>((ground - 4) * (k + 1) / plants);
        p.setPen(QPen(QColor(0x3d, 0x7a, 0x1f), 2));
        p.drawLine(QPointF(x, ground), QPointF(x, ground - height));
        for (int leaf = 0; leaf <= k; ++leaf) {
            const double y = ground - height * (leaf + 1) / (k + 2);
            const double side = leaf % 2 ? 1 : -1;
            QPainterPath path(QPointF(x, y));
            path.quadTo(QPointF(x + side * step * 0.35, y - 8),
                        QPointF(x + side * step * 0.45, y + 2));
            p.strokePath(path, QPen(QColor(0x5a, 0xa0, 0x2c), 3));
        }
    }
    return picture;
}

// What a screen reader calls a box. An editable combo box hands the focus to its line: the line
// carries the name (the box itself announces its text, and its label through the label's buddy).
void nameFor(QWidget* box, const QString& name) {
    box->setAccessibleName(name);
    if (auto* combo = qobject_cast<QComboBox*>(box); combo && combo->lineEdit())
        combo->lineEdit()->setAccessibleName(name);
}

// A label tied to its box: a screen reader names the box by it, and its access key reaches it.
QLabel* labelFor(const QString& caption, QWidget* box) {
    auto* label = new QLabel(caption);
    label->setBuddy(box);
    return label;
}

// A "De ... à" range: a caption, then the two boxes, named "caption, de" and "caption, à".
void range(QGridLayout* grid, int row, const QString& caption, QWidget* low, QWidget* high) {
    const QString name = QString(caption).replace(QLatin1Char('\n'), QLatin1Char(' '));
    nameFor(low, name + QStringLiteral(", de"));
    nameFor(high, name + QStringLiteral(", à"));
    grid->addWidget(labelFor(caption, low), row, 0);
    grid->addWidget(new QLabel(QStringLiteral("De")), row, 1);
    grid->addWidget(low, row, 2);
    grid->addWidget(new QLabel(QStringLiteral("à")), row, 3);
    grid->addWidget(high, row, 4);
    grid->setColumnStretch(2, 1); // the boxes take the room, not "De" and "à"
    grid->setColumnStretch(4, 1);
}

// A soft field backdrop: a light sky fading into pale rows of young corn.
QPixmap formBackPicture() {
    QPixmap picture(QSize(640, 400));
    QPainter p(&picture);
    QLinearGradient sky(0, 0, 0, picture.height());
    sky.setColorAt(0, QColor(0xf7, 0xf6, 0xee));
    sky.setColorAt(1, QColor(0xe9, 0xec, 0xd8));
    p.fillRect(picture.rect(), sky);
    p.setPen(QPen(QColor(0xdd, 0xe3, 0xc6), 2));
    for (int y = picture.height() / 2; y < picture.height(); y += 24)
        p.drawLine(0, y, picture.width(), y);
    return picture;
}

// The introduction's panel: a rounded card with young corn at its left edge.
QPixmap introPanelPicture(const QSize& size) {
    QPixmap picture(size);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0xb8, 0xc2, 0x9a), 1));
    p.setBrush(QColor(0xfb, 0xfa, 0xf3));
    p.drawRoundedRect(QRectF(picture.rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    p.drawPixmap(8, size.height() - 72, growthStagesPicture(QSize(96, 64), 3));
    return picture;
}

} // namespace

frmParam::frmParam(AppState& state, DE& de, DialogService& dialogs, QWidget* parent)
    : QWidget(parent), m_state(state), m_de(de), m_dialogs(dialogs) {
    setObjectName(QStringLiteral("frmParam"));
    HoverText::describe(this, HoverText::generalPrompt());
    m_imageFormBack = new QLabel(this);
    m_imageFormBack->setObjectName(QStringLiteral("imageFormBack"));
    HoverText::describe(m_imageFormBack, HoverText::generalPrompt());
    m_imageFormBack->setPixmap(formBackPicture());
    m_imageFormBack->setScaledContents(true);
    buildIntroduction();
    const QStringList tabs[Pages] = {
        {QStringLiteral("Application des herbicides")},
        {QStringLiteral("Détails sur la culture"), QStringLiteral("Culture à l'application")},
        {QStringLiteral("Informations sur le site")},
        {QStringLiteral("Mauvaises herbes")}};
    QSize pageSize = Twips::toPixels(QRect(0, 0, kPageWidth, kPageHeight)).size();
    for (int i = 0; i < Pages; ++i) {
        auto* page = new QTabWidget(this);
        page->setObjectName(indexed("sstParam", i));
        HoverText::describe(page, HoverText::generalPrompt());
        for (int t = 0; t < tabs[i].size(); ++t) {
            QWidget* content = i == 0   ? buildMandatoryPage()
                               : i == 1 ? buildCropPage(t)
                               : i == 2 ? buildSitePage()
                                        : buildWeedPage();
            page->addTab(content, tabs[i][t]);
        }
        page->setVisible(false);
        pageSize = pageSize.expandedTo(page->sizeHint());
        m_pages[i] = page;
    }
    // One size for every page, so the tabs stay in place from one page to the next; narrower
    // when the form is (Form_Resize), down to what the widest page's controls need.
    m_designedPage = pageSize;
    for (QTabWidget* page : m_pages)
        page->resize(pageSize);
    m_cbbCultVar = findChild<QComboBox*>(QStringLiteral("cbbCultVar"));
    m_fraHerbApp->setVisible(false);
    connectCascade();
    connectOptions();
    Form_Load();
}

void frmParam::buildIntroduction() {
    m_imaTextIntro = new QLabel(this);
    m_imaTextIntro->setObjectName(QStringLiteral("imaTextIntro"));
    const QRect panel = Twips::toPixels(QRect(0, 0, kIntroWidth, kIntroHeight));
    m_imaTextIntro->setPixmap(introPanelPicture(panel.size()));
    m_imaTextIntro->setFixedSize(panel.size());
    m_label2 = new QLabel(this);
    m_label2->setObjectName(QStringLiteral("Label2"));
    m_label2->setWordWrap(true);
    m_label2->setAlignment(Qt::AlignCenter);
    // Clear of the corn at the panel's left edge, centred like the panel.
    m_label2->setFixedSize(panel.width() - 2 * 120, panel.height() - 16);
}

QComboBox* frmParam::combo(const QString& name, bool editable) {
    auto* box = new QComboBox;
    box->setObjectName(name);
    box->setEditable(editable);
    nameFor(box, InputCheck::fieldName(name)); // range boxes are named by their range
    box->setInsertPolicy(QComboBox::NoInsert);
    // A long item does not widen the page: the box is as wide as its layout makes it.
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    box->setMinimumContentsLength(4);
    box->setCompleter(nullptr); // the type-ahead below completes from the list
    AutoComplete::attach(box);
    return box;
}

QWidget* frmParam::buildMandatoryPage() {
    auto* page = new QWidget;
    auto* fraApp =
        frame(QStringLiteral("fraApp"), QStringLiteral("Type d'application - stade de la culture"));
    auto* appLayout = new QGridLayout(fraApp);
    m_cbbApp = polled(combo(QStringLiteral("cbbApp")),
                      "Entrez au clavier ou sélectionnez dans la liste le type d'application "
                      "d'herbicide\u00a0: prélevée, postlevée…");
    appLayout->addWidget(m_cbbApp, 0, 0);
    auto* stages = new QLabel;
    stages->setObjectName(QStringLiteral("ImaStadCrois"));
    stages->setPixmap(growthStagesPicture(QSize(240, 72), 5));
    stages->setToolTip(QStringLiteral("Stades de croissance du maïs"));
    HoverText::describe(stages, HoverText::generalPrompt());
    appLayout->addWidget(stages, 0, 1, Qt::AlignRight);
    auto* fraCult = frame(QStringLiteral("fraCult"), QString());
    auto* cultLayout = new QHBoxLayout(fraCult);
    m_cbbCult = polled(combo(QStringLiteral("cbbCult")),
                       "Entrez au clavier ou sélectionnez dans la liste la culture.\rLe choix "
                       "'Maïs (tous)' groupe le maïs grain, fourrager et sucré.");
    cultLayout->addWidget(labelFor(QStringLiteral("Culture\u00a0:"), m_cbbCult));
    cultLayout->addWidget(m_cbbCult, 1);
    appLayout->addWidget(fraCult, 1, 0, 1, 2);

    appLayout->addWidget(buildHerbicideSection(), 2, 0, 1, 2);
    auto* legend = new QHBoxLayout;
    auto* star = new QLabel(QStringLiteral("*"));
    star->setStyleSheet(QStringLiteral("color: #ff0000; font-weight: bold;"));
    auto* label9 = new QLabel(QStringLiteral("champs obligatoires"));
    label9->setObjectName(QStringLiteral("Label9"));
    legend->addWidget(star);
    legend->addWidget(label9);
    legend->addStretch();
    appLayout->addLayout(legend, 3, 0, 1, 2);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(fraApp);
    layout->addStretch();
    return page;
}

// The herbicide section: the count, the headings, a row per herbicide and the rate button.
QGroupBox* frmParam::buildHerbicideSection() {
    m_fraHerbApp =
        frame(QStringLiteral("fraHerbApp"), QStringLiteral("Application - Détails des herbicides"));
    auto* herbLayout = new QGridLayout(m_fraHerbApp);
    const char* headings[6] = {"lblHerbApp", "lblConcApp", "lblFormApp",
                               "lblTauxApp", "lblkghaApp", "lblNombHerb"};
    const char* captions[6] = {"Herbicides", "Concentration", "Formulation",
                               "Taux",       "kg i.a./ha",    "Nombre d'herbicides\u00a0:"};
    for (int h = 0; h < 6; ++h) {
        m_headings[h] = new QLabel(QString::fromUtf8(captions[h]));
        m_headings[h]->setObjectName(QLatin1String(headings[h]));
    }
    m_cbbNombHerb = polled(combo(QStringLiteral("cbbNombHerb")),
                           "Veuillez entrer le nombre d'herbicides appliqués pour ce traitement.");
    m_cbbNombHerb->setFixedWidth(Twips::toPixels(1200));
    m_headings[5]->setBuddy(m_cbbNombHerb);
    auto* count = new QHBoxLayout;
    count->addWidget(m_headings[5]);
    count->addWidget(m_cbbNombHerb);
    count->addStretch();
    herbLayout->addLayout(count, 0, 0, 1, 4);
    herbLayout->addWidget(m_headings[0], 1, 1);
    herbLayout->addWidget(m_headings[2], 1, 3);
    herbLayout->addWidget(m_headings[1], 1, 4);
    herbLayout->addWidget(m_headings[3], 1, 5);
    herbLayout->addWidget(m_headings[4], 1, 7);
    for (int i = 0; i < Rows; ++i)
        buildHerbicideRow(herbLayout, i);
    herbLayout->setColumnStretch(1, 3);
    m_cmdTaux = new QPushButton(QStringLiteral("Sélectionner les taux"));
    m_cmdTaux->setObjectName(QStringLiteral("cmdTaux"));
    polled(m_cmdTaux, "Appuyez ici pour sélectionner les taux d'applications à partir d'une liste "
                      "spécifique aux herbicides entrés.");
    herbLayout->addWidget(m_cmdTaux, Rows + 2, 5, 1, 3);
    return m_fraHerbApp;
}

// Herbicide row i: its arrow, herbicide, formulation, concentration and rate, with their stars.
void frmParam::buildHerbicideRow(QGridLayout* herbLayout, int i) {
    const int row = i + 2;
    if (i > 0) {
        m_redArrow[i - 1] = new QLabel(QStringLiteral("➘"));
        m_redArrow[i - 1]->setObjectName(indexed("RedArrow", i - 1));
        m_redArrow[i - 1]->setStyleSheet(QStringLiteral("color: #c00000;"));
        herbLayout->addWidget(m_redArrow[i - 1], row, 0, Qt::AlignRight);
    }
    m_cbbHerbApp[i] = polled(combo(indexed("cbbHerbApp", i)), kHerbicideHelp);
    m_lblStarHerb[i] = new QLabel(QStringLiteral("*"));
    m_lblStarHerb[i]->setObjectName(indexed("lblStarHerb", i));
    m_cbbFormApp[i] = combo(indexed("cbbFormApp", i));
    m_txtConcApp[i] = new QLineEdit;
    m_txtConcApp[i]->setObjectName(indexed("txtConcApp", i));
    m_txtConcApp[i]->setAccessibleName(QStringLiteral("Concentration %1").arg(i + 1));
    m_txtTaux[i] = lineEdit(indexed("txtTaux", i), kRateHelp);
    m_txtTaux[i]->setAccessibleName(QStringLiteral("Taux %1").arg(i + 1));
    m_lblStarTaux[i] = new QLabel(QStringLiteral("*"));
    m_lblStarTaux[i]->setObjectName(indexed("lblStarTaux", i));
    for (QLabel* star : {m_lblStarHerb[i], m_lblStarTaux[i]})
        star->setStyleSheet(QStringLiteral("color: #ff0000; font-weight: bold;"));
    // Herbicide names are long; the concentration is never typed and a rate is short.
    // Narrow enough for a small screen: the herbicide boxes take what room there is.
    m_cbbHerbApp[i]->setMinimumWidth(Twips::toPixels(2400));
    m_cbbFormApp[i]->setFixedWidth(Twips::toPixels(1200));
    m_txtConcApp[i]->setFixedWidth(Twips::toPixels(1050));
    m_txtTaux[i]->setFixedWidth(Twips::toPixels(1050));
    herbLayout->addWidget(m_cbbHerbApp[i], row, 1);
    herbLayout->addWidget(m_lblStarHerb[i], row, 2);
    herbLayout->addWidget(m_cbbFormApp[i], row, 3);
    herbLayout->addWidget(m_txtConcApp[i], row, 4);
    herbLayout->addWidget(m_txtTaux[i], row, 5);
    herbLayout->addWidget(m_lblStarTaux[i], row, 6);
}

QWidget* frmParam::buildCropPage(int tab) {
    auto* page = new QWidget;
    auto* outer = new QVBoxLayout(page);
    if (tab == 0) {
        auto* details = frame(QStringLiteral("FraDétailsCulture"), QString());
        auto* detailsLayout = new QVBoxLayout(details);
        auto* fraCulture = frame(QStringLiteral("fraCulture"), QStringLiteral("Culture"));
        auto* cultureLayout = new QHBoxLayout(fraCulture);
        QComboBox* variety =
            polled(combo(QStringLiteral("cbbCultVar")),
                   "Optionnel, entrez au clavier ou sélectionnez dans la liste la variété de maïs");
        cultureLayout->addWidget(labelFor(QStringLiteral("Variété\u00a0:"), variety));
        cultureLayout->addWidget(variety, 1);
        detailsLayout->addWidget(fraCulture);

        auto* fraSemis = frame(QStringLiteral("FraSemis"), QStringLiteral("Semis"));
        auto* semisLayout = new QGridLayout(fraSemis);
        auto* frame4 = frame(QStringLiteral("Frame4"), QString());
        auto* unitLayout = new QHBoxLayout(frame4);
        unitLayout->addWidget(
            described(option(QStringLiteral("optKg"), QStringLiteral("    kg / ha")),
                      "Sélectionnez si vous désirez entrer un taux de semis en kg/ha"));
        unitLayout->addWidget(described(
            option(QStringLiteral("optSe"), QStringLiteral("Grains / ha")),
            "Sélectionnez si vous désirez entrer un taux de semis en nombre de grains par ha"));
        semisLayout->addWidget(frame4, 0, 2, 1, 3);
        range(semisLayout, 1, QStringLiteral("Taux de semis"),
              lineEdit(QStringLiteral("txtCultSemisDe"), "Optionnel, entrez le taux de semis"),
              lineEdit(QStringLiteral("txtCultSemisA"), "Optionnel, entrez le taux de semis"));
        detailsLayout->addWidget(fraSemis);

        auto* fraTaux = frame(QStringLiteral("FraCultTauxSemis"), QString());
        auto* tauxLayout = new QGridLayout(fraTaux);
        range(tauxLayout, 0, QStringLiteral("Profondeur (cm)"),
              polled(combo(QStringLiteral("cbbCultProfDe")), kDepthHelp),
              polled(combo(QStringLiteral("cbbCultProfA")), kDepthHelp));
        QComboBox* spacing = polled(combo(QStringLiteral("cbbCultEcart")),
                                    "Optionnel, sélectionnez dans la liste l'écart (en cm) entre "
                                    "les rangs de maïs semés");
        tauxLayout->addWidget(labelFor(QStringLiteral("Écart entre les\nrangs (cm)"), spacing), 1,
                              0);
        tauxLayout->addWidget(spacing, 1, 2, 1, 3);
        detailsLayout->addWidget(fraTaux);
        outer->addWidget(details);

        auto* fraAnte = frame(QStringLiteral("FraAnte"),
                              QStringLiteral("Antécédent cultural ( année précédente )"));
        auto* anteLayout = new QHBoxLayout(fraAnte);
        anteLayout->addWidget(polled(
            combo(QStringLiteral("cbbCultAnte")),
            "Optionnel, entrez au clavier ou sélectionnez dans la liste la culture précédente"));
        outer->addWidget(fraAnte);
    } else {
        auto* fraCultApp = frame(QStringLiteral("fraCultApp"),
                                 QStringLiteral("Stade de la culture au moment de l'application"));
        auto* grid = new QGridLayout(fraCultApp);
        auto* frame3 = described(frame(QStringLiteral("Frame3"), QStringLiteral("Choix")),
                                 "Veuillez choisir entre le nombre de feuilles ou la hauteur du "
                                 "maïs à l'application de l'herbicide");
        auto* choice = new QHBoxLayout(frame3);
        choice->addWidget(option(QStringLiteral("optFeuil"), QStringLiteral("Feuilles")));
        choice->addWidget(option(QStringLiteral("optHaut"), QStringLiteral("Hauteur")));
        grid->addWidget(frame3, 0, 0, 1, 5);
        const char* leaves =
            "Optionnel, entrez le nombre de feuilles de maïs à l'application de l'herbicide";
        const char* height =
            "Optionnel, entrez la hauteur du maïs en cm à l'application de l'herbicide";
        range(grid, 1, QStringLiteral("Nombre de feuilles"),
              lineEdit(QStringLiteral("txtCultFeuilDe"), leaves),
              lineEdit(QStringLiteral("txtCultFeuilA"), leaves));
        range(grid, 2, QStringLiteral("Hauteur (cm)"),
              lineEdit(QStringLiteral("txtCultHautDe"), height),
              lineEdit(QStringLiteral("txtCultHautA"), height));
        outer->addWidget(fraCultApp);
    }
    outer->addStretch();
    return page;
}

QWidget* frmParam::buildSitePage() {
    auto* page = new QWidget;
    auto* fraSite = frame(QStringLiteral("fraSite"), QStringLiteral("Caractéristiques du site"));
    auto* layout = new QGridLayout(fraSite);
    QComboBox* province =
        polled(combo(QStringLiteral("cbbSiteProv")),
               "Optionnel, entrez au clavier ou sélectionnez dans la liste la Province");
    QComboBox* texture = polled(combo(QStringLiteral("cbbSiteClaTex")),
                                "Optionnel, entrez au clavier ou sélectionnez dans la liste la "
                                "classe texturale\u00a0: loam, sable, loam sableux…");
    layout->addWidget(labelFor(QStringLiteral("Province"), province), 0, 0);
    layout->addWidget(province, 0, 1, 1, 4);
    layout->addWidget(labelFor(QStringLiteral("Classe texturale"), texture), 1, 0);
    layout->addWidget(texture, 1, 1, 1, 4);
    range(layout, 2, QStringLiteral("% matière organique"),
          polled(combo(QStringLiteral("cbbSiteMatOrgDe")), kOrganicHelp),
          polled(combo(QStringLiteral("cbbSiteMatOrgA")), kOrganicHelp));
    range(layout, 3, QStringLiteral("pH"), polled(combo(QStringLiteral("cbbSitepHDe")), kPhHelp),
          polled(combo(QStringLiteral("cbbSitepHA")), kPhHelp));
    auto* outer = new QVBoxLayout(page);
    outer->addWidget(fraSite);
    outer->addStretch();
    return page;
}

QWidget* frmParam::buildWeedPage() {
    auto* page = new QWidget;
    auto* fraMauvHerb =
        frame(QStringLiteral("fraMauvHerb"), QStringLiteral("Mauvaises herbes - noms français"));
    auto* layout = new QGridLayout(fraMauvHerb);
    for (int i = 0; i < 5; ++i) {
        auto* number = new QLabel(QString::number(i + 1));
        number->setObjectName(indexed("lblMauvherb", i));
        layout->addWidget(number, i, 0);
        layout->addWidget(polled(combo(indexed("cbbMauvHerb", i)), kWeedHelp, i), i, 1);
    }
    layout->setColumnStretch(1, 1); // the boxes beside their numbers
    auto* outer = new QVBoxLayout(page);
    outer->addWidget(fraMauvHerb);
    auto* tip = frame(QStringLiteral("fraAstuce"), QStringLiteral("Astuce"));
    auto* tipLayout = new QVBoxLayout(tip);
    auto* tipText = new QLabel(QStringLiteral(
        "Vous pouvez changer l'ordre des éléments dans la boîte de sélection des mauvaises herbes "
        "en 'cliquant' sur l'entête de colonne. Un triangle vert vous permet de voir si l'ordre "
        "est croissant ou décroissant."));
    tipText->setWordWrap(true);
    tipLayout->addWidget(tipText);
    outer->addWidget(tip);
    outer->addStretch();
    return page;
}

} // namespace grelavo
