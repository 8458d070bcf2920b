// The exact (Garwood) confidence interval of a Poisson mean from one count, and the
// chi-square quantile it is built on; no library beyond <cmath>.
#pragma once

#include <cstdint>

namespace ravelin {

// The regularised lower incomplete gamma function P(a, x), a > 0, x >= 0.
double regularisedGammaP(double a, double x);

// The x with P(chi-square with `dof` degrees of freedom <= x) = p, 0 < p < 1, dof > 0.
double chiSquareQuantile(double p, double dof);

// Bounds of a mean, in the unit of the count it came from.
struct CountInterval {
    double low;
    double high;
};

// The two-sided 95 % interval of the mean behind `counts` events:
// [chi2(0.025; 2n) / 2, chi2(0.975; 2n + 2) / 2], the lower bound 0 when n = 0.
CountInterval garwoodInterval(std::int64_t counts);

}  // namespace ravelin
