#include "frmParam.h"

#include "ComboFill.h"
#include "app/AppState.h"
#include "db/DE.h"
#include "db/DataAccess.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cmath>

namespace grelavo {

namespace {

const QString kAllCorn = QStringLiteral("Maïs (tous)");

QString indexed(const char* name, int i) {
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(i);
}

QLineEdit* lineEdit(const QString& name) {
    auto* edit = new QLineEdit;
    edit->setObjectName(name);
    return edit;
}

QRadioButton* option(const QString& name, const QString& caption) {
    auto* button = new QRadioButton(caption);
    button->setObjectName(name);
    return button;
}

QGroupBox* frame(const QString& name, const QString& caption) {
    auto* box = new QGroupBox(caption);
    box->setObjectName(name);
    return box;
}

} // namespace

frmParam::frmParam(AppState& state, DE& de, DialogService& dialogs, QWidget* parent)
    : QWidget(parent), m_state(state), m_de(de), m_dialogs(dialogs) {
    setObjectName(QStringLiteral("frmParam"));
    auto* layout = new QVBoxLayout(this);
    const QStringList tabs[Pages] = {
        {QStringLiteral("Application des herbicides")},
        {QStringLiteral("Détails sur la culture"), QStringLiteral("Culture à l'application")},
        {QStringLiteral("Informations sur le site")},
        {QStringLiteral("Mauvaises herbes")}};
    for (int i = 0; i < Pages; ++i) {
        auto* page = new QTabWidget;
        page->setObjectName(indexed("sstParam", i));
        for (int t = 0; t < tabs[i].size(); ++t) {
            QWidget* content = i == 0   ? buildMandatoryPage()
                               : i == 1 ? buildCropPage(t)
                               : i == 2 ? buildSitePage()
                                        : buildWeedPage();
            page->addTab(content, tabs[i][t]);
        }
        page->setVisible(false);
        layout->addWidget(page);
        m_pages[i] = page;
    }
}

QComboBox* frmParam::combo(const QString& name, bool editable) {
    auto* box = new QComboBox;
    box->setObjectName(name);
    box->setEditable(editable);
    box->setInsertPolicy(QComboBox::NoInsert);
    return box;
}

QWidget* frmParam::buildMandatoryPage() {
    auto* page = new QWidget;
    auto* fraApp =
        frame(QStringLiteral("fraApp"), QStringLiteral("Type d'application - stade de la culture"));
    auto* appLayout = new QGridLayout(fraApp);
    appLayout->addWidget(combo(QStringLiteral("cbbApp")), 0, 0, 1, 2);
    auto* fraCult = frame(QStringLiteral("fraCult"), QString());
    auto* cultLayout = new QGridLayout(fraCult);
    cultLayout->addWidget(new QLabel(QStringLiteral("Culture :")), 0, 0);
    cultLayout->addWidget(combo(QStringLiteral("cbbCult")), 0, 1);
    appLayout->addWidget(fraCult, 1, 0, 1, 2);

    auto* fraHerbApp =
        frame(QStringLiteral("fraHerbApp"), QStringLiteral("Application - Détails des herbicides"));
    auto* herbLayout = new QGridLayout(fraHerbApp);
    herbLayout->addWidget(new QLabel(QStringLiteral("Nombre d'herbicides :")), 0, 0);
    herbLayout->addWidget(combo(QStringLiteral("cbbNombHerb")), 0, 1);
    for (int i = 0; i < 4; ++i) {
        herbLayout->addWidget(combo(indexed("cbbHerbApp", i)), i + 1, 0);
        herbLayout->addWidget(combo(indexed("cbbFormApp", i)), i + 1, 1);
        herbLayout->addWidget(lineEdit(indexed("txtConcApp", i)), i + 1, 2);
        herbLayout->addWidget(lineEdit(indexed("txtTaux", i)), i + 1, 3);
    }
    appLayout->addWidget(fraHerbApp, 2, 0, 1, 2);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(fraApp);
    return page;
}

QWidget* frmParam::buildCropPage(int tab) {
    auto* page = new QWidget;
    auto* layout = new QGridLayout(page);
    if (tab == 0) {
        layout->addWidget(new QLabel(QStringLiteral("Variété :")), 0, 0);
        layout->addWidget(combo(QStringLiteral("cbbCultVar")), 0, 1, 1, 2);
        layout->addWidget(option(QStringLiteral("optKg"), QStringLiteral("    kg / ha")), 1, 1);
        layout->addWidget(option(QStringLiteral("optSe"), QStringLiteral("Grains / ha")), 1, 2);
        layout->addWidget(new QLabel(QStringLiteral("Taux de semis")), 2, 0);
        layout->addWidget(lineEdit(QStringLiteral("txtCultSemisDe")), 2, 1);
        layout->addWidget(lineEdit(QStringLiteral("txtCultSemisA")), 2, 2);
        layout->addWidget(new QLabel(QStringLiteral("Profondeur (cm)")), 3, 0);
        layout->addWidget(combo(QStringLiteral("cbbCultProfDe")), 3, 1);
        layout->addWidget(combo(QStringLiteral("cbbCultProfA")), 3, 2);
        layout->addWidget(new QLabel(QStringLiteral("Écart entre les rangs(cm)")), 4, 0);
        layout->addWidget(combo(QStringLiteral("cbbCultEcart")), 4, 1, 1, 2);
        layout->addWidget(new QLabel(QStringLiteral("Antécédent cultural ( année précédente )")), 5,
                          0);
        layout->addWidget(combo(QStringLiteral("cbbCultAnte")), 5, 1, 1, 2);
    } else {
        layout->addWidget(option(QStringLiteral("optFeuil"), QStringLiteral("Feuilles")), 0, 1);
        layout->addWidget(option(QStringLiteral("optHaut"), QStringLiteral("Hauteur")), 0, 2);
        layout->addWidget(new QLabel(QStringLiteral("Nombre de feuilles")), 1, 0);
        layout->addWidget(lineEdit(QStringLiteral("txtCultFeuilDe")), 1, 1);
        layout->addWidget(lineEdit(QStringLiteral("txtCultFeuilA")), 1, 2);
        layout->addWidget(new QLabel(QStringLiteral("Hauteur (cm)")), 2, 0);
        layout->addWidget(lineEdit(QStringLiteral("txtCultHautDe")), 2, 1);
        layout->addWidget(lineEdit(QStringLiteral("txtCultHautA")), 2, 2);
    }
    layout->setRowStretch(layout->rowCount(), 1);
    return page;
}

QWidget* frmParam::buildSitePage() {
    auto* page = new QWidget;
    auto* fraSite = frame(QStringLiteral("fraSite"), QStringLiteral("Caractéristiques du site"));
    auto* layout = new QGridLayout(fraSite);
    layout->addWidget(new QLabel(QStringLiteral("Province")), 0, 0);
    layout->addWidget(combo(QStringLiteral("cbbSiteProv")), 0, 1, 1, 2);
    layout->addWidget(new QLabel(QStringLiteral("Classe texturale")), 1, 0);
    layout->addWidget(combo(QStringLiteral("cbbSiteClaTex")), 1, 1, 1, 2);
    layout->addWidget(new QLabel(QStringLiteral("% matière organique")), 2, 0);
    layout->addWidget(combo(QStringLiteral("cbbSiteMatOrgDe")), 2, 1);
    layout->addWidget(combo(QStringLiteral("cbbSiteMatOrgA")), 2, 2);
    layout->addWidget(new QLabel(QStringLiteral("pH")), 3, 0);
    layout->addWidget(combo(QStringLiteral("cbbSitepHDe")), 3, 1);
    layout->addWidget(combo(QStringLiteral("cbbSitepHA")), 3, 2);
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
        layout->addWidget(combo(indexed("cbbMauvHerb", i)), i, 1);
    }
    auto* outer = new QVBoxLayout(page);
    outer->addWidget(fraMauvHerb);
    outer->addStretch();
    return page;
}

void frmParam::Fill_cbbApp() {
    DataAccess data(m_de);
    auto* cbbApp = findChild<QComboBox*>(QStringLiteral("cbbApp"));
    // The one sorted box of the form.
    fillCombo(cbbApp, inFrenchOrder(data.FillList(
                          QStringLiteral("SELECT TypeApplication AS tblField, TypeApplicationId "
                                         "AS tblId FROM ListeDesPériodesApplication"))));
    cbbApp->setCurrentIndex(-1);
    auto* cbbCult = findChild<QComboBox*>(QStringLiteral("cbbCult"));
    fillCombo(cbbCult, data.FillList(QStringLiteral(
                           "SELECT ListeDesCultures.CultureId AS tblId, ListeDesCultures.[Nom "
                           "Français] AS tblField FROM ListeDesCultures WHERE ((Not "
                           "(ListeDesCultures.CultureId)=147)) ORDER BY ListeDesCultures.[Nom "
                           "Français];")));
    cbbCult->addItem(kAllCorn, 999);
    cbbCult->setCurrentIndex(2);
    auto* cbbNombHerb = findChild<QComboBox*>(QStringLiteral("cbbNombHerb"));
    for (int i = 1; i <= 4; ++i)
        cbbNombHerb->addItem(QString::number(i), i);
    cbbNombHerb->setCurrentIndex(-1);
    m_state.NeedFill_cbbApp = false;
}

void frmParam::Fill_Culture() {
    findChild<QRadioButton*>(QStringLiteral("optFeuil"))->setChecked(true);
    findChild<QRadioButton*>(QStringLiteral("optKg"))->setChecked(true);
    fillCombo(findChild<QComboBox*>(QStringLiteral("cbbCultAnte")),
              DataAccess(m_de).FillList(QStringLiteral(
                  "SELECT ListeDesAntécédents.AntécédentID AS tblId, ListeDesAntécédents.[Nom "
                  "Français] AS tblField FROM ListeDesAntécédents ORDER BY "
                  "ListeDesAntécédents.[Nom Français];")));
    auto* profDe = findChild<QComboBox*>(QStringLiteral("cbbCultProfDe"));
    auto* profA = findChild<QComboBox*>(QStringLiteral("cbbCultProfA"));
    for (int i = 1; i <= 11; ++i) {
        profDe->addItem(QString::number(i), i);
        profA->addItem(QString::number(i), i);
    }
    auto* ecart = findChild<QComboBox*>(QStringLiteral("cbbCultEcart"));
    int b = 60;
    for (int k = 0; k <= 3; ++k, b += 10)
        ecart->addItem(QStringLiteral("%1 - %2").arg(b).arg(b + 10), k);
    ecart->addItem(QStringLiteral("%1 et +").arg(b), 4);
    for (QComboBox* box : {profDe, profA, ecart})
        box->setCurrentIndex(-1);
    m_state.NeedFill_Culture = false;
}

void frmParam::Fill_Site() {
    DataAccess data(m_de);
    fillCombo(findChild<QComboBox*>(QStringLiteral("cbbSiteProv")),
              data.FillList(QStringLiteral("SELECT ListeDesProvinces.ProvinceID AS tblId, "
                                           "ListeDesProvinces.Province AS tblField FROM "
                                           "ListeDesProvinces;")));
    fillCombo(findChild<QComboBox*>(QStringLiteral("cbbSiteClaTex")),
              data.FillList(QStringLiteral("SELECT ListedesClastext.ClasseTexturaleId AS tblId, "
                                           "ListedesClastext.ClasseTexturale AS tblField FROM "
                                           "ListedesClastext;")));
    auto* moDe = findChild<QComboBox*>(QStringLiteral("cbbSiteMatOrgDe"));
    auto* moA = findChild<QComboBox*>(QStringLiteral("cbbSiteMatOrgA"));
    for (int k = 0; k <= 85; ++k) {
        moDe->addItem(QString::number(k), k);
        moA->addItem(QString::number(k), k);
    }
    // A single-precision counter, as the list has always been built: its sum stays just below
    // 9 on the 66th step, so the list ends with 9.
    auto* phDe = findChild<QComboBox*>(QStringLiteral("cbbSitepHDe"));
    auto* phA = findChild<QComboBox*>(QStringLiteral("cbbSitepHA"));
    const QLocale locale;
    int k = 0;
    for (float x = 2.5f; x <= 9.0f; x += 0.1f, ++k) {
        const double rounded = std::round(static_cast<double>(x) * 10.0) / 10.0;
        const QString text = locale.toString(rounded, 'g', 3);
        phDe->addItem(text, k);
        phA->addItem(text, k);
    }
    for (QComboBox* box :
         {findChild<QComboBox*>(QStringLiteral("cbbSiteProv")),
          findChild<QComboBox*>(QStringLiteral("cbbSiteClaTex")), moDe, moA, phDe, phA})
        box->setCurrentIndex(-1);
    m_state.NeedFill_Site = false;
}

void frmParam::Fill_MauvHerb() {
    DataAccess data(m_de);
    for (int i = 0; i < 5; ++i) {
        auto* box = findChild<QComboBox*>(indexed("cbbMauvHerb", i));
        fillCombo(box, data.FillList(
                           QStringLiteral("SELECT ListedesMauvaisesHerbes.MHId AS tblId, "
                                          "ListedesMauvaisesHerbes.[Nom-Francais] AS tblField FROM "
                                          "ListedesMauvaisesHerbes;")));
        box->setCurrentIndex(-1);
    }
    m_state.NeedFill_MauvHerb = false;
}

void frmParam::EmptyControls(const QString& which) {
    static const QStringList mandatoryFrames = {
        QStringLiteral("fraHerbApp"), QStringLiteral("fraApp"), QStringLiteral("fraCult")};
    const bool mandatory = which == QLatin1String("Obligatoire");
    for (QWidget* w : findChildren<QWidget*>()) {
        auto* box = qobject_cast<QComboBox*>(w);
        auto* edit = qobject_cast<QLineEdit*>(w);
        if ((!box && !edit) || (edit && qobject_cast<QComboBox*>(edit->parentWidget())))
            continue;
        const QWidget* container = w->parentWidget();
        const bool isMandatory = container && mandatoryFrames.contains(container->objectName());
        if (isMandatory != mandatory)
            continue;
        if (box)
            box->setCurrentIndex(-1), box->setEditText(QString());
        else
            edit->clear();
    }
}

} // namespace grelavo
