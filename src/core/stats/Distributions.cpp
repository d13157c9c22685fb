#include "Distributions.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace grelavo {

namespace {

// The regularised incomplete beta function I_x(a, b) by its continued fraction (Lentz).
double betaContinuedFraction(double a, double b, double x) {
    const double tiny = 1e-300;
    double c = 1, d = 1 - (a + b) * x / (a + 1);
    if (std::abs(d) < tiny)
        d = tiny;
    d = 1 / d;
    double h = d;
    for (int m = 1; m <= 1000; ++m) {
        const double m2 = 2.0 * m;
        double aa = m * (b - m) * x / ((a + m2 - 1) * (a + m2));
        d = 1 + aa * d;
        d = std::abs(d) < tiny ? 1 / tiny : 1 / d;
        c = 1 + aa / c;
        if (std::abs(c) < tiny)
            c = tiny;
        h *= d * c;
        aa = -(a + m) * (a + b + m) * x / ((a + m2) * (a + m2 + 1));
        d = 1 + aa * d;
        d = std::abs(d) < tiny ? 1 / tiny : 1 / d;
        c = 1 + aa / c;
        if (std::abs(c) < tiny)
            c = tiny;
        const double delta = d * c;
        h *= delta;
        if (std::abs(delta - 1) < 1e-16)
            break;
    }
    return h;
}

double incompleteBeta(double a, double b, double x) {
    if (x <= 0)
        return 0;
    if (x >= 1)
        return 1;
    const double front = std::exp(std::lgamma(a + b) - std::lgamma(a) - std::lgamma(b) +
                                  a * std::log(x) + b * std::log1p(-x));
    if (x < (a + 1) / (a + b + 2))
        return front * betaContinuedFraction(a, b, x) / a;
    return 1 - front * betaContinuedFraction(b, a, 1 - x) / b;
}

// P(T > t) for t >= 0.
double studentUpperTail(double t, double df) {
    return 0.5 * incompleteBeta(df / 2, 0.5, df / (df + t * t));
}

} // namespace

// P(F > f) for Fisher's F with q and df degrees of freedom.
double fisherUpperTail(double f, double q, double df) {
    return incompleteBeta(df / 2, q / 2, df / (df + q * f));
}

double studentQuantile(double p, double df) {
    if (!(p > 0 && p < 1) || !(df > 0))
        return kNaN;
    if (p < 0.5)
        return -studentQuantile(1 - p, df);
    if (p == 0.5)
        return 0;
    const double tail = 1 - p;
    double low = 0, high = 1;
    while (studentUpperTail(high, df) > tail && high < 1e300)
        high *= 2;
    for (int i = 0; i < 2000 && high - low > 1e-15 * high; ++i) {
        const double mid = (low + high) / 2;
        if (studentUpperTail(mid, df) > tail)
            low = mid;
        else
            high = mid;
    }
    return (low + high) / 2;
}

double normalQuantile(double p) {
    if (!(p > 0 && p < 1))
        return p == 0 ? -kInf : p == 1 ? kInf : kNaN;
    // Acklam's rational approximation, then one Halley step on erfc.
    static const double a[] = {-3.969683028665376e+01, 2.209460984245205e+02,
                               -2.759285104469687e+02, 1.383577518672690e+02,
                               -3.066479806614716e+01, 2.506628277459239e+00};
    static const double b[] = {-5.447609879822406e+01, 1.615858368580409e+02,
                               -1.556989798598866e+02, 6.680131188771972e+01,
                               -1.328068155288572e+01};
    static const double c[] = {-7.784894002430293e-03, -3.223964580411365e-01,
                               -2.400758277161838e+00, -2.549732539343734e+00,
                               4.374664141464968e+00,  2.938163982698783e+00};
    static const double d[] = {7.784695709041462e-03, 3.224671290700398e-01, 2.445134137142996e+00,
                               3.754408661907416e+00};
    const double low = 0.02425;
    double x = 0;
    if (p < low || p > 1 - low) {
        const double q = std::sqrt(-2 * std::log(p < low ? p : 1 - p));
        x = (((((c[0] * q + c[1]) * q + c[2]) * q + c[3]) * q + c[4]) * q + c[5]) /
            ((((d[0] * q + d[1]) * q + d[2]) * q + d[3]) * q + 1);
        if (p > 1 - low)
            x = -x;
    } else {
        const double q = p - 0.5;
        const double r = q * q;
        x = (((((a[0] * r + a[1]) * r + a[2]) * r + a[3]) * r + a[4]) * r + a[5]) * q /
            (((((b[0] * r + b[1]) * r + b[2]) * r + b[3]) * r + b[4]) * r + 1);
    }
    const double e = 0.5 * std::erfc(-x / std::sqrt(2.0)) - p;
    const double u = e * std::sqrt(2 * kPi) * std::exp(x * x / 2);
    return x - u / (1 + x * u / 2);
}

ProportionEstimate wilsonInterval(int successes, int total, double confidence) {
    ProportionEstimate estimate;
    estimate.successes = successes;
    estimate.total = total;
    if (total <= 0) {
        estimate.share = kNaN;
        estimate.lower = 0;
        estimate.upper = 1;
        return estimate;
    }
    const double n = total;
    const double share = successes / n;
    const double z = normalQuantile(1 - (1 - confidence) / 2);
    const double z2 = z * z;
    const double centre = (share + z2 / (2 * n)) / (1 + z2 / n);
    const double half = z / (1 + z2 / n) * std::sqrt(share * (1 - share) / n + z2 / (4 * n * n));
    estimate.share = share;
    estimate.lower = successes <= 0 ? 0.0 : std::max(0.0, centre - half);
    estimate.upper = successes >= total ? 1.0 : std::min(1.0, centre + half);
    return estimate;
}

} // namespace grelavo
