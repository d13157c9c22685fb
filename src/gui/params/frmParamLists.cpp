// The parameter form's lists: each page's lists filled from the database the first time the page
// is shown, the pages emptied, and every list read again after the database changed under the
// form, the entries kept.

#include "frmParam.h"

#include "ComboFill.h"
#include "core/db/DataAccess.h"
#include "core/report/ListStatements.h"
#include "core/report/ParameterSet.h"
#include "gui/params/WeedDropDown.h"
#include "gui/shared/AppState.h"
#include "gui/shared/AutoComplete.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHash>
#include <QLineEdit>
#include <QLocale>
#include <QRadioButton>
#include <QSignalBlocker>
#include <cmath>
#include <initializer_list>

namespace grelavo {

namespace {

// What every box, line and option of a form holds, and whether a box held an item of its list;
// put back once the lists are read again. An item its list no longer holds is cleared and
// named; a text that was typed and never an item stays as typed.
class KeptEntries {
public:
    explicit KeptEntries(QWidget& form) : m_form(form) {
        for (QComboBox* box : form.findChildren<QComboBox*>())
            m_boxes.insert(box->objectName(),
                           {box->currentText(), !box->currentText().isEmpty() &&
                                                    AutoComplete::holdsItemOrNothing(box)});
        for (QLineEdit* edit : form.findChildren<QLineEdit*>())
            if (!qobject_cast<QComboBox*>(edit->parentWidget()))
                m_lines.insert(edit->objectName(), edit->text());
        for (QRadioButton* option : form.findChildren<QRadioButton*>())
            m_options.insert(option->objectName(), option->isChecked());
    }

    void restore(QComboBox* box) {
        const Kept was = m_boxes.value(box->objectName());
        if (was.text.isEmpty()) {
            if (!box->currentText().isEmpty()) { // a default the fill chose
                box->setCurrentIndex(-1);
                box->setEditText(QString());
            }
            return;
        }
        if (box->currentText() == was.text && AutoComplete::holdsItemOrNothing(box))
            return;
        const int index = box->findText(was.text, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (index >= 0) {
            box->setCurrentIndex(index);
        } else if (was.item) {
            const QString name =
                box->accessibleName().isEmpty() ? box->objectName() : box->accessibleName();
            m_cleared << QStringLiteral("%1\u00a0: %2").arg(name, was.text);
            box->setCurrentIndex(-1);
            box->setEditText(QString());
        } else {
            box->setEditText(was.text);
        }
    }
    void restoreBoxes(std::initializer_list<const char*> names) {
        for (const char* name : names)
            restore(m_form.findChild<QComboBox*>(QLatin1String(name)));
    }
    void restoreLine(QLineEdit* edit) const { edit->setText(m_lines.value(edit->objectName())); }
    void restoreLines(std::initializer_list<const char*> names) const {
        for (const char* name : names)
            if (auto* edit = m_form.findChild<QLineEdit*>(QLatin1String(name)))
                edit->setText(m_lines.value(QLatin1String(name)));
    }
    void restoreOptions(std::initializer_list<const char*> names) const {
        for (const char* name : names)
            if (m_options.value(QLatin1String(name)))
                m_form.findChild<QRadioButton*>(QLatin1String(name))->setChecked(true);
    }
    // The entries cleared, each as "Herbicide 2 : mésotrione".
    QStringList cleared() const { return m_cleared; }

private:
    struct Kept {
        QString text;
        bool item = false;
    };
    QWidget& m_form;
    QHash<QString, Kept> m_boxes;
    QHash<QString, QString> m_lines;
    QHash<QString, bool> m_options;
    QStringList m_cleared;
};

} // namespace

void frmParam::Fill_cbbApp() {
    DataAccess data(m_de);
    // The one sorted box of the form.
    fillCombo(m_cbbApp, inFrenchOrder(data.FillList(ListStatements::periods())));
    fillCombo(m_cbbCult, data.FillList(ListStatements::crops()));
    m_cbbCult->addItem(ParameterSet::AllCornName, ParameterSet::AllCornItemData);
    m_cbbCult->setCurrentIndex(2); // chooses the crop: its varieties are read
    {
        // Adding the first item makes it current; that is no choice of the user's.
        const QSignalBlocker quiet(m_cbbNombHerb);
        m_cbbNombHerb->clear();
        for (int i = 1; i <= 4; ++i)
            m_cbbNombHerb->addItem(QString::number(i), i);
        m_cbbNombHerb->setCurrentIndex(-1);
    }
    m_state.NeedFill_cbbApp = false;
    m_fraHerbApp->setVisible(true);
}

void frmParam::Fill_Culture() {
    findChild<QRadioButton*>(QStringLiteral("optFeuil"))->setChecked(true);
    SwitchCropStage();
    findChild<QRadioButton*>(QStringLiteral("optKg"))->setChecked(true);
    fillCombo(findChild<QComboBox*>(QStringLiteral("cbbCultAnte")),
              DataAccess(m_de).FillList(ListStatements::previousCrops()));
    auto* profDe = findChild<QComboBox*>(QStringLiteral("cbbCultProfDe"));
    auto* profA = findChild<QComboBox*>(QStringLiteral("cbbCultProfA"));
    auto* ecart = findChild<QComboBox*>(QStringLiteral("cbbCultEcart"));
    for (QComboBox* box : {profDe, profA, ecart})
        box->clear(); // a second fill replaces the first
    for (int i = 1; i <= 11; ++i) {
        profDe->addItem(QString::number(i), i);
        profA->addItem(QString::number(i), i);
    }
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
              data.FillList(ListStatements::provinces()));
    fillCombo(findChild<QComboBox*>(QStringLiteral("cbbSiteClaTex")),
              data.FillList(ListStatements::textures()));
    auto* moDe = findChild<QComboBox*>(QStringLiteral("cbbSiteMatOrgDe"));
    auto* moA = findChild<QComboBox*>(QStringLiteral("cbbSiteMatOrgA"));
    auto* phDe = findChild<QComboBox*>(QStringLiteral("cbbSitepHDe"));
    auto* phA = findChild<QComboBox*>(QStringLiteral("cbbSitepHA"));
    for (QComboBox* box : {moDe, moA, phDe, phA})
        box->clear(); // a second fill replaces the first
    for (int k = 0; k <= 85; ++k) {
        moDe->addItem(QString::number(k), k);
        moA->addItem(QString::number(k), k);
    }
    // A single-precision counter, as the list has always been built: its sum stays just below
    // 9 on the 66th step, so the list ends with 9.
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

std::array<QComboBox*, WeedDropDown::Boxes> frmParam::weedBoxes() const {
    std::array<QComboBox*, WeedDropDown::Boxes> boxes{};
    for (int i = 0; i < WeedDropDown::Boxes; ++i)
        boxes[i] = findChild<QComboBox*>(indexed("cbbMauvHerb", i));
    return boxes;
}

void frmParam::Fill_MauvHerb() {
    DataAccess data(m_de);
    for (QComboBox* box : weedBoxes()) {
        fillCombo(box, data.FillList(ListStatements::weeds()));
        box->setCurrentIndex(-1);
    }
    // The boxes open the weed list instead of their own list; the list window is made now.
    if (!m_weedDropDown)
        m_weedDropDown = new WeedDropDown(m_state, m_de, this);
    m_weedDropDown->SetDropDownHook(true, weedBoxes());
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

QStringList frmParam::ReloadLists() {
    KeptEntries kept(*this);
    const auto enteredRates = m_state.EnteredRate;
    const bool filled[Pages] = {!m_state.NeedFill_cbbApp, !m_state.NeedFill_Culture,
                                !m_state.NeedFill_Site, !m_state.NeedFill_MauvHerb};

    EmptyControls(QStringLiteral("Obligatoire"));
    EmptyControls(QStringLiteral("Optionnel"));
    ResetHerbicideSection();
    // The weed list window read its weeds once: a new one is made with the boxes' lists.
    if (m_weedDropDown) {
        m_weedDropDown->SetDropDownHook(false, weedBoxes());
        delete m_weedDropDown->listWindow();
        delete m_weedDropDown;
        m_weedDropDown = nullptr;
    }
    m_state.NeedFill_cbbApp = true;
    m_state.NeedFill_Culture = true;
    m_state.NeedFill_Site = true;
    m_state.NeedFill_MauvHerb = true;

    // Each entry back in its box, in the order a user enters them, so that each choice fills
    // the lists that follow it.
    if (filled[0]) {
        Fill_cbbApp();
        kept.restore(m_cbbApp);
        if (m_fraHerbApp->isEnabled()) {
            kept.restore(m_cbbNombHerb);
            for (int r = 0; r < chosenCount(); ++r)
                kept.restore(m_cbbHerbApp[r]);
            for (int r = 0; r < chosenCount(); ++r) {
                kept.restore(m_cbbFormApp[r]);
                kept.restoreLine(m_txtConcApp[r]);
                kept.restoreLine(m_txtTaux[r]);
            }
        }
        kept.restore(m_cbbCult);
        if (m_cbbCultVar->isEnabled())
            kept.restore(m_cbbCultVar);
        m_state.EnteredRate = enteredRates;
    }
    if (filled[1]) {
        Fill_Culture();
        kept.restoreOptions({"optFeuil", "optHaut", "optKg", "optSe"});
        kept.restoreBoxes({"cbbCultAnte", "cbbCultProfDe", "cbbCultProfA", "cbbCultEcart"});
        kept.restoreLines({"txtCultSemisDe", "txtCultSemisA", "txtCultFeuilDe", "txtCultFeuilA",
                           "txtCultHautDe", "txtCultHautA"});
    }
    if (filled[2]) {
        Fill_Site();
        kept.restoreBoxes({"cbbSiteProv", "cbbSiteClaTex", "cbbSiteMatOrgDe", "cbbSiteMatOrgA",
                           "cbbSitepHDe", "cbbSitepHA"});
    }
    if (filled[3]) {
        Fill_MauvHerb();
        for (QComboBox* box : weedBoxes())
            kept.restore(box);
    }
    return kept.cleared();
}

} // namespace grelavo
