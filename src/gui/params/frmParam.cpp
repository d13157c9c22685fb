#include "frmParam.h"

#include "ComboFill.h"
#include "db/DE.h"
#include "db/DataAccess.h"
#include "params/WeedDropDown.h"
#include "render/Twips.h"
#include "report/ListStatements.h"
#include "report/NumberText.h"
#include "report/ParameterSet.h"
#include "shared/AppState.h"
#include "shared/AutoComplete.h"
#include "shared/DialogService.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace grelavo {

namespace {

// Design sizes in twips: the smallest size of a page (a page whose controls need more grows), and
// the introduction's panel.
constexpr int kPageWidth = 10800;
constexpr int kPageHeight = 6900;
constexpr int kIntroWidth = 9000;
constexpr int kIntroHeight = 2700;

const QString kNotNumeric = QStringLiteral("La valeur entrée n'est pas numérique.");
const QString kIntroduction = QStringLiteral(
    "Ce logiciel ne permet pas de faire des recommandations.  Il peut toutefois constituer un "
    "système d’aide à la décision en ce sens qu’il s’appuie sur une large base de données pour "
    "calculer les chances de succès associées à l’usage de doses réduites d’herbicides.\n\n"
    "Veuillez vous référer au fichier d’aide sous la rubrique “À propos des Grelavo”.");

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
        const double height = (ground - 4) * (k + 1) / plants;
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

// A "De ... à" range: a caption, then the two boxes.
void range(QGridLayout* grid, int row, const QString& caption, QWidget* low, QWidget* high) {
    grid->addWidget(new QLabel(caption), row, 0);
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

// Places obj in the middle of frm's inner area. A window smaller than obj keeps obj's top left
// corner inside it, so the page's tabs and first controls can still be reached.
void CenterInForm(QWidget* obj, const QWidget* frm) {
    obj->move(std::max(0, (frm->width() - obj->width()) / 2),
              std::max(0, (frm->height() - obj->height()) / 2));
}

frmParam::frmParam(AppState& state, DE& de, DialogService& dialogs, QWidget* parent)
    : QWidget(parent), m_state(state), m_de(de), m_dialogs(dialogs) {
    setObjectName(QStringLiteral("frmParam"));
    m_imageFormBack = new QLabel(this);
    m_imageFormBack->setObjectName(QStringLiteral("imageFormBack"));
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
    // One size for every page, so the tabs stay in place from one page to the next.
    for (QTabWidget* page : m_pages)
        page->setFixedSize(pageSize);
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

void frmParam::Form_Load() {
    ResetHerbicideSection();
    m_label2->setText(kIntroduction);
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
    for (QTabWidget* page : m_pages)
        CenterInForm(page, this);
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

void frmParam::fillHerbicideBox(int r, int box, const QString& statement) {
    fillCombo(m_cbbHerbApp[box],
              DataAccess(m_de).FillHerbicideList(r, statement, herbicideTexts()));
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
    DataAccess(m_de).RedefineStoredQuery(
        ListStatements::countStep(count, m_state.SelectedApplicationType),
        QStringLiteral("DétailsApplication"));
    fillHerbicideBox(9, 0, ListStatements::herbicideList());
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
    DataAccess(m_de).RedefineStoredQuery(
        ListStatements::herbicideStep(r, m_state.HerbicideCount, m_state.SelectedApplicationType,
                                      ids),
        QStringLiteral("DétailsApplication"));
    fillHerbicideBox(r, r + 1, ListStatements::herbicideList());
}

void frmParam::cbbHerbApp_Change(int r) {
    ClearFollowingRows(r, 3);
}

void frmParam::cbbHerbApp_GotFocus(int r) {
    if (m_cbbHerbApp[r]->count() > 0)
        return;
    m_dialogs.message(this, QStringLiteral("Vous devez entrer les herbicides dans l'ordre."),
                      QStringLiteral("Attention"), DialogService::Icon::Critical);
    for (QComboBox* box : m_cbbHerbApp) {
        if (box->currentText().isEmpty()) {
            if (box != m_cbbHerbApp[r])
                box->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
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
    if (m_showMandatoryPage)
        m_showMandatoryPage();
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
    if (m_openRatePicker)
        m_openRatePicker();
}

QComboBox* frmParam::combo(const QString& name, bool editable) {
    auto* box = new QComboBox;
    box->setObjectName(name);
    box->setEditable(editable);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setCompleter(nullptr); // the type-ahead below completes from the list
    AutoComplete::attach(box);
    return box;
}

QWidget* frmParam::buildMandatoryPage() {
    auto* page = new QWidget;
    auto* fraApp =
        frame(QStringLiteral("fraApp"), QStringLiteral("Type d'application - stade de la culture"));
    auto* appLayout = new QGridLayout(fraApp);
    m_cbbApp = combo(QStringLiteral("cbbApp"));
    appLayout->addWidget(m_cbbApp, 0, 0);
    auto* stages = new QLabel;
    stages->setObjectName(QStringLiteral("ImaStadCrois"));
    stages->setPixmap(growthStagesPicture(QSize(240, 72), 5));
    stages->setToolTip(QStringLiteral("Stades de croissance du maïs"));
    appLayout->addWidget(stages, 0, 1, Qt::AlignRight);
    auto* fraCult = frame(QStringLiteral("fraCult"), QString());
    auto* cultLayout = new QHBoxLayout(fraCult);
    cultLayout->addWidget(new QLabel(QStringLiteral("Culture :")));
    m_cbbCult = combo(QStringLiteral("cbbCult"));
    cultLayout->addWidget(m_cbbCult, 1);
    appLayout->addWidget(fraCult, 1, 0, 1, 2);

    m_fraHerbApp =
        frame(QStringLiteral("fraHerbApp"), QStringLiteral("Application - Détails des herbicides"));
    auto* herbLayout = new QGridLayout(m_fraHerbApp);
    const char* headings[6] = {"lblHerbApp", "lblConcApp", "lblFormApp",
                               "lblTauxApp", "lblkghaApp", "lblNombHerb"};
    const char* captions[6] = {"Herbicides", "Concentrtion", "Formulation",
                               "Taux",       "kg i.a. / ha", "Nombre d'herbicides :"};
    for (int h = 0; h < 6; ++h) {
        m_headings[h] = new QLabel(QString::fromUtf8(captions[h]));
        m_headings[h]->setObjectName(QLatin1String(headings[h]));
    }
    m_cbbNombHerb = combo(QStringLiteral("cbbNombHerb"));
    m_cbbNombHerb->setFixedWidth(Twips::toPixels(1200));
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
    for (int i = 0; i < Rows; ++i) {
        const int row = i + 2;
        if (i > 0) {
            m_redArrow[i - 1] = new QLabel(QStringLiteral("➘"));
            m_redArrow[i - 1]->setObjectName(indexed("RedArrow", i - 1));
            m_redArrow[i - 1]->setStyleSheet(QStringLiteral("color: #c00000;"));
            herbLayout->addWidget(m_redArrow[i - 1], row, 0, Qt::AlignRight);
        }
        m_cbbHerbApp[i] = combo(indexed("cbbHerbApp", i));
        m_lblStarHerb[i] = new QLabel(QStringLiteral("*"));
        m_lblStarHerb[i]->setObjectName(indexed("lblStarHerb", i));
        m_cbbFormApp[i] = combo(indexed("cbbFormApp", i));
        m_txtConcApp[i] = lineEdit(indexed("txtConcApp", i));
        m_txtTaux[i] = lineEdit(indexed("txtTaux", i));
        m_lblStarTaux[i] = new QLabel(QStringLiteral("*"));
        m_lblStarTaux[i]->setObjectName(indexed("lblStarTaux", i));
        for (QLabel* star : {m_lblStarHerb[i], m_lblStarTaux[i]})
            star->setStyleSheet(QStringLiteral("color: #ff0000; font-weight: bold;"));
        // Herbicide names are long; the concentration is never typed and a rate is short.
        m_cbbHerbApp[i]->setMinimumWidth(Twips::toPixels(3300));
        m_cbbFormApp[i]->setFixedWidth(Twips::toPixels(1500));
        m_txtConcApp[i]->setFixedWidth(Twips::toPixels(1350));
        m_txtTaux[i]->setFixedWidth(Twips::toPixels(1350));
        herbLayout->addWidget(m_cbbHerbApp[i], row, 1);
        herbLayout->addWidget(m_lblStarHerb[i], row, 2);
        herbLayout->addWidget(m_cbbFormApp[i], row, 3);
        herbLayout->addWidget(m_txtConcApp[i], row, 4);
        herbLayout->addWidget(m_txtTaux[i], row, 5);
        herbLayout->addWidget(m_lblStarTaux[i], row, 6);
    }
    herbLayout->setColumnStretch(1, 3);
    m_cmdTaux = new QPushButton(QStringLiteral("Sélectionner les taux"));
    m_cmdTaux->setObjectName(QStringLiteral("cmdTaux"));
    herbLayout->addWidget(m_cmdTaux, Rows + 2, 5, 1, 3);
    appLayout->addWidget(m_fraHerbApp, 2, 0, 1, 2);
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

QWidget* frmParam::buildCropPage(int tab) {
    auto* page = new QWidget;
    auto* outer = new QVBoxLayout(page);
    if (tab == 0) {
        auto* details = frame(QStringLiteral("FraDétailsCulture"), QString());
        auto* detailsLayout = new QVBoxLayout(details);
        auto* fraCulture = frame(QStringLiteral("fraCulture"), QStringLiteral("Culture"));
        auto* cultureLayout = new QHBoxLayout(fraCulture);
        cultureLayout->addWidget(new QLabel(QStringLiteral("Variété :")));
        cultureLayout->addWidget(combo(QStringLiteral("cbbCultVar")), 1);
        detailsLayout->addWidget(fraCulture);

        auto* fraSemis = frame(QStringLiteral("FraSemis"), QStringLiteral("Semis"));
        auto* semisLayout = new QGridLayout(fraSemis);
        auto* frame4 = frame(QStringLiteral("Frame4"), QString());
        auto* unitLayout = new QHBoxLayout(frame4);
        unitLayout->addWidget(option(QStringLiteral("optKg"), QStringLiteral("    kg / ha")));
        unitLayout->addWidget(option(QStringLiteral("optSe"), QStringLiteral("Grains / ha")));
        semisLayout->addWidget(frame4, 0, 2, 1, 3);
        range(semisLayout, 1, QStringLiteral("Taux de semis"),
              lineEdit(QStringLiteral("txtCultSemisDe")),
              lineEdit(QStringLiteral("txtCultSemisA")));
        detailsLayout->addWidget(fraSemis);

        auto* fraTaux = frame(QStringLiteral("FraCultTauxSemis"), QString());
        auto* tauxLayout = new QGridLayout(fraTaux);
        range(tauxLayout, 0, QStringLiteral("Profondeur (cm)"),
              combo(QStringLiteral("cbbCultProfDe")), combo(QStringLiteral("cbbCultProfA")));
        tauxLayout->addWidget(new QLabel(QStringLiteral("Écart entre les\nrangs(cm)")), 1, 0);
        tauxLayout->addWidget(combo(QStringLiteral("cbbCultEcart")), 1, 2, 1, 3);
        detailsLayout->addWidget(fraTaux);
        outer->addWidget(details);

        auto* fraAnte = frame(QStringLiteral("FraAnte"),
                              QStringLiteral("Antécédent cultural ( année précédente )"));
        auto* anteLayout = new QHBoxLayout(fraAnte);
        anteLayout->addWidget(combo(QStringLiteral("cbbCultAnte")));
        outer->addWidget(fraAnte);
    } else {
        auto* fraCultApp = frame(QStringLiteral("fraCultApp"),
                                 QStringLiteral("Stade de la culture au moment l'application"));
        auto* grid = new QGridLayout(fraCultApp);
        auto* frame3 = frame(QStringLiteral("Frame3"), QStringLiteral("Choix"));
        auto* choice = new QHBoxLayout(frame3);
        choice->addWidget(option(QStringLiteral("optFeuil"), QStringLiteral("Feuilles")));
        choice->addWidget(option(QStringLiteral("optHaut"), QStringLiteral("Hauteur")));
        grid->addWidget(frame3, 0, 0, 1, 5);
        range(grid, 1, QStringLiteral("Nombre de feuilles"),
              lineEdit(QStringLiteral("txtCultFeuilDe")),
              lineEdit(QStringLiteral("txtCultFeuilA")));
        range(grid, 2, QStringLiteral("Hauteur (cm)"), lineEdit(QStringLiteral("txtCultHautDe")),
              lineEdit(QStringLiteral("txtCultHautA")));
        outer->addWidget(fraCultApp);
    }
    outer->addStretch();
    return page;
}

QWidget* frmParam::buildSitePage() {
    auto* page = new QWidget;
    auto* fraSite = frame(QStringLiteral("fraSite"), QStringLiteral("Caractéristiques du site"));
    auto* layout = new QGridLayout(fraSite);
    layout->addWidget(new QLabel(QStringLiteral("Province")), 0, 0);
    layout->addWidget(combo(QStringLiteral("cbbSiteProv")), 0, 1, 1, 4);
    layout->addWidget(new QLabel(QStringLiteral("Classe texturale")), 1, 0);
    layout->addWidget(combo(QStringLiteral("cbbSiteClaTex")), 1, 1, 1, 4);
    range(layout, 2, QStringLiteral("% matière organique"),
          combo(QStringLiteral("cbbSiteMatOrgDe")), combo(QStringLiteral("cbbSiteMatOrgA")));
    range(layout, 3, QStringLiteral("pH"), combo(QStringLiteral("cbbSitepHDe")),
          combo(QStringLiteral("cbbSitepHA")));
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

void frmParam::Fill_cbbApp() {
    DataAccess data(m_de);
    // The one sorted box of the form.
    fillCombo(m_cbbApp, inFrenchOrder(data.FillList(
                            QStringLiteral("SELECT TypeApplication AS tblField, TypeApplicationId "
                                           "AS tblId FROM ListeDesPériodesApplication"))));
    fillCombo(m_cbbCult, data.FillList(QStringLiteral(
                             "SELECT ListeDesCultures.CultureId AS tblId, ListeDesCultures.[Nom "
                             "Français] AS tblField FROM ListeDesCultures WHERE ((Not "
                             "(ListeDesCultures.CultureId)=147)) ORDER BY ListeDesCultures.[Nom "
                             "Français];")));
    m_cbbCult->addItem(ParameterSet::AllCornName, ParameterSet::AllCornItemData);
    m_cbbCult->setCurrentIndex(2); // chooses the crop: its varieties are read
    {
        // Adding the first item makes it current; that is no choice of the user's.
        const QSignalBlocker quiet(m_cbbNombHerb);
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

std::array<QComboBox*, WeedDropDown::Boxes> frmParam::weedBoxes() const {
    std::array<QComboBox*, WeedDropDown::Boxes> boxes{};
    for (int i = 0; i < WeedDropDown::Boxes; ++i)
        boxes[i] = findChild<QComboBox*>(indexed("cbbMauvHerb", i));
    return boxes;
}

void frmParam::Fill_MauvHerb() {
    DataAccess data(m_de);
    for (QComboBox* box : weedBoxes()) {
        fillCombo(box, data.FillList(
                           QStringLiteral("SELECT ListedesMauvaisesHerbes.MHId AS tblId, "
                                          "ListedesMauvaisesHerbes.[Nom-Francais] AS tblField FROM "
                                          "ListedesMauvaisesHerbes;")));
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
    if (m_hideAllPages)
        m_hideAllPages();
    if (page == 0) {
        if (m_showMandatoryPage)
            m_showMandatoryPage();
        m_pages[0]->setVisible(true);
    } else {
        if (m_showOptionalPages)
            m_showOptionalPages();
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
        if (m_showMandatoryPage)
            m_showMandatoryPage();
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
        if (m_showMandatoryPage)
            m_showMandatoryPage();
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
