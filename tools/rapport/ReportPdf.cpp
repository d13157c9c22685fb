#include "ReportPdf.h"

#include "db/DE.h"
#include "render/ReportPage.h"
#include "report/ReportEngine.h"
#include "report/ReportStamp.h"

#include <QFileInfo>
#include <QPageSize>
#include <QPdfWriter>

namespace grelavo {

bool writeReportPdf(const QString& path, DE& de, const ParameterSet& parameters,
                    const ReportEngine& engine) {
    ReportPage page;
    page.setContent(engine.TotalCases(), ReportEngine::Set_ParamList(parameters),
                    ReportList::fromResults(de, parameters.RateInterval));
    page.setStamp(ReportStamp::take(de.Connection2()));
    // As the print dialog's PDF printer writes it: A4 at 1200 dots an inch.
    QPdfWriter writer(QFileInfo(path).absoluteFilePath());
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setResolution(1200);
    writer.setTitle(QStringLiteral("Grelavo"));
    return page.printOn(writer) && QFileInfo(path).size() > 0;
}

} // namespace grelavo
