#include "ReportPdf.h"

#include "db/DE.h"
#include "render/ReportPage.h"
#include "report/ReportEngine.h"
#include "report/ReportStamp.h"

#include <QFileInfo>
#include <QPageSize>

namespace grelavo {

bool writeReportPdf(const QString& path, DE& de, const ParameterSet& parameters,
                    const ReportEngine& engine) {
    ReportPage page;
    page.setContent(engine.TotalCases(), parameters.RateInterval,
                    ReportEngine::Set_ParamList(parameters),
                    ReportList::fromResults(de, parameters.RateInterval));
    page.setStamp(ReportStamp::take(de.Connection2()));
    return page.writePdf(QFileInfo(path).absoluteFilePath());
}

} // namespace grelavo
