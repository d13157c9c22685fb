#include "frmListView.h"

#include "core/db/DE.h"
#include "core/db/DbError.h"
#include "core/db/FrenchCollation.h"
#include "core/db/Recordset.h"
#include "core/report/ListStatements.h"
#include "render/Twips.h"

#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace grelavo {

namespace {

// Names sort in French order (accents with their letter), without regard to case, whatever the
// locale the program runs under.
class WeedItem : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override {
        const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
        return FrenchCollation::frenchOrder().compare(text(column), other.text(column)) < 0;
    }
};

// Hot tracking: the row under the pointer is lit, lighter than the selected row.
class HotTrackDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        if ((option.state & QStyle::State_MouseOver) && !(option.state & QStyle::State_Selected)) {
            QColor hot = option.palette.color(QPalette::Highlight);
            hot.setAlpha(40);
            painter->fillRect(option.rect, hot);
        }
        QStyledItemDelegate::paint(painter, option, index);
    }
};

} // namespace

frmListView::frmListView(DE& de, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("frmListView"));
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("ListViewMH"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_list);
    Form_Load(de);
}

QIcon frmListView::ascendingMark() {
    return QIcon(QStringLiteral(":/sort-marks/sort-ascending.svg"));
}

QIcon frmListView::descendingMark() {
    return QIcon(QStringLiteral(":/sort-marks/sort-descending.svg"));
}

void frmListView::Form_Load(DE& de) {
    m_list->setColumnCount(ColumnCount);
    m_list->setHeaderLabels({QStringLiteral("Id"), QStringLiteral("     Français"),
                             QStringLiteral("          Latin"), QStringLiteral("      Anglais")});
    try {
        Recordset weeds;
        weeds.open(de.Connection2(), ListStatements::weedNames());
        for (weeds.moveFirst(); !weeds.eof(); weeds.moveNext()) {
            auto* item = new WeedItem;
            item->setText(Id, weeds.field(QStringLiteral("MHId")).toString());
            item->setText(French, weeds.field(QStringLiteral("Nom-Francais")).toString());
            item->setText(Latin, weeds.field(QStringLiteral("Nom-Latin")).toString());
            item->setText(English, weeds.field(QStringLiteral("Nom-Anglais")).toString());
            m_list->addTopLevelItem(item);
        }
    } catch (const DbError&) {
        // The window opens with what was read.
    }

    // Report view: rows without a tree, the whole row selected, the row under the pointer lit.
    m_list->setRootIsDecorated(false);
    m_list->setItemsExpandable(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setAllColumnsShowFocus(true);
    m_list->setMouseTracking(true);
    m_list->viewport()->setAttribute(Qt::WA_Hover);
    m_list->setItemDelegate(new HotTrackDelegate(m_list));
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setSortingEnabled(false);
    QHeaderView* header = m_list->header();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    header->setStretchLastSection(false);
    // The headings' leading blanks place them; they only work from the left edge.
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_list->setColumnHidden(Id, true);
    m_list->setColumnWidth(French, Twips::toPixels(2300));
    m_list->setColumnWidth(Latin, Twips::toPixels(2300));
    m_list->setColumnWidth(English, Twips::toPixels(2100));
    connect(header, &QHeaderView::sectionClicked, this,
            [this](int logical) { SortByColumn(logical + 1); });
    m_list->installEventFilter(this);
    m_list->viewport()->installEventFilter(this);

    m_sortKey = French;
    m_sortOrder = Qt::AscendingOrder;
    m_list->headerItem()->setIcon(French, ascendingMark());
    SortByColumn(French + 1);
}

void frmListView::SortByColumn(int n) {
    const int key = n - 1;
    if (m_sorted) {
        if (key == m_sortKey)
            m_sortOrder =
                m_sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
        else
            m_sortOrder = Qt::AscendingOrder;
        m_sortKey = key;
    }
    m_sorted = true;
    m_list->sortItems(m_sortKey, m_sortOrder);
    for (int k = 1; k < m_list->columnCount(); ++k) {
        if (k != m_sortKey)
            m_list->headerItem()->setIcon(k, QIcon());
        else
            m_list->headerItem()->setIcon(k, m_sortOrder == Qt::AscendingOrder ? ascendingMark()
                                                                               : descendingMark());
    }
}

void frmListView::ListViewMH_Click(bool onRow) {
    // A click below the rows chooses nothing, rather than whichever row was selected before.
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    const bool chosen = onRow && m_list->topLevelItemCount() > 0 && !selected.isEmpty();
    const int id = chosen ? selected.first()->text(Id).toInt() : 0;
    // Current items are set on a shown column: from the hidden Id column the arrow keys move the
    // current row but leave the selection behind.
    if (m_list->topLevelItemCount() > 0)
        m_list->setCurrentItem(m_list->topLevelItem(0), French);
    emit weedChosen(chosen, id);
}

bool frmListView::event(QEvent* event) {
    if (event->type() == QEvent::WindowDeactivate)
        hide();
    return QWidget::event(event);
}

bool frmListView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_list->viewport() && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        // The click is taken once the list has handled the whole press and release.
        if (mouse->button() == Qt::LeftButton) {
            const bool onRow = m_list->itemAt(mouse->position().toPoint()) != nullptr;
            QMetaObject::invokeMethod(
                this, [this, onRow] { ListViewMH_Click(onRow); }, Qt::QueuedConnection);
        }
    } else if (watched == m_list && event->type() == QEvent::KeyPress) {
        // Enter takes the highlighted weed as a click would; Escape leaves without one.
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            ListViewMH_Click(m_list->currentItem() != nullptr);
            return true;
        }
        if (key == Qt::Key_Escape) {
            emit weedChosen(false, 0);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace grelavo
