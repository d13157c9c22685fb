// Levenberg-Marquardt least squares of a log-logistic curve, over the distinct doses, from
// several starting points.

#include "LeastSquares.h"

#include "SmallMatrix.h"

#include <QHash>
#include <QMap>
#include <algorithm>
#include <cmath>

namespace grelavo::fitting {

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// The Gauss-Newton normal equations at p, on the optimiser's scale (ln e for e): J'J and J'r.
struct NormalEquations {
    Matrix a;
    QVector<double> g;
};

NormalEquations normalEquations(const Problem& problem, const Parameters& p) {
    const int m = problem.free.size();
    NormalEquations eq{Matrix(m * m, 0.0), QVector<double>(m, 0.0)};
    for (const Problem::Level& l : problem.levels) {
        const Point pt = evaluate(p, l.dose, false);
        const double r = l.mean - pt.f;
        double j[4];
        for (int k = 0; k < m; ++k)
            j[k] = pt.grad[problem.free[k]] * (problem.free[k] == E ? p[E] : 1.0);
        for (int k = 0; k < m; ++k) {
            eq.g[k] += l.count * j[k] * r;
            for (int q = 0; q < m; ++q)
                eq.a[k * m + q] += l.count * j[k] * j[q];
        }
    }
    return eq;
}

// The offset: the share of the residuals the linearised model could still take away (of n
// responses, m free parameters).
double relativeOffset(const NormalEquations& eq, int m, int n, double rss) {
    Matrix l = eq.a;
    if (!cholesky(l, m))
        return kInf;
    const QVector<double> step = choleskySolve(l, m, eq.g);
    double explained = 0;
    for (int k = 0; k < m; ++k)
        explained += step[k] * eq.g[k];
    const double left = std::max(rss - explained, 0.0);
    return left > 0 ? std::sqrt(explained / m) / std::sqrt(left / (n - m)) : kInf;
}

// Marquardt's damped step: lambda raised until a step lowers the sum of squares, then lowered
// for the next. Moves theta, p and rss and returns true; false when no step lowers it.
bool dampedStep(const Problem& problem, const NormalEquations& eq, QVector<double>& theta,
                Parameters& p, double& rss, double& lambda) {
    const int m = problem.free.size();
    while (lambda < 1e12) {
        Matrix damped = eq.a;
        for (int k = 0; k < m; ++k)
            damped[k * m + k] += lambda * eq.a[k * m + k] + 1e-300;
        Matrix lf = damped;
        if (cholesky(lf, m)) {
            const QVector<double> step = choleskySolve(lf, m, eq.g);
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
                return true;
            }
        }
        lambda *= 10;
    }
    return false;
}

double median(QVector<double> values) {
    std::sort(values.begin(), values.end());
    const int n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

Problem::Problem(const QVector<DoseObservation>& observations, QVector<int> freeParameters,
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

Parameters Problem::natural(const QVector<double>& theta) const {
    Parameters p = fixed;
    for (int k = 0; k < free.size(); ++k)
        p[free[k]] = free[k] == E ? std::exp(theta[k]) : theta[k];
    return p;
}

QVector<double> Problem::theta(const Parameters& p) const {
    QVector<double> t(free.size());
    for (int k = 0; k < free.size(); ++k)
        t[k] = free[k] == E ? std::log(p[free[k]]) : p[free[k]];
    return t;
}

double Problem::rss(const Parameters& p) const {
    double s = within;
    for (const Level& l : levels) {
        const double r = l.mean - evaluate(p, l.dose, false).f;
        s += l.count * r * r;
    }
    return s;
}

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
        const NormalEquations eq = normalEquations(problem, p);
        const double offset = relativeOffset(eq, m, n, rss);
        const bool perfect = rss <= 1e-28 * scaleOfY;
        if (offset < 1e-8 || perfect) {
            result.converged = true;
            break;
        }
        if (!dampedStep(problem, eq, theta, p, rss, lambda)) {
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

} // namespace grelavo::fitting
