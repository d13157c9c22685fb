#pragma once

#include <QIcon>
#include <QWidget>

class QTreeWidget;

namespace grelavo {

class DE;

// The weed list: every weed with its French, Latin and English names, in a list that sorts by
// any name column. A top-level window without a frame, opened below a weed box of the parameter
// form; it hides when it loses the focus and keeps its list, order and selection while the
// program runs.
class frmListView : public QWidget {
    Q_OBJECT

public:
    // The columns of ListViewMH: the hidden Id, then the three names.
    enum Column { Id = 0, French = 1, Latin = 2, English = 3, ColumnCount = 4 };

    // Reads the weeds through the general recordset; a failing statement leaves the list empty.
    explicit frmListView(DE& de, QWidget* parent = nullptr);

    QTreeWidget* ListViewMH() const { return m_list; }

    // Column number n is 1-based: the same column again reverses the order, another column
    // sorts ascending; the mark moves to the sorted column's heading.
    void SortByColumn(int n);
    int sortKey() const { return m_sortKey; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }

    static QIcon ascendingMark();
    static QIcon descendingMark();

signals:
    // The list is done with: a weed clicked or taken with Enter, or none (an empty list, a click
    // below the rows, Escape).
    void weedChosen(bool chosen, int weedId);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load(DE& de);
    void ListViewMH_Click(bool onRow);

    QTreeWidget* m_list = nullptr;
    bool m_sorted = false;
    int m_sortKey = French;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};

} // namespace grelavo
