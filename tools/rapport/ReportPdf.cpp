#include "ReportPdf.h"

#include "report/ReportEngine.h"
#include "results/ReportPage.h"

#include <QFileInfo>
#include <QPrinter>

namespace grelavo {

bool writeReportPdf(const QString& path, DE& de, const ParameterSet& parameters,
                    const ReportEngine& engine) {
    ReportPage page;
    page.setContent(engine.TotalCases(), ReportEngine::Set_ParamList(parameters),
                    ReportList::fromResults(de, parameters.RateInterval));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QFileInfo(path).absoluteFilePath());
    printer.setDocName(QStringLiteral("Grelavo"));
    return page.printOn(printer) && QFileInfo(path).size() > 0;
}

} // namespace grelavo
