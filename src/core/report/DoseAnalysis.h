#pragma once

#include "DoseEvidence.h"
#include "ParameterSet.h"
#include "ReportDetails.h"
#include "ResultsTable.h"
#include "core/stats/DoseResponseFit.h"

#include <QByteArray>
#include <QJsonObject>
#include <QLocale>
#include <QStringList>
#include <QVector>

namespace grelavo {

class Connection;
class ReportEngine;

// A product of the report's mixture and the rate entered for it.
struct AnalysisProduct {
    qint64 herbicideId = 0;
    QString herbicide;
    double enteredKgHa = 0;
};

// What one cell of the report rests on: its ratings, the trials they come from and the share of
// them that reach each control threshold, with its Wilson 95 % interval.
struct CellEvidence {
    int fraction = 0; // 0 to 4
    int ratings = 0;
    int trials = 0;
    ProportionEstimate control80;
    ProportionEstimate control90;
};

// A dose that gives a level of control (absolute: % visual destruction), as a fraction of the
// entered rates, with its 95 % interval (cluster-robust, on the log of the dose).
struct DoseForLevel {
    int level = 0;
    EffectiveDose dose;
};

// One weed or category of the report: its cells' evidence and the curve fitted to every rating
// of the mixture in proportion, at any dose.
struct AnalysisRow {
    qint64 noId = 0;
    QString label; // without its indent
    bool category = false;
    QVector<CellEvidence> cells;           // the cells with ratings, by fraction
    QVector<DoseObservation> observations; // the curve's data: dose fraction, rating, trial
    int trials = 0;                        // of the curve's data
    CurveFit curve;
    QVector<DoseForLevel> doses;          // 50, 80 and 90 %; empty when the curve is not estimable
    double bandSe(double fraction) const; // robust standard error of the curve there
    double bandT() const;                 // t quantile of its 95 % band (G - 1 df)
};

// The weighing of a report's evidence: for each weed and category with ratings, the trials
// behind each cell and the control shares, and a log-logistic curve fitted by least squares
// (LL.2, LL.3 or LL.4 by AIC) with cluster-robust uncertainty (trials as clusters), giving the
// doses of 50, 80 and 90 % control. Every figure the window, the JSON and the CSV show comes
// from here. It estimates; it never stands in for an observation.
class DoseAnalysis {
public:
    static constexpr int Threshold = 80; // "bon" control or better
    static constexpr int SecondThreshold = 90;
    static const QVector<int>& levels(); // 50, 80, 90

    QVector<AnalysisProduct> products;
    int tolerance = 5; // ± percentage points
    // Of the evidence (DoseEvidence).
    int treatments = 0, untreated = 0, outOfProportion = 0, repeated = 0, otherApplications = 0;
    QVector<AnalysisRow> rows; // in the report's order

    // The analysis of a report from its cells' ratings and the evidence of its mixture.
    static DoseAnalysis compute(const ReportDetails& details, const QVector<ResultsRow>& table,
                                const DoseEvidence& evidence, QVector<AnalysisProduct> products,
                                int tolerance);
    // The same, gathering the evidence through the report's conditions; the rates are read in
    // 'locale'. Refused sets give an empty analysis. Throws DbError.
    static DoseAnalysis run(Connection& db, ReportEngine& engine, const ParameterSet& parameters,
                            const ReportDetails& details, const QVector<ResultsRow>& table,
                            const QLocale& locale);

    const AnalysisRow* row(qint64 noId) const;
    // Fits the row's observations: its curve and its doses for 50, 80 and 90 %.
    static void fitRow(AnalysisRow& row);

    // The "analysis" member of grelavo-rapport's JSON.
    QJsonObject toJson() const;
    // The analysis as a CSV file for people (CsvWriter::forPeople under 'locale'): the lines of
    // 'about' first (CsvWriter::addAbout), then one line per row and level, the fitted
    // parameters, and one line per cell.
    QByteArray csv(const QStringList& about, const QLocale& locale = QLocale()) const;

    // What a cell rests on, from its ratings.
    static CellEvidence evidenceOf(const CellDetail& cell);

    // "0,62 (0,48–0,81)", "non estimable : …" as the windows write a dose fraction.
    static QString fractionText(const DoseForLevel& d, const QLocale& locale);
    // "8 sur 10 : 80 % (49–94 %)" as the windows write a share and its interval.
    static QString shareText(const ProportionEstimate& p, const QLocale& locale);
};

} // namespace grelavo
