#pragma once

#include "Workloads.h"

#include <QString>
#include <QVector>
#include <map>

namespace grelavo {
class Connection;
struct ReferenceReport;
} // namespace grelavo

// The lower bounds the steps are measured against: for a report, one hand-written statement
// over the experiment tables giving the figures of every cell (the categories summed from the
// weeds' sums afterwards, a few hundred additions); for a list step and the rate picker, one
// statement giving the same list, without the stored query rewritten. Plain SQLite, run as
// they are.
namespace grelavo::bench {

// The figures of one report: per dose fraction, the rating sum and the number of ratings of
// every weed and of every reported category.
struct ReportFigures {
    struct Group {
        double sum = 0;
        long long rated = 0;
    };
    std::map<int, Group> perWeed[5];
    std::map<int, Group> perCategory[5];
    long long totalCases() const;
};

// The statement of a report's figures. Throws std::runtime_error for a parameter the bench's
// reports do not use (variety, previous crop, depth, row spacing, formulation, extra weeds).
QString reportStatement(const ParameterSet& p);
// Runs it and sums the categories; throws DbError.
ReportFigures readReportFigures(Connection& db, const QString& statement);
// Whether the figures are those of the evaluator's table: the cells of every row whose weed or
// category has ratings, and the total of cases. Empty when they agree, else what differs.
std::string compareWithTable(const ReportFigures& figures, const ReferenceReport& table);

// The statement giving the list a list step shows, before the chosen herbicides are left out
// (tblId, tblField), or the rate picker's combinations (Taux1..TauxN).
QString listStatement(const ListCase& c);

} // namespace grelavo::bench
