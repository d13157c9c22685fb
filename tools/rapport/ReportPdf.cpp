#include "ReportPdf.h"

#include "db/DE.h"
#include "report/ReportEngine.h"
#include "report/ReportStamp.h"
#include "results/ReportPage.h"

#include <QFileInfo>
#include <QPrinter>

namespace grelavo {

bool writeReportPdf(const QString& path, DE& de, const ParameterSet& parameters,
                    const ReportEngine& engine) {
    ReportPage page;
    page.setContent(engine.TotalCases(), ReportEngine::Set_ParamList(parameters),
                    ReportList::fromResults(de, parameters.RateInterval));
    page.setStamp(ReportStamp::take(de.Connection2()));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QFileInfo(path).absoluteFilePath());
    printer.setDocName(QStringLiteral("Grelavo"));
    return page.printOn(printer) && QFileInfo(path).size() > 0;
}

} // namespace grelavo
