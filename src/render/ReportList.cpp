#include "ReportList.h"

#include "core/db/DE.h"
#include "core/report/ResultsTable.h"

namespace grelavo {

namespace {

const QString kBlank = QStringLiteral("    ");
const QString kUserHeading = QStringLiteral("Sélection de l'utilisateur");
const QString kEmptyCell = QStringLiteral(" - ");

} // namespace

QVector<ReportList::Column> ReportList::resultsColumns(qint16 rateInterval) {
    QVector<Column> columns{
        {QStringLiteral("Mauvaises herbes"), LabelColumnWidth, Alignment::Left}};
    for (const char* dose : {"50", "60", "70", "80", "100"})
        columns.push_back({QStringLiteral("%1 ± %2").arg(QLatin1String(dose)).arg(rateInterval),
                           DoseColumnWidth, Alignment::Centre});
    return columns;
}

ReportList::Item ReportList::resultsItem(const QVariant& label, const QVector<QVariant>& cells) {
    if (label.isNull())
        return {kBlank, QStringList(5, kBlank)};
    const QString text = label.toString();
    if (text == kUserHeading)
        return {text, {}};
    Item item{text, {}};
    for (int k = 0; k < 5; ++k) {
        // A NULL cell reads as nothing, as text joined to a NULL does.
        const QString mean = cells.value(2 * k).toString();
        const QString count = cells.value(2 * k + 1).toString();
        const bool empty = mean == kEmptyCell;
        item.subItems << (empty ? QStringLiteral("  -  ")
                                : mean + QStringLiteral("  (") + count + QLatin1Char(')'));
        item.values << (empty ? QString() : mean) << (empty ? QString() : count);
    }
    return item;
}

ReportList ReportList::fromResults(DE& de, qint16 rateInterval) {
    return fromRows(ResultsTable::read(de.Connection2()), rateInterval);
}

ReportList ReportList::fromRows(const QVector<ResultsRow>& rows, qint16 rateInterval) {
    ReportList list;
    list.columns = resultsColumns(rateInterval);
    const auto variant = [](const std::optional<QString>& text) {
        return text ? QVariant(*text) : QVariant();
    };
    for (const ResultsRow& row : rows) {
        QVector<QVariant> cells;
        for (const std::optional<QString>& cell : row.cells)
            cells << variant(cell);
        list.items << resultsItem(variant(row.Results), cells);
        list.items.last().noId = row.NoId;
    }
    return list;
}

} // namespace grelavo
