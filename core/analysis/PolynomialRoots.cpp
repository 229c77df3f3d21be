#include "core/analysis/PolynomialRoots.h"

#include <cmath>

namespace {

using Complex = std::complex<double>;

// std::abs and the complex division take the careful, slow way round
// overflow (hypot, scaling); the values here are near the unit circle.
double magnitude(Complex z) { return std::sqrt(z.real() * z.real() + z.imag() * z.imag()); }

Complex divide(Complex a, Complex b)
{
    const double scale = 1.0 / (b.real() * b.real() + b.imag() * b.imag());
    return Complex((a.real() * b.real() + a.imag() * b.imag()) * scale, (a.imag() * b.real() - a.real() * b.imag()) * scale);
}

// One root of the monic-or-not polynomial p (highest power first) near x.
bool laguerre(const std::vector<double>& p, size_t degree, Complex& x)
{
    const double n = static_cast<double>(degree);
    static const double breakCycle[] = {0.5, 0.25, 0.75, 0.13, 0.38, 0.62, 0.88, 1.0};
    for (int iteration = 1; iteration <= 80; ++iteration) {
        Complex b = p[0], d = 0.0, f = 0.0;
        double error = std::fabs(p[0]);
        const double ax = magnitude(x);
        for (size_t j = 1; j <= degree; ++j) {
            f = x * f + d;
            d = x * d + b;
            b = x * b + p[j];
            error = std::fabs(p[j]) + ax * error;  // a bound on the rounding in b
        }
        const double size = magnitude(b);
        if (size <= 1e-15 * error) return true;  // as good as rounding allows
        const Complex g = divide(d, b);
        const Complex g2 = g * g;
        const Complex h = g2 - 2.0 * divide(f, b);
        const Complex root = std::sqrt((n - 1.0) * (n * h - g2));
        const Complex plus = g + root, minus = g - root;
        const double plusSize = magnitude(plus), minusSize = magnitude(minus);
        const Complex denominator = plusSize >= minusSize ? plus : minus;
        const Complex dx = std::max(plusSize, minusSize) > 0.0 ? divide(Complex(n, 0.0), denominator)
                                                              : (1.0 + ax) * Complex(std::cos(iteration), std::sin(iteration));
        const Complex next = x - dx;
        if (next == x) return true;
        // An occasional fractional step breaks the rare limit cycle.
        x = iteration % 10 ? next : x - breakCycle[(iteration / 10) % 8] * dx;
        if (magnitude(dx) <= 1e-14 * magnitude(x)) return true;
    }
    return false;
}

// Newton steps on the original polynomial, each kept only if it lowers |p|.
void polishNewton(const std::vector<double>& p, Complex& x)
{
    auto evaluate = [&p](Complex at, Complex& derivative) {
        Complex b = p[0], d = 0.0;
        for (size_t j = 1; j < p.size(); ++j) {
            d = at * d + b;
            b = at * b + p[j];
        }
        derivative = d;
        return b;
    };
    Complex d;
    Complex value = evaluate(x, d);
    for (int i = 0; i < 3 && magnitude(d) > 0.0; ++i) {
        const Complex next = x - divide(value, d);
        Complex nextD;
        const Complex nextValue = evaluate(next, nextD);
        if (!(magnitude(nextValue) < magnitude(value))) return;
        x = next;
        value = nextValue;
        d = nextD;
    }
}

}  // namespace

std::vector<std::complex<double>> polynomialRoots(const std::vector<double>& coefficients)
{
    std::vector<Complex> roots;
    if (coefficients.empty() || coefficients[0] == 0.0) return roots;
    for (double c : coefficients)
        if (!std::isfinite(c)) return roots;
    std::vector<double> p = coefficients;  // deflated as roots are found
    size_t degree = p.size() - 1;
    roots.reserve(degree);
    while (degree > 0) {
        if (degree == 1) {
            roots.emplace_back(-p[1] / p[0], 0.0);
            break;
        }
        Complex x = 0.0;
        if (!laguerre(p, degree, x)) break;
        if (std::fabs(x.imag()) <= 1e-12 * magnitude(x) || degree < 2) {
            const double root = x.real();
            roots.emplace_back(root, 0.0);
            for (size_t j = 1; j <= degree; ++j) p[j] += root * p[j - 1];  // divide by (z - root)
            p.resize(degree);
            degree -= 1;
        } else {
            roots.push_back(x);
            roots.push_back(std::conj(x));
            // Divide by z^2 - s z + q, the pair's quadratic.
            const double s = 2.0 * x.real(), q = std::norm(x);
            for (size_t j = 1; j + 2 <= degree; ++j) {
                p[j] += s * p[j - 1];
                if (j >= 2) p[j] -= q * p[j - 2];
            }
            p.resize(degree - 1);
            degree -= 2;
        }
    }
    for (Complex& root : roots) polishNewton(coefficients, root);
    return roots;
}
