// The log-logistic curve's value, gradient and Hessian at a dose.

#include "LogLogisticCurve.h"

#include <cmath>

namespace grelavo::fitting {

const char* const kNames[4] = {"b", "c", "d", "e"};

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

int parameterCount(LogLogisticModel model) {
    return freeParameters(model).size();
}

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

} // namespace grelavo::fitting
