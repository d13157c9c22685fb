// The parameter form: its making, its size, the herbicide section and the cascade of choices
// through it; the pages are built in frmParamPages.cpp, the lists filled in frmParamLists.cpp,
// the checks in frmParamChecks.cpp.

#include "frmParam.h"

#include "ComboFill.h"
#include "core/db/DE.h"
#include "core/db/DataAccess.h"
#include "core/report/ListStatements.h"
#include "core/report/ListSteps.h"
#include "core/report/ParameterSet.h"
#include "gui/params/WeedDropDown.h"
#include "gui/shared/AppState.h"
#include "gui/shared/AutoComplete.h"
#include "gui/shared/DialogService.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QTabWidget>
#include <algorithm>

namespace grelavo {

namespace {

const QString kIntroduction = QStringLiteral(
    "Ce logiciel ne permet pas de faire des recommandations.  Il peut toutefois constituer un "
    "système d’aide à la décision en ce sens qu’il s’appuie sur une large base de données pour "
    "calculer les chances de succès associées à l’usage de doses réduites d’herbicides.\n\n"
    "Veuillez vous référer au fichier d’aide sous la rubrique “À propos des Grelavo”.");

} // namespace

QString frmParam::indexed(const char* name, int i) {
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(i);
}

// Places obj in the middle of frm's inner area. A window smaller than obj keeps obj's top left
// corner inside it, so the page's tabs and first controls can still be reached.
void CenterInForm(QWidget* obj, const QWidget* frm) {
    obj->move(std::max(0, (frm->width() - obj->width()) / 2),
              std::max(0, (frm->height() - obj->height()) / 2));
}

void frmParam::Form_Load() {
    ResetHerbicideSection();
    m_label2->setText(kIntroduction);
}

QSize frmParam::minimumSizeHint() const {
    int width = 0;
    for (QTabWidget* page : m_pages)
        width = std::max(width, page->minimumSizeHint().width());
    return {width, m_designedPage.height()};
}

void frmParam::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void frmParam::Form_Resize() {
    m_imaTextIntro->hide();
    m_label2->hide();
    m_imageFormBack->setGeometry(0, 0, width(), height());
    m_imageFormBack->show();
    // As designed where there is room; narrower (down to what the page's controls need) where
    // there is not, so that a small screen shows the whole width of the page.
    for (QTabWidget* page : m_pages) {
        const int needed = page->minimumSizeHint().width();
        page->resize(std::max(needed, std::min(width(), m_designedPage.width())),
                     m_designedPage.height());
        CenterInForm(page, this);
    }
    CenterInForm(m_imaTextIntro, this);
    CenterInForm(m_label2, this);
    // The backdrop stays behind, the pages in front of the introduction.
    m_imageFormBack->lower();
    for (QTabWidget* page : m_pages)
        page->raise();
    m_imaTextIntro->show();
    m_label2->show();
}

void frmParam::Form_Unload() {
    hide();
    if (m_de.isConnected())
        m_de.close();
    if (!m_state.NeedFill_MauvHerb && m_weedDropDown)
        m_weedDropDown->SetDropDownHook(false, weedBoxes());
}

void frmParam::connectOptions() {
    for (const char* name : {"optFeuil", "optHaut"})
        connect(findChild<QRadioButton*>(QLatin1String(name)), &QRadioButton::toggled, this,
                [this] { SwitchCropStage(); });
    // Another seeding-rate unit: the range typed in the former one goes.
    for (const char* name : {"optKg", "optSe"})
        connect(findChild<QRadioButton*>(QLatin1String(name)), &QRadioButton::toggled, this,
                [this](bool on) {
                    if (!on)
                        return;
                    for (const char* box : {"txtCultSemisDe", "txtCultSemisA"})
                        findChild<QLineEdit*>(QLatin1String(box))->clear();
                });
}

void frmParam::SwitchCropStage() {
    const bool leaves = findChild<QRadioButton*>(QStringLiteral("optFeuil"))->isChecked();
    for (const char* name : {"txtCultHautDe", "txtCultHautA", "txtCultFeuilDe", "txtCultFeuilA"}) {
        auto* box = findChild<QLineEdit*>(QLatin1String(name));
        const bool usable = (QLatin1String(name).contains(QLatin1String("Feuil"))) == leaves;
        if (!usable)
            box->clear();
        box->setEnabled(usable);
        setInputColour(box, usable);
    }
}

void frmParam::connectCascade() {
    auto onChoice = [this](QComboBox* box, auto handler) {
        connect(box, &QComboBox::currentIndexChanged, this, [handler](int index) {
            if (index >= 0)
                handler();
        });
    };
    auto onEmptied = [this](QComboBox* box, auto handler) {
        connect(box, &QComboBox::editTextChanged, this, [handler](const QString& text) {
            if (text.isEmpty())
                handler();
        });
    };
    onChoice(m_cbbApp, [this] { cbbApp_Click(); });
    onEmptied(m_cbbApp, [this] { cbbApp_Change(); });
    onChoice(m_cbbNombHerb, [this] { cbbNombHerb_Click(); });
    for (int r = 0; r < Rows; ++r) {
        onChoice(m_cbbHerbApp[r], [this, r] { cbbHerbApp_Click(r); });
        onEmptied(m_cbbHerbApp[r], [this, r] { cbbHerbApp_Change(r); });
        m_cbbHerbApp[r]->installEventFilter(this);
        m_cbbFormApp[r]->installEventFilter(this);
        // The rate as last typed stays for the report; emptying the box keeps it.
        connect(m_txtTaux[r], &QLineEdit::textChanged, this, [this, r](const QString& text) {
            if (!text.isEmpty())
                m_state.EnteredRate[r] = text;
        });
        m_txtTaux[r]->installEventFilter(this);
        showNumbersInUserFormat(m_txtTaux[r], true);
    }
    for (const char* name : {"txtCultSemisDe", "txtCultSemisA", "txtCultFeuilDe", "txtCultFeuilA",
                             "txtCultHautDe", "txtCultHautA"})
        showNumbersInUserFormat(findChild<QLineEdit*>(QLatin1String(name)), false);
    for (const char* name : {"cbbCultProfDe", "cbbCultProfA", "cbbSiteMatOrgDe", "cbbSiteMatOrgA",
                             "cbbSitepHDe", "cbbSitepHA"})
        showNumbersInUserFormat(findChild<QComboBox*>(QLatin1String(name))->lineEdit(), false);
    onChoice(m_cbbCult, [this] { cbbCult_Click(); });
    connect(m_cbbCult, &QComboBox::editTextChanged, this, [this] { cbbCult_Change(); });
    m_cbbCultVar->installEventFilter(this);
    connect(m_cbbApp->lineEdit(), &QLineEdit::returnPressed, this,
            [this] { m_cbbHerbApp[0]->setFocus(Qt::OtherFocusReason); });
    connect(m_cmdTaux, &QPushButton::clicked, this, [this] { cmdTaux_Click(); });
}

bool frmParam::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        for (int r = 0; r < Rows; ++r)
            if (watched == m_txtTaux[r])
                txtTaux_Validate(r, static_cast<QFocusEvent*>(event)->reason());
    }
    if (event->type() == QEvent::FocusIn) {
        // Focus coming back from a message box or a list is not the user entering the box.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            for (int r = 0; r < Rows; ++r) {
                if (watched == m_cbbHerbApp[r])
                    cbbHerbApp_GotFocus(r);
                else if (watched == m_cbbFormApp[r])
                    cbbFormApp_GotFocus(r);
            }
            if (watched == m_cbbCultVar)
                cbbCultVar_GotFocus();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmParam::setInputColour(QWidget* w, bool enabled) {
    QPalette palette = w->palette();
    const QPalette system = QApplication::palette();
    palette.setColor(QPalette::Base,
                     enabled ? system.color(QPalette::Base) : system.color(QPalette::Window));
    w->setPalette(palette);
}

void frmParam::ResetHerbicideSection() {
    m_fraHerbApp->setEnabled(false);
    setInputColour(m_cbbNombHerb, false);
    m_cbbNombHerb->setEnabled(false);
    for (int i = 0; i < Rows; ++i)
        DisableHerbicideRow(i);
    DisableHerbicideLabels();
    m_cmdTaux->setEnabled(false);
}

void frmParam::DisableHerbicideLabels() {
    for (QLabel* heading : m_headings)
        heading->setEnabled(false);
}

void frmParam::EnableHerbicideSection() {
    m_fraHerbApp->setEnabled(true);
    setInputColour(m_cbbNombHerb, true);
    m_cbbNombHerb->setEnabled(true);
    for (QLabel* heading : m_headings)
        heading->setEnabled(heading->objectName() != QLatin1String("lblConcApp"));
    m_cmdTaux->setEnabled(true);
}

void frmParam::DisableHerbicideRow(int i) {
    for (QWidget* w : std::initializer_list<QWidget*>{m_cbbHerbApp[i], m_cbbFormApp[i],
                                                      m_txtConcApp[i], m_txtTaux[i]}) {
        setInputColour(w, false);
        w->setEnabled(false);
    }
    fillCombo(m_cbbHerbApp[i], {});
    m_cbbHerbApp[i]->setEditText(QString());
    fillCombo(m_cbbFormApp[i], {});
    m_cbbFormApp[i]->setEditText(QString());
    m_txtConcApp[i]->clear();
    m_txtTaux[i]->clear();
    if (i >= 1) {
        m_redArrow[i - 1]->setVisible(false);
        m_lblStarHerb[i]->setVisible(false);
        m_lblStarTaux[i]->setVisible(false);
    }
}

void frmParam::EnableHerbicideRow(int i) {
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_cbbHerbApp[i], m_cbbFormApp[i], m_txtTaux[i]}) {
        setInputColour(w, true);
        w->setEnabled(true);
    }
    if (i >= 1) {
        m_redArrow[i - 1]->setVisible(true);
        m_lblStarHerb[i]->setVisible(true);
        m_lblStarTaux[i]->setVisible(true);
    }
}

void frmParam::ClearHerbicideRows(int first, int last) {
    for (int i = first; i <= last; ++i) {
        m_cbbHerbApp[i]->setCurrentIndex(-1);
        m_cbbHerbApp[i]->setEditText(QString());
        fillCombo(m_cbbFormApp[i], {});
        m_cbbFormApp[i]->setEditText(QString());
        m_txtConcApp[i]->clear();
        m_txtTaux[i]->clear();
    }
}

void frmParam::ClearFollowingRows(int i, int last) {
    if (i >= last)
        return;
    m_txtTaux[i]->clear();
    for (int j = i + 1; j <= last; ++j) {
        fillCombo(m_cbbHerbApp[j], {});
        m_cbbHerbApp[j]->setEditText(QString());
        fillCombo(m_cbbFormApp[j], {});
        m_cbbFormApp[j]->setEditText(QString());
        m_txtConcApp[j]->clear();
        m_txtTaux[j]->clear();
    }
}

QStringList frmParam::herbicideTexts() const {
    QStringList texts;
    for (QComboBox* box : m_cbbHerbApp)
        texts << box->currentText();
    return texts;
}

std::array<QString, frmParam::Rows> frmParam::rates() const {
    std::array<QString, Rows> texts;
    for (int i = 0; i < Rows; ++i)
        texts[i] = m_txtTaux[i]->text();
    return texts;
}

void frmParam::setRates(const std::array<QString, Rows>& rates) {
    for (int i = 0; i < Rows; ++i)
        m_txtTaux[i]->setText(rates[i]);
}

void frmParam::hidePages() {
    for (QTabWidget* page : m_pages)
        page->setVisible(false);
}

void frmParam::showPage(int i) {
    m_pages[i]->setVisible(true);
    m_pages[i]->setCurrentIndex(0);
    updateGeometry(); // what its controls need may have changed (the herbicide section shown)
    Form_Resize();
}

int frmParam::chosenCount() const {
    bool ok = false;
    const int count = m_cbbNombHerb->currentText().toInt(&ok);
    return ok && count >= 1 && count <= Rows ? count : 0;
}

void frmParam::cbbApp_Click() {
    m_state.SelectedApplicationType = static_cast<qint16>(m_cbbApp->currentData().toInt());
    EnableHerbicideSection();
    m_cbbNombHerb->setCurrentIndex(-1);
    ClearHerbicideRows(0, 3);
    for (int i = 0; i < Rows; ++i)
        DisableHerbicideRow(i);
}

void frmParam::cbbApp_Change() {
    ClearHerbicideRows(0, 3);
    m_cbbNombHerb->setCurrentIndex(-1);
    m_cbbNombHerb->setEditText(QString());
    ResetHerbicideSection();
}

void frmParam::cbbNombHerb_Click() {
    // A count that is not one of the items (pasted text) counts as no count.
    const int count = chosenCount();
    m_state.HerbicideCount = static_cast<qint16>(count);
    ClearHerbicideRows(0, 3);
    for (int i = 0; i < Rows; ++i) {
        if (i < count)
            EnableHerbicideRow(i);
        else
            DisableHerbicideRow(i);
    }
    if (count == 0)
        return;
    fillCombo(m_cbbHerbApp[0], ListSteps(m_de).afterCount(count, m_state.SelectedApplicationType));
}

void frmParam::cbbHerbApp_Click(int r) {
    m_state.SelectedHerbicideId[r] = static_cast<qint16>(m_cbbHerbApp[r]->currentData().toInt());
    m_state.SelectedHerbicideName[r] = m_cbbHerbApp[r]->currentText();
    ClearFollowingRows(r, 3);
    if (r >= 3)
        return;
    QVector<int> ids;
    for (int k = 0; k <= r; ++k)
        ids << m_state.SelectedHerbicideId[k];
    fillCombo(m_cbbHerbApp[r + 1], ListSteps(m_de).afterHerbicide(r, m_state.HerbicideCount,
                                                                  m_state.SelectedApplicationType,
                                                                  ids, herbicideTexts()));
}

void frmParam::cbbHerbApp_Change(int r) {
    ClearFollowingRows(r, 3);
}

void frmParam::cbbHerbApp_GotFocus(int r) {
    if (m_cbbHerbApp[r]->count() > 0)
        return;
    // An earlier box still empty: the boxes are entered out of order, and the focus goes to the
    // first empty one.
    for (int k = 0; k < r; ++k) {
        if (m_cbbHerbApp[k]->currentText().isEmpty()) {
            m_dialogs.message(this,
                              QStringLiteral("Vous devez entrer les herbicides dans l'ordre."),
                              QStringLiteral("Attention"), DialogService::Icon::Critical);
            m_cbbHerbApp[k]->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
    // Every earlier box holds a herbicide, yet this list is empty: the database says why.
    m_dialogs.message(this, emptyListReason(r), QStringLiteral("Attention"),
                      DialogService::Icon::Information);
}

QString frmParam::emptyListReason(int r) const {
    const QString period = m_cbbApp->currentText();
    if (r == 0)
        return QStringLiteral("Aucun essai de la base n'associe %1 herbicides en %2.")
            .arg(chosenCount())
            .arg(period);
    // A herbicide typed but not taken from its list opens no list after it.
    for (int k = 0; k < r; ++k)
        if (!AutoComplete::holdsItemOrNothing(m_cbbHerbApp[k]))
            return QStringLiteral(
                       "L'herbicide %1 (%2) n'est pas dans sa liste\u00a0: choisissez-le "
                       "dans la liste pour que la suivante se remplisse.")
                .arg(k + 1)
                .arg(m_cbbHerbApp[k]->currentText());
    QStringList chosen;
    for (int k = 0; k < r; ++k)
        chosen << m_cbbHerbApp[k]->currentText();
    return QStringLiteral("Aucun essai de la base n'associe ces herbicides en %1\u00a0: %2.")
        .arg(period, chosen.join(QStringLiteral(", ")));
}

void frmParam::cbbFormApp_GotFocus(int r) {
    if (m_cbbHerbApp[r]->currentText().isEmpty())
        m_dialogs.message(this, QStringLiteral("Vous devez d'abord entrer un herbicide."),
                          QStringLiteral("Attention"), DialogService::Icon::Critical);
}

void frmParam::cbbCult_Click() {
    if (m_cbbCult->currentText() == ParameterSet::AllCornName) {
        fillCombo(m_cbbCultVar, {});
        m_cbbCultVar->setEditText(QString());
        m_cbbCultVar->setEnabled(false);
        QPalette palette = m_cbbCultVar->palette();
        palette.setColor(QPalette::Base, QApplication::palette().color(QPalette::Midlight));
        m_cbbCultVar->setPalette(palette);
        return;
    }
    fillCombo(m_cbbCultVar, DataAccess(m_de).FillList(
                                ListStatements::varieties(m_cbbCult->currentData().toInt())));
    m_cbbCultVar->setEnabled(true);
    setInputColour(m_cbbCultVar, true);
    m_cbbCultVar->setEditText(QString());
}

void frmParam::cbbCult_Change() {
    fillCombo(m_cbbCultVar, {});
    m_cbbCultVar->setEditText(QString());
}

void frmParam::cbbCultVar_GotFocus() {
    if (!m_cbbCult->currentText().isEmpty())
        return;
    m_dialogs.message(this, QStringLiteral("Vous devez d'abord choisir une culture."),
                      QStringLiteral("Attention"), DialogService::Icon::Critical);
    if (m_state.NeedFill_cbbApp)
        Fill_cbbApp();
    emit mandatoryPageWanted();
    m_pages[0]->setVisible(true);
    m_cbbCult->setFocus(Qt::OtherFocusReason);
}

void frmParam::cmdTaux_Click() {
    const int n = chosenCount();
    if (n == 0)
        return;
    if (m_cbbHerbApp[n - 1]->currentText().isEmpty()) {
        m_dialogs.message(this, QStringLiteral("Vous devez d'abord entrer tous vos herbicides."),
                          QStringLiteral("Attention"), DialogService::Icon::Critical);
        return;
    }
    // The picker lists the rates of the herbicides chosen, which are the ones the boxes show.
    for (int i = 0; i < n; ++i)
        if (!CheckListItem(m_cbbHerbApp[i], 0))
            return;
    emit ratePickerWanted();
}

} // namespace grelavo
