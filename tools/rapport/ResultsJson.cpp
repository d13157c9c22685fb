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

} // namespace

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
                       {QStringLiteral("edition"), editionJson(stamp.edition)},
                       {QStringLiteral("totalCases"), engine.TotalCases()},
                       {QStringLiteral("noDataFound"), engine.NoDataFound()},
                       {QStringLiteral("rows"), rows}};
}

} // namespace grelavo
