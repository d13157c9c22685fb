#pragma once

// Exponential and natural logarithm computed with additions, multiplications, divisions and exact
// scalings by powers of two only. The C library's exp and log may differ in their last bit from
// one platform to another; these give the same double everywhere IEEE 754 arithmetic is used
// without fused multiply-adds, so the generated database is the same on every machine.
namespace grelavo::makedb::detmath {

// e^x; 0 below about -745, infinity above about 709.
double exp(double x);
// ln x for x > 0; -infinity for 0 and NaN for negative x.
double log(double x);
// x^y for x > 0, as exp(y ln x).
double pow(double x, double y);
// Nearest integer, halves away from zero.
double round(double x);

} // namespace grelavo::makedb::detmath
