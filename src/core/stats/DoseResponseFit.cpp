// Log-logistic dose-response curves: Levenberg-Marquardt least squares from several starting
// points, the exact Hessian of the residual sum of squares for the covariances, the delta method
// for the effective doses, and the quantiles their intervals need.

#include "DoseResponseFit.h"

#include <QMap>
#include <QSet>
#include <algorithm>
#include <array>

namespace grelavo {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kPi = 3.14159265358979323846;

// The natural parameters, always in this order.
enum Parameter { B = 0, C = 1, D = 2, E = 3 };
using Parameters = std::array<double, 4>;
const char* const kNames[] = {"b", "c", "d", "e"};

QVector<int> freeParameters(LogLogisticModel model) {
    switch (model) {
    case LogLogisticModel::LL2:
        return {B, E};
    case LogLogisticModel::LL3:
        return {B, D, E};
    case LogLogisticModel::LL4:
        break;
    }
    return {B, C, D, E};
}

// The curve at a dose with its gradient and, on request, its Hessian with respect to b, c, d
// and e. With g = 1 / (1 + exp(t)), t = b (ln x - ln e): f = c + (d - c) g, dg/dt = -g (1 - g),
// d2g/dt2 = g (1 - g) (1 - 2 g). At dose 0 the curve is its limit and only c or d moves it.
struct Point {
    double f = 0;
    double grad[4] = {0, 0, 0, 0};
    double hess[4][4] = {};
};

Point evaluate(const Parameters& p, double x, bool second) {
    Point pt;
    const double b = p[B], c = p[C], d = p[D], e = p[E];
    if (x <= 0) {
        const double g = b > 0 ? 1.0 : b < 0 ? 0.0 : 0.5;
        pt.f = c + (d - c) * g;
        pt.grad[C] = 1 - g;
        pt.grad[D] = g;
        return pt;
    }
    const double l = std::log(x) - std::log(e);
    const double t = b * l;
    const double g = t > 0 ? std::exp(-t) / (1 + std::exp(-t)) : 1 / (1 + std::exp(t));
    const double g1 = -g * (1 - g);
    const double span = d - c;
    const double dtde = -b / e;
    pt.f = c + span * g;
    pt.grad[B] = span * g1 * l;
    pt.grad[C] = 1 - g;
    pt.grad[D] = g;
    pt.grad[E] = span * g1 * dtde;
    if (!second)
        return pt;
    const double g2 = g * (1 - g) * (1 - 2 * g);
    double(&h)[4][4] = pt.hess;
    h[B][B] = span * g2 * l * l;
    h[B][C] = -g1 * l;
    h[B][D] = g1 * l;
    h[B][E] = span * (g2 * dtde * l - g1 / e);
    h[C][E] = -g1 * dtde;
    h[D][E] = g1 * dtde;
    h[E][E] = span * (g2 * dtde * dtde + g1 * b / (e * e));
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < i; ++j)
            h[i][j] = h[j][i];
    return pt;
}

// Small dense symmetric matrices, row-major.
using Matrix = QVector<double>;

// Cholesky factor in place (lower triangle); false when the matrix is not positive definite.
bool cholesky(Matrix& a, int n) {
    for (int j = 0; j < n; ++j) {
        double s = a[j * n + j];
        for (int k = 0; k < j; ++k)
            s -= a[j * n + k] * a[j * n + k];
        if (!(s > 0) || !std::isfinite(s))
            return false;
        a[j * n + j] = std::sqrt(s);
        for (int i = j + 1; i < n; ++i) {
            double v = a[i * n + j];
            for (int k = 0; k < j; ++k)
                v -= a[i * n + k] * a[j * n + k];
            a[i * n + j] = v / a[j * n + j];
        }
    }
    return true;
}

// Solves a x = v with a's Cholesky factor l.
QVector<double> choleskySolve(const Matrix& l, int n, QVector<double> v) {
    for (int i = 0; i < n; ++i) {
        for (int k = 0; k < i; ++k)
            v[i] -= l[i * n + k] * v[k];
        v[i] /= l[i * n + i];
    }
    for (int i = n - 1; i >= 0; --i) {
        for (int k = i + 1; k < n; ++k)
            v[i] -= l[k * n + i] * v[k];
        v[i] /= l[i * n + i];
    }
    return v;
}

// The inverse of a symmetric matrix that is positive definite, judged on its correlation form
// (unit diagonal) so that the parameters' scales do not matter; empty when it is not.
Matrix positiveDefiniteInverse(const Matrix& a, int n) {
    QVector<double> scale(n);
    for (int i = 0; i < n; ++i) {
        if (!(a[i * n + i] > 0) || !std::isfinite(a[i * n + i]))
            return {};
        scale[i] = 1 / std::sqrt(a[i * n + i]);
    }
    Matrix l(n * n);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            l[i * n + j] = a[i * n + j] * scale[i] * scale[j];
    if (!cholesky(l, n))
        return {};
    for (int i = 0; i < n; ++i)
        if (l[i * n + i] * l[i * n + i] < 1e-10)
            return {};
    Matrix inverse(n * n);
    for (int j = 0; j < n; ++j) {
        QVector<double> unit(n, 0.0);
        unit[j] = 1;
        const QVector<double> column = choleskySolve(l, n, unit);
        for (int i = 0; i < n; ++i)
            inverse[i * n + j] = column[i] * scale[i] * scale[j];
    }
    return inverse;
}

double quadratic(const Matrix& m, const QVector<double>& v) {
    const int n = v.size();
    double s = 0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            s += v[i] * m[i * n + j] * v[j];
    return s;
}

// The free parameters as the optimiser moves them: e as ln e, so that it stays positive. The
// curve depends on the dose alone, so the sum of squares is taken over the distinct doses: the
// squares of each dose's responses about their mean (a constant) plus its count times the
// square of that mean less the curve. The same sum, computed once per dose instead of once per
// response: a few dozen doses however many ratings they hold.
struct Problem {
    struct Level {
        double dose = 0;
        double count = 0;
        double mean = 0;
    };
    QVector<int> free;
    Parameters fixed;
    QVector<Level> levels;
    double within = 0; // the squares of the responses about their dose's mean

    Problem(const QVector<DoseObservation>& observations, QVector<int> freeParameters,
            const Parameters& fixedValues)
        : free(std::move(freeParameters)), fixed(fixedValues) {
        QMap<double, std::pair<double, double>> sums; // dose → (count, sum)
        for (const DoseObservation& o : observations) {
            auto& [count, sum] = sums[o.dose];
            count += 1;
            sum += o.response;
        }
        for (auto it = sums.cbegin(); it != sums.cend(); ++it)
            levels.append({it.key(), it.value().first, it.value().second / it.value().first});
        QHash<double, double> meanOf;
        for (const Level& l : std::as_const(levels))
            meanOf.insert(l.dose, l.mean);
        for (const DoseObservation& o : observations) {
            const double r = o.response - meanOf.value(o.dose);
            within += r * r;
        }
    }

    Parameters natural(const QVector<double>& theta) const {
        Parameters p = fixed;
        for (int k = 0; k < free.size(); ++k)
            p[free[k]] = free[k] == E ? std::exp(theta[k]) : theta[k];
        return p;
    }
    QVector<double> theta(const Parameters& p) const {
        QVector<double> t(free.size());
        for (int k = 0; k < free.size(); ++k)
            t[k] = free[k] == E ? std::log(p[free[k]]) : p[free[k]];
        return t;
    }
    double rss(const Parameters& p) const {
        double s = within;
        for (const Level& l : levels) {
            const double r = l.mean - evaluate(p, l.dose, false).f;
            s += l.count * r * r;
        }
        return s;
    }
};

// Steps of the optimiser from every starting point, then for the best ones.
constexpr int kFirstSteps = 60;
constexpr int kMostSteps = 1000;

struct Optimum {
    bool converged = false;
    Parameters p{};
    double rss = kInf;
};

// Levenberg-Marquardt with Marquardt's scaling. Converged when the Gauss-Newton step's share of
// the residuals (the relative offset of Bates and Watts) is negligible.
Optimum levenbergMarquardt(const Problem& problem, const Parameters& start, int iterations) {
    const int m = problem.free.size();
    int n = 0;
    double scaleOfY = problem.within;
    for (const Problem::Level& l : problem.levels) {
        n += int(l.count);
        scaleOfY += l.count * l.mean * l.mean;
    }
    QVector<double> theta = problem.theta(start);
    Parameters p = problem.natural(theta);
    double rss = problem.rss(p);
    double lambda = 1e-3;
    Optimum result;
    if (!std::isfinite(rss))
        return result;

    for (int iteration = 0; iteration < iterations; ++iteration) {
        Matrix a(m * m, 0.0);
        QVector<double> g(m, 0.0);
        for (const Problem::Level& l : problem.levels) {
            const Point pt = evaluate(p, l.dose, false);
            const double r = l.mean - pt.f;
            double j[4];
            for (int k = 0; k < m; ++k)
                j[k] = pt.grad[problem.free[k]] * (problem.free[k] == E ? p[E] : 1.0);
            for (int k = 0; k < m; ++k) {
                g[k] += l.count * j[k] * r;
                for (int q = 0; q < m; ++q)
                    a[k * m + q] += l.count * j[k] * j[q];
            }
        }
        // The offset: the share of the residuals the linearised model could still take away.
        double offset = kInf;
        Matrix l = a;
        if (cholesky(l, m)) {
            const QVector<double> step = choleskySolve(l, m, g);
            double explained = 0;
            for (int k = 0; k < m; ++k)
                explained += step[k] * g[k];
            const double left = std::max(rss - explained, 0.0);
            offset = left > 0 ? std::sqrt(explained / m) / std::sqrt(left / (n - m)) : kInf;
        }
        const bool perfect = rss <= 1e-28 * scaleOfY;
        if (offset < 1e-8 || perfect) {
            result.converged = true;
            break;
        }
        bool moved = false;
        while (lambda < 1e12) {
            Matrix damped = a;
            for (int k = 0; k < m; ++k)
                damped[k * m + k] += lambda * a[k * m + k] + 1e-300;
            Matrix lf = damped;
            if (cholesky(lf, m)) {
                const QVector<double> step = choleskySolve(lf, m, g);
                QVector<double> next = theta;
                for (int k = 0; k < m; ++k)
                    next[k] += step[k];
                const Parameters np = problem.natural(next);
                const double nextRss = problem.rss(np);
                if (std::isfinite(nextRss) && nextRss < rss) {
                    theta = next;
                    p = np;
                    rss = nextRss;
                    lambda = std::max(lambda / 10, 1e-12);
                    moved = true;
                    break;
                }
            }
            lambda *= 10;
        }
        if (!moved) {
            // No step lowers the sum of squares any more: converged if nearly there.
            result.converged = offset < 1e-5;
            break;
        }
    }
    result.p = p;
    result.rss = rss;
    for (const double v : p)
        result.converged = result.converged && std::isfinite(v);
    return result;
}

double median(QVector<double> values) {
    std::sort(values.begin(), values.end());
    const int n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Starting points: limits from the responses, b of both signs, e from the median dose and from
// the straight line of ln((d - y) / (y - c)) on ln x.
QVector<Parameters> startingPoints(const QVector<DoseObservation>& observations,
                                   LogLogisticModel model, const FitSettings& settings) {
    double yMin = kInf, yMax = -kInf;
    QVector<double> positive;
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (const DoseObservation& o : observations) {
        yMin = std::min(yMin, o.response);
        yMax = std::max(yMax, o.response);
        if (o.dose > 0) {
            positive << o.dose;
            const double lx = std::log(o.dose);
            sx += lx;
            sy += o.response;
            sxx += lx * lx;
            sxy += lx * o.response;
        }
    }
    const double np = positive.size();
    const double slope = sxy - sx * sy / np;
    const double range = yMax - yMin;

    Parameters base{};
    base[C] = model == LogLogisticModel::LL4 ? yMin - 0.01 * range : settings.fixedLower;
    if (model == LogLogisticModel::LL2)
        base[D] = settings.fixedUpper;
    else
        base[D] = std::abs(yMax - base[C]) >= std::abs(yMin - base[C]) ? yMax + 0.01 * range
                                                                       : yMin - 0.01 * range;
    // A response falling with the dose towards c, or rising towards d, means b > 0 ... < 0.
    const bool towardsC = (slope < 0) == (base[D] > base[C]);
    const double sign = towardsC ? 1.0 : -1.0;
    base[E] = median(positive);

    QVector<Parameters> starts;
    // The linearised logit.
    double lx = 0, lz = 0, lxx = 0, lxz = 0;
    int used = 0;
    for (const DoseObservation& o : observations) {
        if (o.dose <= 0)
            continue;
        const double ratio = (base[D] - o.response) / (o.response - base[C]);
        if (!(ratio > 0) || !std::isfinite(ratio))
            continue;
        const double x = std::log(o.dose), z = std::log(ratio);
        lx += x;
        lz += z;
        lxx += x * x;
        lxz += x * z;
        ++used;
    }
    const double sxxLine = lxx - lx * lx / std::max(used, 1);
    if (used >= 2 && sxxLine > 0) {
        const double b = (lxz - lx * lz / used) / sxxLine;
        const double intercept = (lz - b * lx) / used;
        if (b != 0 && std::isfinite(b)) {
            Parameters p = base;
            p[B] = b;
            p[E] = std::exp(-intercept / b);
            if (std::isfinite(p[E]) && p[E] > 0)
                starts << p;
        }
    }
    const double spread = std::sqrt(std::max(sxx / np - (sx / np) * (sx / np), 0.0));
    const double eLow = std::exp(sx / np - spread), eHigh = std::exp(sx / np + spread);
    for (const double b : {1.0, 3.0, -1.0})
        for (const double e : {base[E], eLow, eHigh}) {
            Parameters p = base;
            p[B] = sign * b;
            p[E] = e;
            starts << p;
        }
    return starts;
}

int parameterCount(LogLogisticModel model) {
    return freeParameters(model).size();
}

// What fitting one model needs to keep beyond the fit itself: the inverse of half the Hessian.
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

    bool flat = true;
    for (const DoseObservation& o : observations)
        flat = flat && o.response == observations.first().response;
    if (flat) { // no dose effect: no curve to find
        m.fit.reason = NotEstimable::NoDoseEffect;
        return m;
    }

    // Every start a few steps on; then the two lowest sums of squares on to convergence (a
    // start that is still far off after those steps is not where the minimum lies).
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
    if (!best.converged)
        return m;
    Parameters p = best.p;
    // The same curve with its limits swapped: keep c as the lower limit.
    if (model == LogLogisticModel::LL4 && p[C] > p[D]) {
        std::swap(p[C], p[D]);
        p[B] = -p[B];
    }

    // Half the Hessian of the sum of squares, and the clusters' scores.
    Matrix half(k * k, 0.0);
    QMap<int, QVector<double>> scores;
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
    m.halfHessianInverse = positiveDefiniteInverse(half, k);
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

    const int groups = scores.size();
    if (fit.trials >= 2 && groups == fit.trials) {
        Matrix middle(k * k, 0.0);
        for (const QVector<double>& u : std::as_const(scores))
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
    for (const double v : fit.covariance)
        if (!std::isfinite(v))
            fit.reason = NotEstimable::NoConvergence;
    // A curve no better than a flat line through the mean is no curve: the responses show no
    // effect of the dose (F test of the curve against the mean).
    double mean = 0, flatRss = 0;
    for (const DoseObservation& o : observations)
        mean += o.response / n;
    for (const DoseObservation& o : observations)
        flatRss += (o.response - mean) * (o.response - mean);
    const int q = std::max(k - 1, 1);
    const double f = (flatRss - fit.rss) / q / (fit.rss / fit.df);
    if (!(f > 0) || (std::isfinite(f) && fisherUpperTail(f, q, fit.df) > settings.doseEffectLevel))
        fit.reason = NotEstimable::NoDoseEffect;
    // A response that falls as the dose grows, where only a rise makes sense.
    if (fit.ok() && settings.requireRising &&
        fit.value(fit.highestDose) < fit.value(fit.lowestDose))
        fit.reason = NotEstimable::NoDoseEffect;
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

double CurveFit::value(double dose) const {
    return evaluate(parametersOf(*this), dose, false).f;
}

double CurveFit::valueSe(double dose, bool robust) const {
    if (!ok())
        return kNaN;
    const Point pt = evaluate(parametersOf(*this), dose, false);
    return standardError(*this, freeGradient(*this, pt.grad), robust);
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
