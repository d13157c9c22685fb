#pragma once

#include <limits>

namespace grelavo {

// What the distributions and the fitting give where there is no value, and the unbounded.
inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
inline constexpr double kInf = std::numeric_limits<double>::infinity();
inline constexpr double kPi = 3.14159265358979323846;

// Quantiles: Student's t with df degrees of freedom (df > 0, not necessarily whole), and the
// standard normal.
double studentQuantile(double p, double df);
double normalQuantile(double p);

// A share of successes with its Wilson score interval.
struct ProportionEstimate {
    int successes = 0;
    int total = 0;
    double share = 0; // NaN when total is 0
    double lower = 0;
    double upper = 0;
};
ProportionEstimate wilsonInterval(int successes, int total, double confidence = 0.95);

// P(F > f) for Fisher's F with q and df degrees of freedom.
double fisherUpperTail(double f, double q, double df);

} // namespace grelavo
