#pragma once

#include "ResultsTable.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QVector>

namespace grelavo {

class Connection;

// One rating counted by a report: which weed, its value, the treatment it was made in and the
// application of that treatment that matched the report's mixture (the first, when several did).
struct DetailRating {
    qint64 ratingId = 0; // tblMHEval.MHEvalId
    qint64 weedId = 0;
    QString weed;
    int visual = 0;
    qint64 treatmentId = 0;
    qint64 applicationId = 0;
    qint64 siteId = 0; // the experimental site of the treatment: its trial
};

} // namespace grelavo

// Moved in memory as a whole when a list of ratings grows.
Q_DECLARE_TYPEINFO(grelavo::DetailRating, Q_RELOCATABLE_TYPE);

namespace grelavo {

// The ratings behind one cell of the results table: row NoId, dose fraction 0 to 4.
struct CellDetail {
    qint64 noId = 0;
    int fraction = 0;
    QVector<DetailRating> ratings;

    int count() const { return int(ratings.size()); }
    double mean() const;              // of the ratings, unrounded
    int reportedMean() const;         // as the report writes it: the mean truncated towards zero
    double standardDeviation() const; // sample standard deviation; 0 for fewer than two
    int lowest() const;
    int highest() const;
    int trials() const;                // distinct experimental sites the ratings come from
    int reaching(int threshold) const; // ratings of at least 'threshold' %
};

// The ratings behind every cell of a report, gathered while the report runs: each dose
// fraction's ratings are given with their ids as the engine reads them; once the report is done
// they are given to the cells of tblResults as the report's updates gave the figures (a row
// takes its weed's figures, and its category's when a category has that id, as the category
// update comes last).
class ReportDetails {
public:
    void clear();
    // The weeds' names, read once per report. Throws DbError.
    void readWeedNames(Connection& db);
    // Fraction k's counted ratings (those with a value), in the order of their ids, with the
    // category of each weed (-1 for none).
    void startFraction(int k);
    void addRating(int k, DetailRating rating, qint64 category);
    // The weeds and the categories fraction k gave figures to, once the report knows them.
    void setGroups(int k, const QSet<qint64>& weeds, const QSet<qint64>& categories);
    // Once the report has written tblResults.
    void assign(const QVector<ResultsRow>& rows);

    const QVector<CellDetail>& cells() const { return m_cells; }
    // The cell's ratings; nullptr when it has none.
    const CellDetail* cell(qint64 noId, int fraction) const;

private:
    struct Fraction {
        QVector<DetailRating> ratings;
        QVector<qint64> categories; // of each rating
        QSet<qint64> weedGroups, categoryGroups;
    };
    QVector<Fraction> m_fractions;
    QHash<qint64, QString> m_names;
    QVector<CellDetail> m_cells;
};

} // namespace grelavo
