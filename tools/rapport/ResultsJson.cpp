#include "ResultsJson.h"

#include "db/DE.h"
#include "report/ReportEngine.h"
#include "report/ReportStamp.h"
#include "report/ResultsTable.h"

#include <QJsonArray>

namespace grelavo {

namespace {

QJsonValue text(const std::optional<QString>& value) {
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

} // namespace

QJsonObject editionJson(const DatabaseEdition& e) {
    return QJsonObject{{QStringLiteral("name"), e.name},
                       {QStringLiteral("date"), e.date},
                       {QStringLiteral("source"), e.source},
                       {QStringLiteral("synthetic"), e.synthetic}};
}

QJsonObject resultsJson(DE& de, const ReportEngine& engine) {
    const ReportStamp stamp = ReportStamp::take(de.Connection2());
    QJsonArray rows;
    for (const ResultsRow& row : ResultsTable::read(de.Connection2())) {
        QJsonArray cells;
        for (const std::optional<QString>& cell : row.cells)
            cells.append(text(cell));
        rows.append(QJsonObject{{QStringLiteral("noId"), row.NoId},
                                {QStringLiteral("label"), text(row.Results)},
                                {QStringLiteral("cells"), cells}});
    }
    return QJsonObject{{QStringLiteral("reportDate"), stamp.reportDate.toString(Qt::ISODate)},
                       {QStringLiteral("programVersion"), stamp.programVersion},
                       {QStringLiteral("edition"), stamp.edition.known
                                                       ? QJsonValue(editionJson(stamp.edition))
                                                       : QJsonValue(QJsonValue::Null)},
                       {QStringLiteral("totalCases"), engine.TotalCases()},
                       {QStringLiteral("noDataFound"), engine.NoDataFound()},
                       {QStringLiteral("rows"), rows}};
}

} // namespace grelavo
