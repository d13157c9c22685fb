#pragma once

#include "ParameterSet.h"

#include <QLocale>
#include <QString>
#include <QStringList>
#include <QVector>

namespace grelavo {

class Connection;

// A rating of the report's mixture at whatever dose it was applied: the dose as a fraction of
// the entered rates (0 for an untreated check of the same trial).
struct EvidenceRating {
    qint64 ratingId = 0;
    qint64 treatmentId = 0;
    qint64 siteId = 0; // the trial
    qint64 weedId = 0;
    qint64 category = -1; // the weed's category; -1 when it has none
    int visual = 0;
    double fraction = 0;
};

// All the ratings the database holds of the report's mixture in the entered proportions, at
// every dose, for the dose-response fit. A treatment counts when one of its applications, at
// the chosen period, holds exactly the entered herbicides (in the chosen formulations) and its
// crop, site and stage meet the report's conditions, as for the report's cells; but instead of
// five windows, any dose: the products' rates divided by their entered rates must agree within
// the tolerance (the highest ratio less the lowest at most twice the tolerance, as two rates of
// one window may differ), and the dose is the middle of those ratios. A treatment with two such
// applications, or with any other application (another period, another mixture), is left out:
// its ratings are not those of one dose of the mixture. The untreated checks (treatments
// without any application) of the trials that gave a rating, whose crop and site meet the
// conditions, anchor the curve at dose 0.
class DoseEvidence {
public:
    QVector<EvidenceRating> ratings; // in rating order
    int treatments = 0;              // treated treatments taken
    int untreated = 0;               // untreated checks taken
    int outOfProportion = 0;         // treatments of the mixture whose rates are not in proportion
    int repeated = 0;                // treatments with more than one application of the mixture
    int otherApplications = 0;       // treatments with the mixture and other applications too

    // 'conditions': the report's conditions on the crop, site and stage (ReportEngine::
    // treatmentConditions); 'checkConditions': the same without the stage, for the untreated
    // checks, which have no application and so no stage. Throws DbError.
    static DoseEvidence gather(Connection& db, const ParameterSet& parameters,
                               const QStringList& conditions, const QStringList& checkConditions,
                               const QLocale& locale);
};

} // namespace grelavo
