#pragma once

#include <QString>

namespace grelavo {

class ReportPage;

// The report page as text, beside its picture: for the clipboard (a spreadsheet or a word
// processor takes the table), for assistive technology, and as a CSV file of figures.
namespace ReportExport {

// The page read from top to bottom, table rows as tab-separated cells as the page shows them.
QString plainText(const ReportPage& page);
// The same as an HTML document with a real table.
QString html(const ReportPage& page);
// The table as figures: one line per weed or category, its category, then the mean and the
// number of ratings for each dose fraction (empty where there are none). Semicolons between
// fields, as French spreadsheets read them; fields with a separator or a quote are quoted.
QString csv(const ReportPage& page);

} // namespace ReportExport

} // namespace grelavo
