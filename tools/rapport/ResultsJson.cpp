#include "ResultsJson.h"

#include "db/DE.h"
#include "db/Recordset.h"
#include "report/ReportEngine.h"
#include "report/ReportStamp.h"

#include <QJsonArray>

namespace grelavo {

namespace {

QJsonValue text(const QVariant& value) {
    return value.isNull() ? QJsonValue(QJsonValue::Null) : QJsonValue(value.toString());
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
    Recordset rs;
    rs.open(de.Connection2(), QStringLiteral("SELECT * FROM tblResults ORDER BY tblResults.NoId;"));
    QJsonArray rows;
    for (; !rs.eof(); rs.moveNext()) {
        QJsonArray cells;
        for (int c = 1; c <= 10; ++c)
            cells.append(text(rs.field(QString::number(c))));
        rows.append(
            QJsonObject{{QStringLiteral("noId"), rs.field(QStringLiteral("NoId")).toLongLong()},
                        {QStringLiteral("label"), text(rs.field(QStringLiteral("Results")))},
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
