#pragma once

#include <QString>

namespace grelavo {

class DE;
class ReportEngine;
struct ParameterSet;

// Writes the report page, as the results window prints it, into a one-page PDF file: the
// summary lines of the parameters, the total of ratings and the results table of the report
// the engine has just run, with today's date, the program's version and the database's edition.
// False when the file cannot be written.
bool writeReportPdf(const QString& path, DE& de, const ParameterSet& parameters,
                    const ReportEngine& engine);

} // namespace grelavo
