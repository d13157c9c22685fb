#pragma once

#include "Dataset.h"
#include "DoseModel.h"
#include "Sources.h"

namespace grelavo::makedb {

class Random;

// Makes the synthetic field experiments: sites, each with one or more trials; a trial is a crop
// sown on the site, a mixture studied at a series of dose fractions at one application period,
// a few other treatments (an untreated check, comparison mixtures, a split application, a
// sequential programme), and the visual ratings of the site's most abundant weeds, drawn from
// the dose-response model. Each site draws from its own random stream, so a larger scale keeps
// the sites of a smaller one.
class TrialGenerator {
public:
    TrialGenerator(const Sources& sources, double scale);

    Dataset generate();

    // Number of sites at this scale (at least 1).
    int siteCount() const { return m_siteCount; }
    // Rounds a rate to three significant digits.
    static double roundRate(double rate);

private:
    struct Trial;
    struct PlannedApplication {
        int mixture; // index into Sources::mixtures
        int periodId;
        double fraction; // of each product's base rate
    };

    void makeSite(int index, Dataset& out);
    using Plan = QVector<PlannedApplication>; // the applications of one treatment

    void makeTrial(Trial& trial, Dataset& out);
    // The trial's crop, then a mixture studied on it, its period, dose series and base rates;
    // returns the mixtures studied on the crop.
    QVector<int> chooseCropAndMixture(Trial& trial, const Crop*& crop);
    // How the crop was sown, the trial's effect and the weeds rated.
    void sowCrop(Trial& trial, const Crop& crop);
    // The treatments: the check, the dose series, comparisons, a split or sequential programme.
    QVector<Plan> planTreatments(const Trial& trial, const QVector<int>& candidates);
    void addTreatment(Trial& trial, const Plan& plan, Dataset& out);
    // The crop's stage at the period, drawn on its first use in the trial, and its stage rows.
    QPair<double, double> cropStage(Trial& trial, int periodId, int applicationId, Dataset& out);

    const Sources& m_sources;
    DoseModel m_model;
    int m_siteCount;
    QVector<QPair<int, int>> m_guaranteed; // (mixture, period) placed first
    Random* m_rng = nullptr;               // the stream of the site being made
};

} // namespace grelavo::makedb
