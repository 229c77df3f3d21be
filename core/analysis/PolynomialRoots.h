// The roots of a polynomial with real coefficients, by Laguerre's method:
// each root found from the deflated polynomial (a complex root together with
// its conjugate, so the coefficients stay real), then polished against the
// original by a few Newton steps. Degree up to a few dozen; no allocation
// beyond the result's.
#ifndef KELVARA_POLYNOMIAL_ROOTS_H
#define KELVARA_POLYNOMIAL_ROOTS_H

#include <complex>
#include <vector>

// coefficients[0] is that of the highest power: c0 z^n + c1 z^(n-1) + ... + cn,
// c0 != 0. Gives n roots (fewer only if an iteration fails to converge, which
// a finite polynomial of low degree does not do in practice); complex roots
// come in conjugate pairs.
std::vector<std::complex<double>> polynomialRoots(const std::vector<double>& coefficients);

#endif
