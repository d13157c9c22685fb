#pragma once

#include <QByteArray>
#include <QLocale>
#include <QString>

namespace grelavo {

class ReportDetails;
class ReportPage;

// The report page as text, beside its picture: for the clipboard (a spreadsheet or a word
// processor takes the table), for assistive technology, and as a CSV file of figures.
namespace ReportExport {

// The page read from top to bottom, table rows as tab-separated cells as the page shows them.
QString plainText(const ReportPage& page);
// The same as an HTML document with a real table.
QString html(const ReportPage& page);
// The table as figures, a CSV file for people (CsvWriter::forPeople under 'locale'): what the
// page shows (CsvWriter::addAbout), then one line per weed or category, its category, then the
// mean and the number of ratings for each dose fraction (empty where there are none). With the
// ratings behind the cells, each fraction also gives the number of trials behind it and the
// share of its ratings (%) that reach 80 and 90 % destruction with their Wilson 95 % bounds.
QByteArray csv(const ReportPage& page, const ReportDetails* details = nullptr,
               const QLocale& locale = QLocale());

} // namespace ReportExport

} // namespace grelavo
