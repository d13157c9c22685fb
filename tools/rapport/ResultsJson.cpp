#include "ResultsJson.h"

#include "core/db/DE.h"
#include "core/report/ReportOutcome.h"
#include "core/report/ReportStamp.h"
#include "core/report/ResultsTable.h"

#include <QJsonArray>

namespace grelavo {

namespace {

QJsonValue text(const std::optional<QString>& value) {
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

QJsonObject importJson(const ImportRecord& r) {
    const ExperimentCounts& c = r.added;
    return QJsonObject{
        {QStringLiteral("date"), r.dateTime},
        {QStringLiteral("fichiers"), QJsonArray::fromStringList(r.files)},
        {QStringLiteral("ajouts"), QJsonObject{{QStringLiteral("sites"), c.sites},
                                               {QStringLiteral("traitements"), c.treatments},
                                               {QStringLiteral("cultures"), c.crops},
                                               {QStringLiteral("applications"), c.applications},
                                               {QStringLiteral("stades"), c.stages},
                                               {QStringLiteral("produits"), c.products},
                                               {QStringLiteral("evaluations"), c.ratings}}},
        {QStringLiteral("nomsAjoutes"), QJsonArray::fromStringList(r.addedNames)}};
}

// Null when the file says nothing of itself: no edition and no import.
QJsonValue editionJson(const DatabaseEdition& e) {
    if (!e.known && e.imports.isEmpty())
        return QJsonValue(QJsonValue::Null);
    const auto known = [&e](const QString& value) {
        return e.known ? QJsonValue(value) : QJsonValue(QJsonValue::Null);
    };
    QJsonArray imports;
    for (const ImportRecord& r : e.imports)
        imports.append(importJson(r));
    return QJsonObject{{QStringLiteral("name"), known(e.name)},
                       {QStringLiteral("date"), known(e.date)},
                       {QStringLiteral("source"), known(e.source)},
                       {QStringLiteral("synthetic"), e.synthetic},
                       {QStringLiteral("importations"), imports}};
}

// A cell's text as a number; nothing for " - ", NULL or any text that is not a whole number.
std::optional<int> cellNumber(const std::optional<QString>& cell) {
    bool ok = false;
    const int n = cell ? cell->trimmed().toInt(&ok) : 0;
    return ok ? std::optional<int>(n) : std::nullopt;
}

// The cells of a weed or category as numbers, one entry per dose fraction: its percentage, its
// mean (null without ratings) and its count of ratings. None for a row that stands for
// neither (a blank, a title, a free row).
QJsonArray valuesJson(const ResultsRow& row) {
    static constexpr int kPercents[] = {50, 60, 70, 80, 100};
    QJsonArray values;
    if (!row.ResultsId)
        return values;
    for (int k = 0; k < ResultsRow::Cells / 2; ++k) {
        const int count = cellNumber(row.cells.at(2 * k + 1)).value_or(0);
        const std::optional<int> mean = cellNumber(row.cells.at(2 * k));
        values.append(QJsonObject{
            {QStringLiteral("fraction"), kPercents[k]},
            {QStringLiteral("mean"), mean && count > 0 ? QJsonValue(*mean) : QJsonValue()},
            {QStringLiteral("count"), count}});
    }
    return values;
}

} // namespace

QJsonObject resultsJson(DE& de, const ReportOutcome& report) {
    const ReportStamp stamp = ReportStamp::take(de.Connection2());
    QJsonArray rows;
    for (const ResultsRow& row : report.rows) {
        QJsonArray cells;
        for (const std::optional<QString>& cell : row.cells)
            cells.append(text(cell));
        rows.append(QJsonObject{{QStringLiteral("noId"), row.NoId},
                                {QStringLiteral("label"), text(row.Results)},
                                {QStringLiteral("cells"), cells},
                                {QStringLiteral("values"), valuesJson(row)}});
    }
    return QJsonObject{{QStringLiteral("reportDate"), stamp.reportDate.toString(Qt::ISODate)},
                       {QStringLiteral("programVersion"), stamp.programVersion},
                       {QStringLiteral("edition"), editionJson(stamp.edition)},
                       {QStringLiteral("totalCases"), report.totalCases},
                       {QStringLiteral("noDataFound"), report.noDataFound()},
                       {QStringLiteral("rows"), rows}};
}

} // namespace grelavo
