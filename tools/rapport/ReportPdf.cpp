#include "ReportPdf.h"

#include "core/db/DE.h"
#include "core/report/ReportOutcome.h"
#include "core/report/ReportStamp.h"

#include <QFileInfo>

namespace grelavo {

void fillReportPage(ReportPage& page, DE& de, const ReportOutcome& report) {
    const qint16 interval = report.parameters.RateInterval;
    page.setContent(report.totalCases, interval, report.summaryLines,
                    ReportList::fromRows(report.rows, interval));
    page.setStamp(ReportStamp::take(de.Connection2()));
}

bool writeReportPdf(const QString& path, ReportPage& page) {
    return page.writePdf(QFileInfo(path).absoluteFilePath());
}

} // namespace grelavo
