#include "ReportPdf.h"

#include "db/DE.h"
#include "report/ReportEngine.h"
#include "report/ReportStamp.h"

#include <QFileInfo>

namespace grelavo {

void fillReportPage(ReportPage& page, DE& de, const ParameterSet& parameters,
                    const ReportEngine& engine) {
    page.setContent(engine.TotalCases(), parameters.RateInterval,
                    ReportEngine::Set_ParamList(parameters),
                    ReportList::fromResults(de, parameters.RateInterval));
    page.setStamp(ReportStamp::take(de.Connection2()));
}

bool writeReportPdf(const QString& path, ReportPage& page) {
    return page.writePdf(QFileInfo(path).absoluteFilePath());
}

} // namespace grelavo
