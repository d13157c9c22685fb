#pragma once

#include "ParameterSet.h"
#include "ReportDetails.h"
#include "ReportEngine.h"
#include "ResultsTable.h"

#include <QLocale>
#include <QString>
#include <QStringList>
#include <QVector>

namespace grelavo {

class DE;

// What one report run gives, as a value: the parameter set it was run with and, when it ran to
// its end, the lines that summarise those parameters, the ratings counted, the results table's
// rows and the ratings behind each cell (when asked for); otherwise why there is nothing to show.
// The results window, the PDF and the JSON are all made from it.
struct ReportOutcome {
    enum class Status {
        Shown,   // ran to its end and found ratings
        NoData,  // ran to its end; no dose fraction found a rating of a weed
        Refused, // a parameter the engine cannot read; nothing ran
        Failed,  // a statement failed: the results table is not a report
    };

    Status status = Status::Failed;
    ParameterSet parameters;
    // Why there is no report, in words (Refused and Failed only).
    QString reason;
    QStringList summaryLines;
    qint32 totalCases = 0;
    QVector<ResultsRow> rows;
    bool detailsGathered = false;
    ReportDetails details;

    bool shown() const { return status == Status::Shown; }
    bool noDataFound() const { return status == Status::NoData; }

    // Runs the report engine on the parameters and gathers what it gives. The summary lines and
    // the rows are read only when the report has something to show (Shown or NoData). The rows
    // are read from the results table: throws DbError when it cannot be read.
    static ReportOutcome run(DE& de, const ParameterSet& parameters, const ReportHooks& hooks,
                             bool gatherDetails, const QLocale& locale = QLocale());
};

} // namespace grelavo
