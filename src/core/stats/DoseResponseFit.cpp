// Log-logistic dose-response curves: each model fitted by least squares (LeastSquares) from
// several starting points, the exact Hessian of the residual sum of squares for the
// covariances, the model of lowest AIC kept; and the reasons a data set cannot be fitted.

#include "DoseResponseFit.h"
#include "Distributions.h"

#include "LeastSquares.h"
#include "LogLogisticCurve.h"
#include "SmallMatrix.h"

#include <QMap>
#include <QSet>
#include <algorithm>

namespace grelavo {

using namespace fitting;

namespace {

struct ModelFit {
    CurveFit fit;
    Matrix halfHessianInverse;
};

void setClassicalCovariance(ModelFit& m, double variance) {
    m.fit.covariance.resize(m.halfHessianInverse.size());
    for (int i = 0; i < m.halfHessianInverse.size(); ++i)
        m.fit.covariance[i] = variance * m.halfHessianInverse[i];
    const int k = m.fit.parameters.size();
    for (int i = 0; i < k; ++i)
        m.fit.parameters[i].se = std::sqrt(m.fit.covariance[i * k + i]);
}

// The counts of a data set every fit reports, whether it succeeds or not.
CurveFit described(const QVector<DoseObservation>& observations, const FitSettings& settings) {
    CurveFit fit;
    fit.observations = observations.size();
    QVector<double> doses;
    QSet<int> clusters;
    bool allClustered = !observations.isEmpty();
    for (const DoseObservation& o : observations) {
        if (o.dose > 0)
            doses << o.dose;
        fit.highestDose = std::max(fit.highestDose, o.dose);
        if (o.cluster >= 0)
            clusters.insert(o.cluster);
        else
            allClustered = false;
    }
    std::sort(doses.begin(), doses.end());
    fit.lowestDose = doses.isEmpty() ? 0 : doses.first();
    const double resolution = settings.doseResolution * fit.highestDose;
    double last = -kInf;
    for (const double dose : doses) {
        if (dose - last > resolution) {
            ++fit.distinctDoses;
            last = dose;
        }
    }
    fit.trials = allClustered ? clusters.size() : 0;
    return fit;
}

// A model of p free parameters needs more than p doses and observations; with trials as the
// unit, more than p trials too (the sandwich of G trials has rank G - 1 at most).
bool supports(const CurveFit& described, LogLogisticModel model, const FitSettings& settings) {
    const int p = parameterCount(model);
    return described.distinctDoses > p && described.observations > p &&
           (!settings.requireTrials || described.trials > p);
}

bool flatResponses(const QVector<DoseObservation>& observations) {
    bool flat = true;
    for (const DoseObservation& o : observations)
        flat = flat && o.response == observations.first().response;
    return flat;
}

// Every start a few steps on; then the two lowest sums of squares on to convergence (a start
// that is still far off after those steps is not where the minimum lies). Not converged: none
// found.
Optimum bestOptimum(const Problem& problem, const QVector<DoseObservation>& observations,
                    LogLogisticModel model, const FitSettings& settings) {
    QVector<Optimum> tried;
    for (const Parameters& start : startingPoints(observations, model, settings)) {
        Optimum o = levenbergMarquardt(problem, start, kFirstSteps);
        if (std::isfinite(o.rss))
            tried << o;
    }
    std::sort(tried.begin(), tried.end(),
              [](const Optimum& a, const Optimum& b) { return a.rss < b.rss; });
    Optimum best;
    for (int i = 0; i < std::min<int>(3, tried.size()); ++i) {
        const Optimum o =
            tried[i].converged ? tried[i] : levenbergMarquardt(problem, tried[i].p, kMostSteps);
        if (o.converged && o.rss < best.rss)
            best = o;
    }
    return best;
}

// Half the Hessian of the sum of squares at p, and the clusters' scores.
Matrix halfHessian(const Problem& problem, const QVector<DoseObservation>& observations,
                   const Parameters& p, QMap<int, QVector<double>>& scores) {
    const int k = problem.free.size();
    Matrix half(k * k, 0.0);
    for (const DoseObservation& o : observations) {
        const Point pt = evaluate(p, o.dose, true);
        const double r = o.response - pt.f;
        QVector<double>& score = scores[o.cluster];
        score.resize(k);
        for (int i = 0; i < k; ++i) {
            score[i] += r * pt.grad[problem.free[i]];
            for (int j = 0; j < k; ++j)
                half[i * k + j] += pt.grad[problem.free[i]] * pt.grad[problem.free[j]] -
                                   r * pt.hess[problem.free[i]][problem.free[j]];
        }
    }
    return half;
}

// The cluster-robust sandwich G/(G-1) A^-1 B A^-1, when every trial has its scores.
void setRobustCovariance(ModelFit& m, const QMap<int, QVector<double>>& scores) {
    CurveFit& fit = m.fit;
    const int k = fit.parameters.size();
    const int groups = scores.size();
    if (fit.trials < 2 || groups != fit.trials)
        return;
    Matrix middle(k * k, 0.0);
    for (const QVector<double>& u : scores)
        for (int i = 0; i < k; ++i)
            for (int j = 0; j < k; ++j)
                middle[i * k + j] += u[i] * u[j];
    const Matrix& a = m.halfHessianInverse;
    Matrix left(k * k, 0.0);
    for (int i = 0; i < k; ++i)
        for (int j = 0; j < k; ++j)
            for (int q = 0; q < k; ++q)
                left[i * k + j] += a[i * k + q] * middle[q * k + j];
    fit.robustCovariance.fill(0.0, k * k);
    const double factor = double(groups) / (groups - 1);
    for (int i = 0; i < k; ++i)
        for (int j = 0; j < k; ++j) {
            for (int q = 0; q < k; ++q)
                fit.robustCovariance[i * k + j] += left[i * k + q] * a[q * k + j];
            fit.robustCovariance[i * k + j] *= factor;
        }
    for (int i = 0; i < k; ++i)
        fit.parameters[i].seRobust = std::sqrt(fit.robustCovariance[i * k + i]);
}

// A curve no better than a flat line through the mean is no curve: the responses show no
// effect of the dose (F test of the curve against the mean). Nor is a response that falls as
// the dose grows, where only a rise makes sense.
void judgeDoseEffect(CurveFit& fit, const QVector<DoseObservation>& observations,
                     const FitSettings& settings) {
    const int n = observations.size();
    const int k = fit.parameters.size();
    double mean = 0, flatRss = 0;
    for (const DoseObservation& o : observations)
        mean += o.response / n;
    for (const DoseObservation& o : observations)
        flatRss += (o.response - mean) * (o.response - mean);
    const int q = std::max(k - 1, 1);
    const double f = (flatRss - fit.rss) / q / (fit.rss / fit.df);
    if (!(f > 0) || (std::isfinite(f) && fisherUpperTail(f, q, fit.df) > settings.doseEffectLevel))
        fit.reason = NotEstimable::NoDoseEffect;
    if (fit.ok() && settings.requireRising &&
        fit.value(fit.highestDose) < fit.value(fit.lowestDose))
        fit.reason = NotEstimable::NoDoseEffect;
}

ModelFit fitModel(const QVector<DoseObservation>& observations, LogLogisticModel model,
                  const FitSettings& settings) {
    ModelFit m;
    m.fit = described(observations, settings);
    m.fit.model = model;
    m.fit.reason = NotEstimable::NoConvergence;

    Parameters fixed{};
    fixed[C] = settings.fixedLower;
    fixed[D] = settings.fixedUpper;
    const Problem problem{observations, freeParameters(model), fixed};
    const int k = problem.free.size();
    const int n = observations.size();

    if (flatResponses(observations)) { // no dose effect: no curve to find
        m.fit.reason = NotEstimable::NoDoseEffect;
        return m;
    }
    const Optimum best = bestOptimum(problem, observations, model, settings);
    if (!best.converged)
        return m;
    Parameters p = best.p;
    // The same curve with its limits swapped: keep c as the lower limit.
    if (model == LogLogisticModel::LL4 && p[C] > p[D]) {
        std::swap(p[C], p[D]);
        p[B] = -p[B];
    }

    QMap<int, QVector<double>> scores;
    m.halfHessianInverse =
        positiveDefiniteInverse(halfHessian(problem, observations, p, scores), k);
    if (m.halfHessianInverse.isEmpty())
        return m;

    CurveFit& fit = m.fit;
    fit.reason = NotEstimable::None;
    fit.b = p[B];
    fit.c = p[C];
    fit.d = p[D];
    fit.e = p[E];
    for (const int i : problem.free)
        fit.parameters.append({QString::fromLatin1(kNames[i]), p[i], kNaN, kNaN});
    fit.rss = best.rss;
    fit.df = n - k;
    fit.residualSe = std::sqrt(fit.rss / fit.df);
    fit.logLik = -0.5 * n * (std::log(2 * kPi) + std::log(fit.rss / n) + 1);
    fit.aic = -2 * fit.logLik + 2 * (k + 1);
    setClassicalCovariance(m, fit.rss / fit.df);
    setRobustCovariance(m, scores);
    for (const double v : fit.covariance)
        if (!std::isfinite(v))
            fit.reason = NotEstimable::NoConvergence;
    judgeDoseEffect(fit, observations, settings);
    return m;
}

// The responses of every dose tried already at their top, the untreated ones at their bottom:
// the curve rises before the lowest dose, where there is nothing to fit it to.
bool plateauAtEveryDose(const QVector<DoseObservation>& observations) {
    QMap<double, std::pair<double, double>> sums; // dose → (count, sum)
    double low = kInf, high = -kInf;
    for (const DoseObservation& o : observations) {
        auto& [count, sum] = sums[o.dose];
        count += 1;
        sum += o.response;
        low = std::min(low, o.response);
        high = std::max(high, o.response);
    }
    if (!sums.contains(0.0) || sums.size() < 2 || !(high > low))
        return false;
    const double range = high - low;
    for (auto it = sums.cbegin(); it != sums.cend(); ++it) {
        const double mean = it.value().second / it.value().first;
        if (it.key() == 0 ? std::abs(mean - low) > 0.1 * range
                          : std::abs(high - mean) > 0.1 * range)
            return false;
    }
    return true;
}

// Why a data set cannot be fitted before any fit is tried; None when it may be.
NotEstimable refusal(const CurveFit& described, const FitSettings& settings) {
    if (described.distinctDoses < 3)
        return NotEstimable::TooFewDoses;
    if (settings.requireTrials && described.trials < 3)
        return NotEstimable::TooFewTrials;
    FitSettings withoutTrials = settings;
    withoutTrials.requireTrials = false;
    bool withMoreTrials = false;
    for (const LogLogisticModel model : settings.models) {
        if (supports(described, model, settings))
            return NotEstimable::None;
        withMoreTrials = withMoreTrials || supports(described, model, withoutTrials);
    }
    return withMoreTrials ? NotEstimable::TooFewTrials : NotEstimable::TooFewDoses;
}

} // namespace

QString modelName(LogLogisticModel model) {
    switch (model) {
    case LogLogisticModel::LL2:
        return QStringLiteral("LL.2");
    case LogLogisticModel::LL3:
        return QStringLiteral("LL.3");
    case LogLogisticModel::LL4:
        break;
    }
    return QStringLiteral("LL.4");
}

QVector<LogLogisticModel> allLogLogisticModels() {
    return {LogLogisticModel::LL2, LogLogisticModel::LL3, LogLogisticModel::LL4};
}

QString reasonCode(NotEstimable reason) {
    switch (reason) {
    case NotEstimable::None:
        return QString();
    case NotEstimable::TooFewDoses:
        return QStringLiteral("too-few-doses");
    case NotEstimable::TooFewTrials:
        return QStringLiteral("too-few-trials");
    case NotEstimable::NoConvergence:
        return QStringLiteral("no-convergence");
    case NotEstimable::NoDoseEffect:
        return QStringLiteral("no-dose-effect");
    case NotEstimable::PlateauAtEveryDose:
        return QStringLiteral("plateau-at-every-dose");
    case NotEstimable::ReachedBelowLowestDose:
        return QStringLiteral("reached-below-lowest-dose");
    case NotEstimable::LevelNotReached:
        return QStringLiteral("level-not-reached");
    case NotEstimable::UnboundedInterval:
        break;
    }
    return QStringLiteral("unbounded-interval");
}

QString reasonWords(NotEstimable reason) {
    switch (reason) {
    case NotEstimable::None:
        return QString();
    case NotEstimable::TooFewDoses:
        return QStringLiteral("moins de trois doses différentes");
    case NotEstimable::TooFewTrials:
        return QStringLiteral("trop peu d'essais");
    case NotEstimable::NoConvergence:
        return QStringLiteral("l'ajustement ne converge pas");
    case NotEstimable::NoDoseEffect:
        return QStringLiteral("aucun effet de la dose ne se dégage des évaluations");
    case NotEstimable::PlateauAtEveryDose:
        return QStringLiteral("la réponse plafonne déjà à la plus petite dose essayée");
    case NotEstimable::ReachedBelowLowestDose:
        return QStringLiteral("niveau déjà dépassé à la plus petite dose essayée");
    case NotEstimable::LevelNotReached:
        return QStringLiteral("niveau non atteint dans les doses essayées");
    case NotEstimable::UnboundedInterval:
        break;
    }
    return QStringLiteral("intervalle de confiance sans borne utile");
}

CurveFit fitLogLogistic(const QVector<DoseObservation>& observations, const FitSettings& settings) {
    CurveFit counted = described(observations, settings);
    if (!settings.models.isEmpty())
        counted.model = settings.models.first();
    counted.reason = refusal(counted, settings);
    if (!counted.ok())
        return counted;
    CurveFit best;
    best.reason = NotEstimable::TooFewDoses;
    for (const LogLogisticModel model : settings.models) {
        if (!supports(counted, model, settings))
            continue;
        const CurveFit fit = fitModel(observations, model, settings).fit;
        // Failing, a curve found but showing no effect of the dose says more than none found.
        if (fit.ok() ? !best.ok() || fit.aic < best.aic
                     : best.reason == NotEstimable::TooFewDoses ||
                           (!best.ok() && fit.reason == NotEstimable::NoDoseEffect))
            best = fit;
    }
    if (!best.ok() && best.reason != NotEstimable::TooFewDoses && plateauAtEveryDose(observations))
        best.reason = NotEstimable::PlateauAtEveryDose;
    return best;
}

QVector<CurveFit> fitLogLogisticGroups(const QVector<QVector<DoseObservation>>& groups,
                                       const FitSettings& settings) {
    QVector<CurveFit> counted;
    for (const QVector<DoseObservation>& group : groups) {
        counted << described(group, settings);
        counted.last().reason = refusal(counted.last(), settings);
    }
    // The models every group that can be fitted at all supports.
    QVector<LogLogisticModel> models;
    for (const LogLogisticModel model : settings.models) {
        bool all = true;
        for (const CurveFit& c : std::as_const(counted))
            all = all && (!c.ok() || supports(c, model, settings));
        if (all)
            models << model;
    }
    if (models.isEmpty() && !settings.models.isEmpty())
        models << settings.models.first();

    // Each model fitted to every group; the one that fits the most groups, then of lowest joint
    // AIC, kept.
    QVector<ModelFit> best;
    int bestFitted = -1;
    double bestAic = kInf;
    QVector<bool> bestGroups;
    for (const LogLogisticModel model : models) {
        QVector<ModelFit> fits;
        double rss = 0;
        int n = 0, p = 0, fitted = 0;
        for (int g = 0; g < groups.size(); ++g) {
            ModelFit m;
            if (counted[g].ok() && supports(counted[g], model, settings)) {
                m = fitModel(groups[g], model, settings);
            } else {
                m.fit = counted[g];
                m.fit.model = model;
                if (m.fit.ok())
                    m.fit.reason = NotEstimable::TooFewDoses;
            }
            if (m.fit.ok()) {
                rss += m.fit.rss;
                n += m.fit.observations;
                p += m.fit.parameters.size();
                ++fitted;
            }
            fits << m;
        }
        QVector<bool> fittedGroups;
        for (const ModelFit& m : fits)
            fittedGroups << m.fit.ok();
        const double logLik = -0.5 * n * (std::log(2 * kPi) + std::log(rss / n) + 1);
        const double aic = 2 * (p + 1) - 2 * logLik;
        for (ModelFit& m : fits) {
            if (!m.fit.ok())
                continue;
            m.fit.df = n - p;
            m.fit.residualSe = std::sqrt(rss / (n - p));
            m.fit.logLik = logLik;
            m.fit.aic = aic;
            setClassicalCovariance(m, rss / (n - p));
        }
        // AICs compare fits of the same data only: the same groups fitted.
        if (fitted > bestFitted ||
            (fitted == bestFitted && fitted > 0 && fittedGroups == bestGroups && aic < bestAic)) {
            best = fits;
            bestFitted = fitted;
            bestAic = aic;
            bestGroups = fittedGroups;
        }
    }
    QVector<CurveFit> result;
    for (int g = 0; g < groups.size(); ++g)
        result << (best.isEmpty() ? counted[g] : best[g].fit);
    return result;
}

} // namespace grelavo
