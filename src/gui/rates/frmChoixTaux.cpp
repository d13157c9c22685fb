#include "frmChoixTaux.h"

#include "core/db/DE.h"
#include "core/report/ListSteps.h"
#include "core/report/NumberText.h"
#include "gui/shared/AutoComplete.h"
#include "gui/shared/DialogService.h"

#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

namespace grelavo {

namespace {

const QColor kClickedCell(0xFF, 0xFF, 0xC0);

QString indexed(const char* name, int i) {
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(i);
}

// The header row: each herbicide's name centred over its column.
void setHeader(QTableWidget* grid, const std::array<QString, 4>& names, int columns) {
    for (int c = 0; c < columns; ++c) {
        auto* item = new QTableWidgetItem(QLatin1Char(' ') + names[c] + QLatin1Char(' '));
        item->setTextAlignment(Qt::AlignCenter);
        grid->setHorizontalHeaderItem(c, item);
    }
}

// The rate as the user writes numbers, but without thousands separators and with every digit
// the database holds: the text goes back into the parameter form, whose report must read it.
QString rateText(const QVariant& value) {
    if (value.isNull())
        return QString();
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value.toDouble(), 'f', QLocale::FloatingPointShortest);
}

// The clicked cell shows by its own colour: the focus tint of the current cell would hide it.
class PlainCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->state &= ~QStyle::State_HasFocus;
    }
};

} // namespace

frmChoixTaux::frmChoixTaux(DE& de, DialogService& dialogs, const Mixture& mixture,
                           const Rates& rates, qint16 rateInterval, QWidget* parent)
    : QDialog(parent), m_de(de), m_dialogs(dialogs), m_mixture(mixture), m_rates(rates),
      m_rateInterval(rateInterval) {
    setObjectName(QStringLiteral("frmChoixTaux"));
    setWindowTitle(QStringLiteral("Sélection des doses d'herbicides"));
    setModal(true);
    buildControls();
    Form_Load();
}

void frmChoixTaux::track(QWidget* w) {
    w->setMouseTracking(true);
    w->installEventFilter(this);
}

void frmChoixTaux::buildControls() {
    track(this);
    buildIntervalFrame();
    buildRatesFrame();
    buildListFrame();

    auto* picLabel = new QFrame;
    picLabel->setObjectName(QStringLiteral("picLabel"));
    picLabel->setFrameShape(QFrame::Panel);
    picLabel->setFrameShadow(QFrame::Sunken);
    m_lblLabel = new QLabel;
    m_lblLabel->setObjectName(QStringLiteral("lblLabel"));
    auto* picLayout = new QHBoxLayout(picLabel);
    picLayout->setContentsMargins(4, 2, 4, 2);
    picLayout->addWidget(m_lblLabel);

    auto* command1 = new QPushButton(QStringLiteral("Continuer"));
    command1->setObjectName(QStringLiteral("Command1"));
    command1->setAutoDefault(false);
    connect(command1, &QPushButton::clicked, this, &QDialog::accept);

    auto* top = new QHBoxLayout;
    top->addWidget(m_fraIntervalle);
    top->addWidget(m_fraTaux, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(picLabel, 1);
    bottom->addWidget(command1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_fraListTaux, 1);
    layout->addLayout(bottom);
    setFixedSize(560, 420);

    connect(m_mfgHerbicides, &QTableWidget::cellClicked, this,
            [this](int row, int column) { mfgHerbicides_Click(row, column); });
    connect(m_mfgHerbicides, &QTableWidget::currentCellChanged, this,
            [this](int, int, int previousRow, int previousColumn) {
                mfgHerbicides_LeaveCell(previousRow, previousColumn);
            });
}

void frmChoixTaux::buildIntervalFrame() {
    m_fraIntervalle = new QGroupBox(QStringLiteral("Intervalle"));
    m_fraIntervalle->setObjectName(QStringLiteral("fraIntervalle"));
    track(m_fraIntervalle);
    auto* lblPourcentage = new QLabel(QStringLiteral("Pourcentage"));
    lblPourcentage->setObjectName(QStringLiteral("lblPourcentage"));
    auto* lblPlusMoins = new QLabel(QStringLiteral("±"));
    lblPlusMoins->setObjectName(QStringLiteral("lblPlusMoins"));
    m_cbbIntervalle = new QComboBox;
    m_cbbIntervalle->setObjectName(QStringLiteral("cbbIntervalle"));
    m_cbbIntervalle->setEditable(true);
    m_cbbIntervalle->setInsertPolicy(QComboBox::NoInsert);
    m_cbbIntervalle->setCompleter(nullptr);
    AutoComplete::attach(m_cbbIntervalle);
    auto* intervalLayout = new QGridLayout(m_fraIntervalle);
    intervalLayout->addWidget(lblPourcentage, 0, 1);
    intervalLayout->addWidget(lblPlusMoins, 1, 0);
    intervalLayout->addWidget(m_cbbIntervalle, 1, 1);
}

void frmChoixTaux::buildRatesFrame() {
    m_fraTaux = new QGroupBox(QStringLiteral("Taux"));
    m_fraTaux->setObjectName(QStringLiteral("fraTaux"));
    track(m_fraTaux);
    auto* ratesLayout = new QGridLayout(m_fraTaux);
    for (int i = 0; i < MaxHerbicides; ++i) {
        auto* label = new QLabel(QStringLiteral("Herbicide%1").arg(i + 1));
        label->setObjectName(indexed("lblTaux", i));
        m_txtTaux[i] = new QLineEdit;
        m_txtTaux[i]->setObjectName(QStringLiteral("txtTaux%1").arg(i + 1));
        ratesLayout->addWidget(label, 0, i);
        ratesLayout->addWidget(m_txtTaux[i], 1, i);
    }
}

void frmChoixTaux::buildListFrame() {
    m_fraListTaux = new QGroupBox;
    m_fraListTaux->setObjectName(QStringLiteral("fraListTaux"));
    track(m_fraListTaux);
    auto* lblListeTaux = new QLabel(QStringLiteral(
        "Liste des taux d'application (kg i.a./ha) disponibles pour ce mélange de produits"));
    lblListeTaux->setObjectName(QStringLiteral("lblListeTaux"));
    lblListeTaux->setWordWrap(true);
    m_mfgHerbicides = new QTableWidget;
    m_mfgHerbicides->setObjectName(QStringLiteral("mfgHerbicides"));
    m_mfgHerbicides->verticalHeader()->hide();
    m_mfgHerbicides->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_mfgHerbicides->horizontalHeader()->setSectionsClickable(false);
    m_mfgHerbicides->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The clicked cell shows by its colour, not by a selection highlight.
    m_mfgHerbicides->setSelectionMode(QAbstractItemView::NoSelection);
    m_mfgHerbicides->setItemDelegate(new PlainCellDelegate(m_mfgHerbicides));
    m_mfgHerbicides->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    track(m_mfgHerbicides);
    track(m_mfgHerbicides->viewport());
    auto* listLayout = new QVBoxLayout(m_fraListTaux);
    listLayout->addWidget(lblListeTaux);
    listLayout->addWidget(m_mfgHerbicides);
}

void frmChoixTaux::Form_Load() {
    for (int i = 0; i < 5; ++i)
        m_cbbIntervalle->addItem(QString::number(i + 1));
    const QString interval = QString::number(m_rateInterval);
    const int shown = m_cbbIntervalle->findText(interval);
    if (shown >= 0)
        m_cbbIntervalle->setCurrentIndex(shown);
    else
        m_cbbIntervalle->setEditText(interval);
    // Connected only now: filling the box and showing the tolerance choose nothing.
    connect(m_cbbIntervalle, &QComboBox::currentIndexChanged, this,
            [this](int index) { cbbIntervalle_Click(index); });
    for (int i = 0; i < MaxHerbicides; ++i)
        m_txtTaux[i]->setText(m_rates[i]);
    GetData();
}

void frmChoixTaux::GetData() {
    const int n = m_mixture.count;
    if (n < 1 || n > MaxHerbicides)
        return;
    QVector<int> ids;
    for (int k = 0; k < n; ++k)
        ids << m_mixture.ids[k];
    FillRateGrid(n, ListSteps(m_de).rateCombinations(m_mixture.applicationType, ids));
}

void frmChoixTaux::FillRateGrid(int columns, const QVector<QVector<QVariant>>& combinations) {
    m_mfgHerbicides->clear();
    m_mfgHerbicides->setColumnCount(columns);
    // Until a combination brings the names, the header row stays blank rather than numbered.
    setHeader(m_mfgHerbicides, combinations.isEmpty() ? std::array<QString, 4>{} : m_mixture.names,
              columns);
    m_mfgHerbicides->setRowCount(int(combinations.size()));
    for (int row = 0; row < combinations.size(); ++row) {
        for (int c = 0; c < columns && c < combinations[row].size(); ++c) {
            auto* item = new QTableWidgetItem(rateText(combinations[row][c]));
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            m_mfgHerbicides->setItem(row, c, item);
        }
    }
}

void frmChoixTaux::mfgHerbicides_Click(int row, int column) {
    QTableWidgetItem* cell = m_mfgHerbicides->item(row, column);
    if (!cell)
        return;
    cell->setBackground(kClickedCell);
    if (column >= 0 && column < MaxHerbicides)
        m_txtTaux[column]->setText(cell->text());
}

void frmChoixTaux::mfgHerbicides_LeaveCell(int row, int column) {
    if (QTableWidgetItem* cell = m_mfgHerbicides->item(row, column))
        cell->setBackground(m_mfgHerbicides->palette().color(QPalette::Base));
}

void frmChoixTaux::cbbIntervalle_Click(int index) {
    if (index >= 0)
        m_rateInterval = qint16(m_cbbIntervalle->itemText(index).toInt());
}

void frmChoixTaux::Form_Unload() {
    // Written back in the user's own number format, which the form's checks and the report
    // read (a picked rate already is; a typed one may have either separator).
    for (int i = 0; i < MaxHerbicides; ++i)
        m_rates[i] = NumberText::inLocale(m_txtTaux[i]->text(), QLocale(), true);
}

// Continuer, the close box and Escape all end here, so the rates always go back. A tolerance box
// showing a text that is not one of its items would not be the tolerance the report uses: the
// window stays open and says so.
void frmChoixTaux::done(int result) {
    if (!AutoComplete::holdsItemOrNothing(m_cbbIntervalle) ||
        m_cbbIntervalle->currentText().isEmpty()) {
        m_dialogs.message(
            this,
            QStringLiteral("La tolérance «\u00a0%1\u00a0» n'est pas dans la liste (1 à 5)."
                           "\rLe rapport utilise ± %2.")
                .arg(m_cbbIntervalle->currentText())
                .arg(m_rateInterval),
            QStringLiteral("Attention"), DialogService::Icon::Critical);
        m_cbbIntervalle->setCurrentIndex(
            m_cbbIntervalle->findText(QString::number(m_rateInterval)));
        m_cbbIntervalle->setFocus(Qt::OtherFocusReason);
        return;
    }
    Form_Unload();
    QDialog::done(result);
}

QString frmChoixTaux::helpText(QObject* area) const {
    if (area == m_fraIntervalle)
        return QStringLiteral("Les taux d'applications entrés seront évalués ± cette valeur");
    if (area == m_fraTaux)
        return QStringLiteral("Entrez au clavier le taux que vous désirez");
    if (area == m_fraListTaux || area == m_mfgHerbicides)
        return QStringLiteral("'Cliquez' sur la case correspondant au taux que vous désirez");
    return QString();
}

// A move that a frame ignores goes on to the window: the area is found from the widget under
// the pointer, so the window's own handler does not blank the frame's text.
QWidget* frmChoixTaux::helpArea(QWidget* under) const {
    for (QWidget* w = under; w && w != this; w = w->parentWidget())
        if (w == m_fraIntervalle || w == m_fraTaux || w == m_fraListTaux || w == m_mfgHerbicides)
            return w;
    return const_cast<frmChoixTaux*>(this);
}

bool frmChoixTaux::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        QWidget* under = widget->childAt(static_cast<QMouseEvent*>(event)->position().toPoint());
        m_lblLabel->setText(helpText(helpArea(under ? under : widget)));
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace grelavo
