#include "DetMath.h"

#include <cmath>
#include <limits>

namespace grelavo::makedb::detmath {

namespace {

constexpr double Ln2 = 0.693147180559945309417232121458176568;

} // namespace

double round(double x) {
    // std::floor and std::ceil are exact operations.
    return x < 0 ? -std::floor(-x + 0.5) : std::floor(x + 0.5);
}

double exp(double x) {
    if (std::isnan(x))
        return x;
    if (x > 709.8)
        return std::numeric_limits<double>::infinity();
    if (x < -745.2)
        return 0.0;
    // x = k ln 2 + r with |r| <= ln 2 / 2, then e^r by its Taylor series.
    const double k = round(x / Ln2);
    const double r = x - k * Ln2;
    double term = 1.0;
    double sum = 1.0;
    for (int n = 1; n <= 27; ++n) {
        term = term * r / n;
        sum += term;
    }
    return std::ldexp(sum, static_cast<int>(k));
}

double log(double x) {
    if (std::isnan(x) || x < 0)
        return std::numeric_limits<double>::quiet_NaN();
    if (x == 0)
        return -std::numeric_limits<double>::infinity();
    if (std::isinf(x))
        return x;
    // x = m 2^e with m in [sqrt(1/2), sqrt(2)); ln m = 2 atanh(t), t = (m - 1) / (m + 1).
    int e = 0;
    double m = std::frexp(x, &e); // m in [0.5, 1)
    if (m < 0.70710678118654752440) {
        m *= 2.0;
        --e;
    }
    const double t = (m - 1.0) / (m + 1.0);
    const double t2 = t * t;
    double power = t;
    double sum = 0.0;
    for (int n = 1; n <= 41; n += 2) {
        sum += power / n;
        power *= t2;
    }
    return 2.0 * sum + e * Ln2;
}

double pow(double x, double y) {
    return exp(y * log(x));
}

} // namespace grelavo::makedb::detmath
