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
    void makeTrial(Trial& trial, Dataset& out);
    void addTreatment(Trial& trial, const QVector<PlannedApplication>& plan, Dataset& out);

    const Sources& m_sources;
    DoseModel m_model;
    int m_siteCount;
    QVector<QPair<int, int>> m_guaranteed; // (mixture, period) placed first
    Random* m_rng = nullptr;               // the stream of the site being made
};

} // namespace grelavo::makedb
