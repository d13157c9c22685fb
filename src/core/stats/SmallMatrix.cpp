// Small dense symmetric matrices: Cholesky factor, solve, inverse, quadratic form.

#include "SmallMatrix.h"

#include <cmath>

namespace grelavo::fitting {

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

} // namespace grelavo::fitting
