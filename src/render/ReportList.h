#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

namespace grelavo {

class DE;
struct ResultsRow;

// What the table renderer draws: column headings with their widths (twips) and alignments, and
// items numbered from 1, each with its text (column 1) and sub-items (columns 2 to n). The
// results window keeps it as the model of its hidden list view; it holds no widget.
struct ReportList {
    // The list view's alignment codes.
    enum class Alignment { Left = 0, Right = 1, Centre = 2 };
    static Qt::Alignment qtAlignment(Alignment a) {
        return a == Alignment::Right    ? Qt::AlignRight
               : a == Alignment::Centre ? Qt::AlignHCenter
                                        : Qt::AlignLeft;
    }

    struct Column {
        QString text;
        int width = 0; // twips
        Alignment alignment = Alignment::Left;
    };
    struct Item {
        QString text;
        QStringList subItems; // columns 2 to n
        // A results row's ten cells as read, mean then count for each dose fraction (empty for
        // a heading, a blank row or a fraction without data).
        QStringList values = {};
        qint64 noId = 0; // the row of tblResults it shows; 0 for none
    };

    quint32 foreColor = 0; // 0x00BBGGRR, black by default
    QVector<Column> columns;
    QVector<Item> items;

    static constexpr int LabelColumnWidth = 2730;
    static constexpr int DoseColumnWidth = 1000;

    // The six columns of the results table, the dose headings written with the tolerance:
    // "Mauvaises herbes", "50 ± 5" ... "100 ± 5".
    static QVector<Column> resultsColumns(qint16 rateInterval);
    // The item of one row of tblResults: its label (Results) and its ten cells.
    static Item resultsItem(const QVariant& label, const QVector<QVariant>& cells);
    // The table model of a report: the columns, then one item per row of tblResults in NoId
    // order (ResultsTable). Throws DbError.
    static ReportList fromResults(DE& de, qint16 rateInterval);
    // The same from rows already read.
    static ReportList fromRows(const QVector<ResultsRow>& rows, qint16 rateInterval);
};

} // namespace grelavo
