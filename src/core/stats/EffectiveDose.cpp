// What a fitted curve gives: its value at a dose with its standard error, and the dose that
// gives a response level with its interval, both by the delta method.

#include "Distributions.h"
#include "DoseResponseFit.h"

#include "LogLogisticCurve.h"
#include "SmallMatrix.h"

#include <algorithm>

namespace grelavo {

using namespace fitting;

namespace {

// The gradient of the curve's value at a dose with respect to the free parameters.
QVector<double> freeGradient(const CurveFit& fit, const double (&grad)[4]) {
    QVector<double> v;
    for (const FitParameter& parameter : fit.parameters)
        v << grad[parameter.name.at(0).unicode() - 'b'];
    return v;
}

// The delta method's standard error of a quantity of gradient g. Robust: the cluster-robust one,
// never below the classical one (with few trials the sandwich can understate the variance,
// even to nothing).
double standardError(const CurveFit& fit, const QVector<double>& g, bool robust) {
    if (fit.covariance.isEmpty() || (robust && fit.robustCovariance.isEmpty()))
        return kNaN;
    const double classical = quadratic(fit.covariance, g);
    return std::sqrt(robust ? std::max(classical, quadratic(fit.robustCovariance, g)) : classical);
}

Parameters parametersOf(const CurveFit& fit) {
    return {fit.b, fit.c, fit.d, fit.e};
}

} // namespace

double CurveFit::value(double dose) const {
    return evaluate(parametersOf(*this), dose, false).f;
}

double CurveFit::valueSe(double dose, bool robust) const {
    if (!ok())
        return kNaN;
    const Point pt = evaluate(parametersOf(*this), dose, false);
    return standardError(*this, freeGradient(*this, pt.grad), robust);
}

EffectiveDose effectiveDose(const CurveFit& fit, double level,
                            const EffectiveDoseSettings& settings) {
    EffectiveDose ed;
    ed.level = level;
    if (!fit.ok()) {
        ed.reason = fit.reason;
        return ed;
    }
    const double b = fit.b, c = fit.c, d = fit.d, e = fit.e;
    double grad[4] = {0, 0, 0, 0};
    if (settings.absolute) {
        const double ratio = (d - level) / (level - c);
        if (b == 0 || !(ratio > 0) || !std::isfinite(ratio)) {
            ed.reason = NotEstimable::LevelNotReached;
            return ed;
        }
        ed.dose = e * std::pow(ratio, 1 / b);
        grad[B] = -ed.dose * std::log(ratio) / (b * b);
        grad[C] = ed.dose / (b * (level - c));
        grad[D] = ed.dose / (b * (d - level));
        grad[E] = ed.dose / e;
    } else {
        // A percentage of the way from the value at dose 0 to the limit at an infinite dose.
        if (b == 0 || !(level > 0 && level < 100)) {
            ed.reason = NotEstimable::LevelNotReached;
            return ed;
        }
        const double ratio = level / (100 - level);
        ed.dose = e * std::pow(ratio, 1 / std::abs(b));
        grad[B] = -ed.dose * std::log(ratio) * (b > 0 ? 1 : -1) / (b * b);
        grad[E] = ed.dose / e;
    }
    if (!std::isfinite(ed.dose) || ed.dose <= 0 ||
        (settings.withinObserved && ed.dose > fit.highestDose)) {
        ed.reason = NotEstimable::LevelNotReached;
        ed.dose = kNaN;
        return ed;
    }
    if (settings.withinObserved && ed.dose < fit.lowestDose) {
        ed.reason = NotEstimable::ReachedBelowLowestDose;
        ed.dose = kNaN;
        return ed;
    }
    const double df = settings.robust ? fit.trials - 1 : fit.df;
    ed.se = standardError(fit, freeGradient(fit, grad), settings.robust);
    if (!std::isfinite(ed.se) || df < 1) {
        ed.reason = NotEstimable::UnboundedInterval;
        return ed;
    }
    const double t = studentQuantile(1 - (1 - settings.confidence) / 2, df);
    if (settings.logScale) {
        const double half = t * ed.se / ed.dose;
        ed.lower = ed.dose * std::exp(-half);
        ed.upper = ed.dose * std::exp(half);
    } else {
        ed.lower = ed.dose - t * ed.se;
        ed.upper = ed.dose + t * ed.se;
    }
    if (!std::isfinite(ed.lower) || !std::isfinite(ed.upper))
        ed.reason = NotEstimable::UnboundedInterval;
    return ed;
}

} // namespace grelavo
