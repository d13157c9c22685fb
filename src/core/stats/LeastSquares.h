#pragma once

#include "DoseResponseFit.h"
#include "LogLogisticCurve.h"

#include <QVector>
#include <limits>

// The least-squares search for one model's curve: the sum of squares it lowers, Levenberg-
// Marquardt from a start, and the starts it is tried from.
namespace grelavo::fitting {

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
            const Parameters& fixedValues);

    Parameters natural(const QVector<double>& theta) const;
    QVector<double> theta(const Parameters& p) const;
    double rss(const Parameters& p) const;
};

// Steps of the optimiser from every starting point, then for the best ones.
constexpr int kFirstSteps = 60;
constexpr int kMostSteps = 1000;

struct Optimum {
    bool converged = false;
    Parameters p{};
    double rss = std::numeric_limits<double>::infinity();
};

// Levenberg-Marquardt with Marquardt's scaling. Converged when the Gauss-Newton step's share of
// the residuals (the relative offset of Bates and Watts) is negligible.
Optimum levenbergMarquardt(const Problem& problem, const Parameters& start, int iterations);

// Starting points: limits from the responses, b of both signs, e from the median dose and from
// the straight line of ln((d - y) / (y - c)) on ln x.
QVector<Parameters> startingPoints(const QVector<DoseObservation>& observations,
                                   LogLogisticModel model, const FitSettings& settings);

} // namespace grelavo::fitting
