#pragma once

#include "Sources.h"

#include <vector>

namespace grelavo::makedb {

// Where and when a product is applied, as far as the model cares.
struct ApplicationConditions {
    bool soilTiming = false;  // applied to the soil before emergence
    double cropLeaves = 0;    // crop stage at a post-emergence application (leaves)
    double organicMatter = 3; // %
    double clay = 20;         // %
};

// The dose-response model behind the demonstration ratings.
//
// A product p at rate r on weed w has the relative dose d = r / label rate of p and controls
//     E = emax / (1 + (ED50 / d)^slope)                 (log-logistic curve)
// where emax, slope and the base ED50 come from p's efficacy class on w (the class of w's
// category, or an exception for w). The base ED50 is multiplied by
//   - w's susceptibility;
//   - for a soil timing, the soil factor (1 + a (OM - OMref)) (1 + b (clay - clayref)), at least
//     a floor, doubled for a product without soil activity;
//   - for a post-emergence timing, the stage factor 1 + c max(0, leaves - leavesref), times 2.5
//     for a product without foliar activity (it controls only the weeds that emerge later);
//   - exp(u), u the sum of the random effects of the site, the trial, the site's population of w
//     and the treatment.
// Products of a mixture, and the applications of one treatment, act independently (Colby):
//     E = 1 - prod(1 - E_i).
// The visual rating is 100 E plus a normal rating error, clipped to 0..100 and rounded to a
// multiple of 5.
class DoseModel {
public:
    explicit DoseModel(const Sources& sources);

    static double logLogistic(double relativeDose, double emax, double ed50, double slope);
    static double colby(const std::vector<double>& efficacies);
    // 0..100 in steps of 5.
    static int visualRating(double percent);

    const EfficacyClass& efficacyClass(const Herbicide& h, const Weed& w) const;
    // The factor the conditions put on the ED50 of h (soil or crop stage).
    double conditionFactor(const Herbicide& h, const ApplicationConditions& c) const;
    // Efficacy of h at 'rate' kg/ha on w, 0..1; logShift is the sum of the random effects.
    double efficacy(const Herbicide& h, double rate, const Weed& w, const ApplicationConditions& c,
                    double logShift) const;

private:
    const Sources& m_sources;
    double m_omRef, m_omEffect, m_clayRef, m_clayEffect, m_soilFloor, m_stageRef, m_stageEffect;
};

} // namespace grelavo::makedb
