#pragma once

#include <QVector>

// Small dense symmetric matrices, row-major, as the fit of a curve of at most four parameters
// needs them: the Cholesky factor, solving with it, the inverse, a quadratic form.
namespace grelavo::fitting {

using Matrix = QVector<double>;

// Cholesky factor in place (lower triangle); false when the matrix is not positive definite.
bool cholesky(Matrix& a, int n);
// Solves a x = v with a's Cholesky factor l.
QVector<double> choleskySolve(const Matrix& l, int n, QVector<double> v);
// The inverse of a symmetric matrix that is positive definite, judged on its correlation form
// (unit diagonal) so that the parameters' scales do not matter; empty when it is not.
Matrix positiveDefiniteInverse(const Matrix& a, int n);
// v' m v.
double quadratic(const Matrix& m, const QVector<double>& v);

} // namespace grelavo::fitting
