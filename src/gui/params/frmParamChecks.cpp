// The parameter form's checks (the rate box on leaving, the report's checks with their messages
// and the page they bring forward) and its read-out into a parameter set.

#include "frmParam.h"

#include "core/report/InputCheck.h"
#include "core/report/NumberText.h"
#include "core/report/ParameterSet.h"
#include "gui/shared/AppState.h"
#include "gui/shared/AutoComplete.h"
#include "gui/shared/DialogService.h"

#include <QComboBox>
#include <QLineEdit>
#include <QLocale>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>
#include <iterator>

namespace grelavo {

// A number typed with either decimal separator is shown back with the user's own once the box
// is left (a range box then shows its list's item).
void frmParam::showNumbersInUserFormat(QLineEdit* edit, bool rate) {
    connect(edit, &QLineEdit::editingFinished, this, [edit, rate] {
        const QString shown = NumberText::inLocale(edit->text(), QLocale(), rate);
        if (shown != edit->text()) {
            if (auto* box = qobject_cast<QComboBox*>(edit->parentWidget()))
                box->setEditText(shown);
            else
                edit->setText(shown);
        }
    });
}

// The rate box cannot be left by the user (Tab, a click elsewhere) while it holds a text that
// is not a number: the focus comes back and the message follows. Focus moved by the program,
// by a window or menu opening, is left alone.
void frmParam::txtTaux_Validate(int r, Qt::FocusReason reason) {
    static const Qt::FocusReason userMoves[] = {Qt::TabFocusReason, Qt::BacktabFocusReason,
                                                Qt::MouseFocusReason, Qt::ShortcutFocusReason};
    QLineEdit* box = m_txtTaux[r];
    if (std::find(std::begin(userMoves), std::end(userMoves), reason) == std::end(userMoves) ||
        !InputCheck::rateProblem(box->text(), QLocale()) || !box->isVisible() || !box->isEnabled())
        return;
    box->setFocus(Qt::OtherFocusReason);
    // Shown once the focus has settled, and only if no other message (a report's check, which
    // names the same box) came first.
    const int shownSoFar = m_attentionCount;
    QTimer::singleShot(0, box, [this, box, shownSoFar] {
        if (m_attentionCount != shownSoFar)
            return;
        if (const auto problem = InputCheck::rateProblem(box->text(), QLocale()))
            attention(*problem);
    });
}

void frmParam::attention(const QString& text) {
    ++m_attentionCount;
    m_dialogs.message(this, text, QStringLiteral("Attention"), DialogService::Icon::Critical);
}

QString frmParam::textOf(QWidget* control) const {
    if (auto* box = qobject_cast<QComboBox*>(control))
        return box->currentText();
    return static_cast<QLineEdit*>(control)->text();
}

// Pages: 0 mandatory, 1 crop details, 2 crop at application, 3 site, 4 weeds. The page comes
// forward through its group's command, so the navigation bar, the page title and the hover
// help follow it.
void frmParam::bringForward(int page, QWidget* control) {
    hidePages();
    if (page == 0) {
        emit mandatoryPageWanted();
        m_pages[0]->setVisible(true);
    } else {
        emit optionalPagesWanted();
        if (page >= 3) {
            m_pages[1]->setVisible(false);
            m_pages[page == 3 ? 2 : 3]->setVisible(true);
        } else {
            m_pages[1]->setCurrentIndex(page - 1);
            m_pages[1]->setVisible(true);
        }
    }
    control->setFocus(Qt::OtherFocusReason);
}

bool frmParam::CheckListItem(QComboBox* box, int page) {
    if (AutoComplete::holdsItemOrNothing(box))
        return true;
    const InputCheck::Problem problem =
        InputCheck::notInList(box->objectName(), box->currentText(), page);
    attention(problem.message);
    bringForward(page, box);
    return false;
}

// Every box and line the user can type in, by name.
InputCheck::Entries frmParam::entries() const {
    InputCheck::Entries entries;
    for (QComboBox* box : findChildren<QComboBox*>())
        entries.insert(box->objectName(), {box->currentText(), box->isEnabled(),
                                           AutoComplete::holdsItemOrNothing(box)});
    for (QLineEdit* edit : findChildren<QLineEdit*>())
        if (!qobject_cast<QComboBox*>(edit->parentWidget()))
            entries.insert(edit->objectName(), {edit->text(), edit->isEnabled(), true});
    return entries;
}

frmParam::Needed frmParam::GoTAllNeeded() {
    const std::optional<InputCheck::Problem> problem =
        InputCheck::firstProblem(entries(), QLocale());
    if (!problem)
        return {readParameters(), QString()};
    auto* control = findChild<QWidget*>(problem->control);
    attention(problem->message);
    if (!problem->missing) {
        bringForward(problem->page, control);
        return {std::nullopt, problem->message};
    }
    if (control == m_cbbApp && m_state.NeedFill_cbbApp) {
        m_pages[0]->setVisible(true);
        Fill_cbbApp();
    }
    emit mandatoryPageWanted();
    m_pages[0]->setVisible(true);
    control->setFocus(Qt::OtherFocusReason);
    return {std::nullopt, problem->message};
}

ParameterSet frmParam::readParameters() const {
    auto choice = [this](const char* name) {
        const auto* box = findChild<QComboBox*>(QLatin1String(name));
        Choice c{box->currentText(), std::nullopt};
        const int index = box->currentIndex();
        if (index >= 0 && box->itemText(index) == c.text)
            c.itemData = box->itemData(index).toInt();
        return c;
    };
    auto text = [this](const char* name) {
        return textOf(findChild<QWidget*>(QLatin1String(name)));
    };
    auto checked = [this](const char* name) {
        return findChild<QRadioButton*>(QLatin1String(name))->isChecked();
    };
    ParameterSet p;
    p.cbbApp = choice("cbbApp");
    p.cbbCult = choice("cbbCult");
    for (int i = 0; i < Rows; ++i) {
        p.cbbHerbApp[i] = choice(qPrintable(indexed("cbbHerbApp", i)));
        p.cbbFormApp[i] = choice(qPrintable(indexed("cbbFormApp", i)));
        p.txtTaux[i] = m_txtTaux[i]->text();
    }
    p.EnteredRate = m_state.EnteredRate;
    p.SelectedApplicationType = m_state.SelectedApplicationType;
    p.SelectedHerbicideId = m_state.SelectedHerbicideId;
    p.RateInterval = m_state.RateInterval;
    p.cbbCultVar = choice("cbbCultVar");
    p.cbbCultAnte = choice("cbbCultAnte");
    p.optKg = checked("optKg");
    p.txtCultSemisDe = text("txtCultSemisDe");
    p.txtCultSemisA = text("txtCultSemisA");
    p.cbbCultProfDe = text("cbbCultProfDe");
    p.cbbCultProfA = text("cbbCultProfA");
    p.cbbCultEcart = choice("cbbCultEcart");
    p.optHaut = checked("optHaut");
    p.txtCultHautDe = text("txtCultHautDe");
    p.txtCultHautA = text("txtCultHautA");
    p.txtCultFeuilDe = text("txtCultFeuilDe");
    p.txtCultFeuilA = text("txtCultFeuilA");
    p.cbbSiteProv = choice("cbbSiteProv");
    p.cbbSiteClaTex = choice("cbbSiteClaTex");
    p.cbbSiteMatOrgDe = text("cbbSiteMatOrgDe");
    p.cbbSiteMatOrgA = text("cbbSiteMatOrgA");
    p.cbbSitepHDe = text("cbbSitepHDe");
    p.cbbSitepHA = text("cbbSitepHA");
    for (int i = 0; i < ParameterSet::ExtraWeeds; ++i)
        p.cbbMauvHerb[i] = choice(qPrintable(indexed("cbbMauvHerb", i)));
    return p;
}

} // namespace grelavo
