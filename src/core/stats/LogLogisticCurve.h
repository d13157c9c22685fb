#pragma once

#include "DoseResponseFit.h"

#include <QVector>
#include <array>

// The log-logistic curve itself, shared by the optimiser, the fit and the effective doses: its
// parameters, which of them a model leaves free, and its value with its derivatives at a dose.
namespace grelavo::fitting {

// The natural parameters, always in this order.
enum Parameter { B = 0, C = 1, D = 2, E = 3 };
using Parameters = std::array<double, 4>;
extern const char* const kNames[4]; // "b", "c", "d", "e"

QVector<int> freeParameters(LogLogisticModel model);
int parameterCount(LogLogisticModel model);

// The curve at a dose with its gradient and, on request, its Hessian with respect to b, c, d
// and e. With g = 1 / (1 + exp(t)), t = b (ln x - ln e): f = c + (d - c) g, dg/dt = -g (1 - g),
// d2g/dt2 = g (1 - g) (1 - 2 g). At dose 0 the curve is its limit and only c or d moves it.
struct Point {
    double f = 0;
    double grad[4] = {0, 0, 0, 0};
    double hess[4][4] = {};
};

Point evaluate(const Parameters& p, double x, bool second);

} // namespace grelavo::fitting
