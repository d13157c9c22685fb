// The parameter form's checks (the rate box on leaving, the report's checks with their messages
// and the page they bring forward) and its read-out into a parameter set.

#include "frmParam.h"

#include "report/NumberText.h"
#include "report/ParameterSet.h"
#include "shared/AppState.h"
#include "shared/AutoComplete.h"
#include "shared/DialogService.h"

#include <QComboBox>
#include <QLineEdit>
#include <QLocale>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>
#include <iterator>
#include <tuple>

namespace grelavo {

namespace {

const QString kNotNumeric = QStringLiteral("La valeur entrée n'est pas numérique.");

} // namespace

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
        box->text().isEmpty() || NumberText::parseRate(box->text(), QLocale()) ||
        !box->isVisible() || !box->isEnabled())
        return;
    box->setFocus(Qt::OtherFocusReason);
    // Shown once the focus has settled, and only if no other message (a report's check, which
    // names the same box) came first.
    const int shownSoFar = m_attentionCount;
    QTimer::singleShot(0, box, [this, box, shownSoFar] {
        if (m_attentionCount == shownSoFar &&
            !NumberText::parseRate(box->text(), QLocale()).has_value() && !box->text().isEmpty())
            attention(kNotNumeric);
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
    m_state.ParameterMissing = true;
}

bool frmParam::CheckNumericValue(QWidget* control, int page) {
    const QString text = textOf(control);
    const bool rate = control->objectName().startsWith(QLatin1String("txtTaux"));
    if (text.isEmpty() ||
        (rate ? NumberText::parseRate(text, QLocale()) : NumberText::parse(text, QLocale())))
        return true;
    attention(kNotNumeric);
    bringForward(page, control);
    return false;
}

bool frmParam::CheckListItem(QComboBox* box, int page) {
    if (AutoComplete::holdsItemOrNothing(box))
        return true;
    attention(QStringLiteral("La valeur « %1 » n'est pas dans la liste « %2 ».\rChoisissez un "
                             "élément de la liste.")
                  .arg(box->currentText(), fieldName(box)));
    bringForward(page, box);
    return false;
}

QString frmParam::fieldName(const QComboBox* box) {
    static const std::pair<const char*, const char*> names[] = {
        {"cbbApp", "Type d'application"},
        {"cbbNombHerb", "Nombre d'herbicides"},
        {"cbbCult", "Culture"},
        {"cbbCultVar", "Variété"},
        {"cbbCultEcart", "Écart entre les rangs"},
        {"cbbCultAnte", "Antécédent cultural"},
        {"cbbSiteProv", "Province"},
        {"cbbSiteClaTex", "Classe texturale"},
        {"cbbHerbApp", "Herbicide %1"},
        {"cbbFormApp", "Formulation de l'herbicide %1"},
        {"cbbMauvHerb", "Mauvaise herbe %1"}};
    const QString name = box->objectName();
    const int open = name.indexOf(QLatin1Char('('));
    const QString base = open < 0 ? name : name.left(open);
    for (const auto& [control, words] : names)
        if (base == QLatin1String(control))
            return open < 0
                       ? QString::fromUtf8(words)
                       : QString::fromUtf8(words).arg(name.mid(open + 1).chopped(1).toInt() + 1);
    return name;
}

bool frmParam::CheckRangePair(QWidget* first, QWidget* second, int page) {
    const QString low = textOf(first);
    const QString high = textOf(second);
    if (low.isEmpty() && !high.isEmpty()) {
        attention(QStringLiteral("Il manque la première valeur associée à la seconde."));
        bringForward(page, first);
        return false;
    }
    if (!low.isEmpty() && high.isEmpty()) {
        attention(QStringLiteral("Il manque la seconde valeur associée à la première."));
        bringForward(page, second);
        return false;
    }
    if (!low.isEmpty() &&
        *NumberText::parse(low, QLocale()) > *NumberText::parse(high, QLocale())) {
        attention(QStringLiteral("La seconde valeur est plus petite que la première."));
        bringForward(page, second);
        return false;
    }
    return true;
}

void frmParam::GoTAllNeeded() {
    m_state.ParameterMissing = false;
    auto mandatory = [this](const QString& text, QWidget* control) {
        attention(text);
        emit mandatoryPageWanted();
        m_pages[0]->setVisible(true);
        control->setFocus(Qt::OtherFocusReason);
        m_state.ParameterMissing = true;
    };
    const QString herbicideMissing = QStringLiteral("Vous devez d'abord entrer un herbicide.");
    const QString rateMissing = QStringLiteral("Vous devez d'abord entrer un taux d'application.");
    if (m_cbbApp->currentText().isEmpty()) {
        attention(QStringLiteral("Pour lancer la requête, certaines informations sont "
                                 "nécessaires\rVeuillez entrer la période d'application."));
        if (m_state.NeedFill_cbbApp) {
            m_pages[0]->setVisible(true);
            Fill_cbbApp();
        }
        emit mandatoryPageWanted();
        m_pages[0]->setVisible(true);
        m_cbbApp->setFocus(Qt::OtherFocusReason);
        m_state.ParameterMissing = true;
        return;
    }
    // A box's text that is not an item of its list would be shown on the page while the report
    // used the item chosen before (or nothing): it is named here instead.
    if (!CheckListItem(m_cbbApp, 0) || !CheckListItem(m_cbbNombHerb, 0))
        return;
    if (m_cbbHerbApp[0]->currentText().isEmpty())
        return mandatory(herbicideMissing, m_cbbHerbApp[0]);
    if (m_txtTaux[0]->text().isEmpty())
        return mandatory(rateMissing, m_txtTaux[0]);
    for (int i = Rows - 1; i >= 0; --i) {
        if (m_cbbHerbApp[i]->isEnabled() && m_cbbHerbApp[i]->currentText().isEmpty())
            return mandatory(herbicideMissing, m_cbbHerbApp[i]);
        if (m_txtTaux[i]->isEnabled() && m_txtTaux[i]->text().isEmpty())
            return mandatory(rateMissing, m_txtTaux[i]);
    }
    for (int i = 0; i < Rows; ++i)
        if (!CheckListItem(m_cbbHerbApp[i], 0) || !CheckListItem(m_cbbFormApp[i], 0))
            return;
    if (m_cbbCult->currentText().isEmpty())
        return mandatory(QStringLiteral("Vous devez d'abord choisir une culture."), m_cbbCult);
    if (!CheckListItem(m_cbbCult, 0))
        return;
    const std::pair<const char*, int> lists[] = {{"cbbCultVar", 1},
                                                 {"cbbCultEcart", 1},
                                                 {"cbbCultAnte", 1},
                                                 {"cbbSiteProv", 3},
                                                 {"cbbSiteClaTex", 3}};
    for (const auto& [name, page] : lists)
        if (!CheckListItem(findChild<QComboBox*>(QLatin1String(name)), page))
            return;
    for (QComboBox* weed : weedBoxes())
        if (!CheckListItem(weed, 4))
            return;

    auto widget = [this](const char* name) { return findChild<QWidget*>(QLatin1String(name)); };
    // Every number the report reads, the range boxes too (their text can be pasted).
    const std::pair<const char*, int> numbers[] = {
        {"txtTaux(0)", 0},      {"txtTaux(1)", 0},     {"txtTaux(2)", 0},     {"txtTaux(3)", 0},
        {"txtCultSemisDe", 1},  {"txtCultSemisA", 1},  {"txtCultFeuilDe", 2}, {"txtCultFeuilA", 2},
        {"txtCultHautDe", 2},   {"txtCultHautA", 2},   {"cbbCultProfDe", 1},  {"cbbCultProfA", 1},
        {"cbbSiteMatOrgDe", 3}, {"cbbSiteMatOrgA", 3}, {"cbbSitepHDe", 3},    {"cbbSitepHA", 3}};
    for (const auto& [name, page] : numbers)
        if (!CheckNumericValue(widget(name), page))
            return;
    const std::tuple<const char*, const char*, int> pairs[] = {
        {"txtCultSemisDe", "txtCultSemisA", 1},   {"cbbCultProfDe", "cbbCultProfA", 1},
        {"txtCultFeuilDe", "txtCultFeuilA", 2},   {"txtCultHautDe", "txtCultHautA", 2},
        {"cbbSiteMatOrgDe", "cbbSiteMatOrgA", 3}, {"cbbSitepHDe", "cbbSitepHA", 3}};
    for (const auto& [low, high, page] : pairs)
        if (!CheckRangePair(widget(low), widget(high), page))
            return;
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
