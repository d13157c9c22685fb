#pragma once

#include "ReportStamp.h"

#include <QStringList>

namespace grelavo {

struct ParameterSet;

// What a report's output shows, said beside it so that the output stands alone once it leaves
// the program (a picture sent by mail, a CSV file opened a year later): the search parameters
// (the mixture with its rates, the period, the crop and the conditions entered), the tolerance,
// the day, the program's version, the database's edition and, while its data are synthetic, a
// warning. Every output of a report carries these lines: the page, the pictures, the CSV files,
// the clipboard, the analysis.
struct ReportAbout {
    QStringList parameters; // as the report page lists them, one a line
    int rateInterval = 5;   // the tolerance: ± this percentage of the entered rates
    ReportStamp stamp;

    static ReportAbout of(const ParameterSet& parameters, const ReportStamp& stamp);

    bool synthetic() const { return stamp.edition.known && stamp.edition.synthetic; }
    // The red warning above every output of synthetic data.
    static QString syntheticWarning();
    // "Tolérance : ± 5 % des taux entrés".
    QString toleranceLine() const;
    // The report's day and program, then the database's edition, then its imports if any.
    QStringList colophonLines() const;
    // The whole block, one a line: the warning (when synthetic), the heading "Paramètres de
    // recherche :", the parameters and the tolerance, then the colophon.
    QStringList lines() const;
};

} // namespace grelavo
