#pragma once

#include "render/ReportPage.h"

#include <QString>

namespace grelavo {

class DE;
struct ReportOutcome;

// Fills 'page' with a report run, as the results window lays it out: the summary lines of the
// parameters, the total of ratings and the results table, with today's date, the program's
// version and the database's edition. Throws DbError when the file cannot be read.
void fillReportPage(ReportPage& page, DE& de, const ReportOutcome& report);

// Writes that page, as the results window prints it, into a one-page PDF file. False when the
// file cannot be written.
bool writeReportPdf(const QString& path, ReportPage& page);

} // namespace grelavo
