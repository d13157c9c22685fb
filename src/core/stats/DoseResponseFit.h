#pragma once

#include "Distributions.h"

#include <QString>
#include <QVector>
#include <cmath>
#include <limits>

namespace grelavo {

// Log-logistic dose-response curves fitted by least squares, with the standard errors of their
// parameters (classical, and cluster-robust when the observations come from several trials),
// and the doses that give a response level with their delta-method intervals.
//
//   f(x) = c + (d - c) / (1 + exp(b (ln x - ln e)))
//
// LL.4 estimates b, c, d and e; LL.3 fixes c (the lower limit, 0 unless told); LL.2 fixes c and
// d (0 and 100 for percentages). At x = 0 the curve is its limit: d when b > 0, c when b < 0.
// Parameters are always listed in the order b, c, d, e, the fixed ones left out.

enum class LogLogisticModel { LL2, LL3, LL4 };

QString modelName(LogLogisticModel model);        // "LL.2", "LL.3", "LL.4"
QVector<LogLogisticModel> allLogLogisticModels(); // LL.2, LL.3, LL.4

// One observed response at a dose (in any unit, >= 0). 'cluster' numbers the trial it comes
// from (0, 1, ...), or is -1 when trials are not known. Cluster-robust errors need the trial of
// every observation.
struct DoseObservation {
    double dose = 0;
    double response = 0;
    int cluster = -1;
};

// Why a figure cannot be given. The words are for the user; the code is stable, for programs.
enum class NotEstimable {
    None,
    TooFewDoses,   // fewer than three distinct doses
    TooFewTrials,  // fewer than three trials, or than the model has parameters plus one
    NoConvergence, // the fit did not converge, or its Hessian is not positive definite
    // The responses are flat, or the curve fits no better than their mean
    // (FitSettings::doseEffectLevel), or it falls where it must rise (FitSettings::requireRising).
    NoDoseEffect,
    // The responses are at their top at every dose tried, at their bottom untreated: the curve
    // rises below the lowest dose, where nothing was tried.
    PlateauAtEveryDose,
    ReachedBelowLowestDose, // the level is passed below the lowest dose tried
    LevelNotReached, // the level lies outside the curve's range or outside the observed doses
    UnboundedInterval
};
QString reasonCode(NotEstimable reason);  // "too-few-doses", "too-few-trials", ...
QString reasonWords(NotEstimable reason); // French, for the user

struct FitParameter {
    QString name; // "b", "c", "d" or "e"
    double estimate = 0;
    double se = std::numeric_limits<double>::quiet_NaN();
    double seRobust = std::numeric_limits<double>::quiet_NaN(); // NaN without trials
};

struct CurveFit {
    NotEstimable reason = NotEstimable::None; // None: the fit below holds
    LogLogisticModel model = LogLogisticModel::LL4;
    double b = 0, c = 0, d = 0, e = 0; // fixed ones included
    QVector<FitParameter> parameters;  // the free ones, in the order b, c, d, e
    int observations = 0;
    int distinctDoses = 0; // doses > 0 counted once each (after rounding, see FitSettings)
    int trials = 0;        // distinct clusters; 0 when not known for every observation
    int df = 0;            // residual degrees of freedom
    double rss = 0;
    double residualSe = 0;
    double logLik = 0;      // normal log-likelihood, variance estimated (as R's logLik for nls/drc)
    double aic = 0;         // -2 logLik + 2 (free parameters + 1)
    double lowestDose = 0;  // the lowest dose > 0 observed
    double highestDose = 0; // the highest dose observed
    // Covariance of the free parameters (row-major, parameters.size() squared): s^2 (H/2)^-1,
    // H the Hessian of the residual sum of squares; and the cluster-robust sandwich
    // G/(G-1) A^-1 B A^-1 (A = H/2, B the sum over clusters of the outer products of the
    // clusters' scores), empty without two trials or more.
    QVector<double> covariance;
    QVector<double> robustCovariance;

    bool ok() const { return reason == NotEstimable::None; }
    double value(double dose) const;
    // The curve's value and its standard error at a dose (delta method); robust: the
    // cluster-robust one, never below the classical one.
    double valueSe(double dose, bool robust) const;
};

struct FitSettings {
    // Models tried; the one of lowest AIC among those the data support (a model of p free
    // parameters needs more than p distinct doses, and more than p trials when trials are
    // required) is kept. One model: that one alone.
    QVector<LogLogisticModel> models = allLogLogisticModels();
    double fixedLower = 0;      // c of LL.2 and LL.3
    double fixedUpper = 100;    // d of LL.2
    bool requireTrials = false; // fewer than three clusters: TooFewTrials
    // The response must rise with the dose (control of weeds): a falling curve is NoDoseEffect.
    bool requireRising = false;
    // Doses closer than this (relative to the highest dose) count as one when distinct doses
    // are counted; 0 counts every different value.
    double doseResolution = 0;
    // A curve must fit better than a flat line through the mean at this significance level (F
    // test); otherwise the responses show no effect of the dose and no curve is given
    // (NoDoseEffect). 1 skips the test.
    double doseEffectLevel = 0.05;
};

// Fits the observations; the result says why it could not when it could not.
CurveFit fitLogLogistic(const QVector<DoseObservation>& observations,
                        const FitSettings& settings = {});

// Several curves with one common residual variance (as one least-squares fit of a model with a
// separate set of parameters per group): each group's estimates are its own fit's; the
// residual standard error, degrees of freedom, log-likelihood and AIC are the joint ones, and
// the standard errors use the joint variance. With more than one model in the settings, the
// model of lowest joint AIC that every group supports is used for all.
QVector<CurveFit> fitLogLogisticGroups(const QVector<QVector<DoseObservation>>& groups,
                                       const FitSettings& settings = {});

struct EffectiveDoseSettings {
    // Absolute: the dose at which the curve equals the level. Relative (drc's ED() default):
    // the level is a percentage of the way from the curve's value at dose 0 to its limit at an
    // infinite dose.
    bool absolute = false;
    // Robust: the cluster-robust standard error, or the classical one when it is larger (with
    // few trials the sandwich can understate the variance), and t with G - 1 degrees of
    // freedom; otherwise the classical standard error and t with the residual degrees of
    // freedom.
    bool robust = false;
    // On the log of the dose: exp(ln ED -/+ t se(ln ED)), always positive; otherwise
    // ED -/+ t se(ED), as drc's interval = "delta".
    bool logScale = false;
    double confidence = 0.95;
    // Doses outside the observed ones (the lowest > 0 to the highest) are not given: beyond the
    // highest LevelNotReached, below the lowest ReachedBelowLowestDose, the dose left NaN.
    bool withinObserved = true;
};

struct EffectiveDose {
    double level = 0;
    NotEstimable reason = NotEstimable::None;
    double dose = std::numeric_limits<double>::quiet_NaN();
    double se = std::numeric_limits<double>::quiet_NaN(); // of the dose (not of its log)
    double lower = std::numeric_limits<double>::quiet_NaN();
    double upper = std::numeric_limits<double>::quiet_NaN();

    bool ok() const { return reason == NotEstimable::None; }
};

EffectiveDose effectiveDose(const CurveFit& fit, double level,
                            const EffectiveDoseSettings& settings = {});

} // namespace grelavo
