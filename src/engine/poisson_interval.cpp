#include "engine/poisson_interval.h"

#include <cmath>
#include <limits>

namespace ravelin {

namespace {
constexpr int kMaxTerms = 1000000;
constexpr double kEpsilon = 1e-15;

// log of x^a e^-x / Gamma(a), the factor both expansions share.
double logPrefactor(double a, double x) { return a * std::log(x) - x - std::lgamma(a); }

// P(a, x) by its power series; converges for any x, quickly while x < a + 1.
double gammaPSeries(double a, double x) {
    double term = 1.0 / a, sum = term;
    for (int n = 1; n < kMaxTerms; ++n) {
        term *= x / (a + n);
        sum += term;
        if (std::fabs(term) < std::fabs(sum) * kEpsilon) break;
    }
    return sum * std::exp(logPrefactor(a, x));
}

// Q(a, x) = 1 - P(a, x) by its continued fraction (modified Lentz), for x >= a + 1.
double gammaQFraction(double a, double x) {
    const double tiny = std::numeric_limits<double>::min() / kEpsilon;
    double b = x + 1.0 - a, c = 1.0 / tiny, d = 1.0 / b, h = d;
    for (int i = 1; i < kMaxTerms; ++i) {
        const double an = -i * (i - a);
        b += 2.0;
        d = an * d + b;
        if (std::fabs(d) < tiny) d = tiny;
        c = b + an / c;
        if (std::fabs(c) < tiny) c = tiny;
        d = 1.0 / d;
        const double delta = d * c;
        h *= delta;
        if (std::fabs(delta - 1.0) < kEpsilon) break;
    }
    return std::exp(logPrefactor(a, x)) * h;
}
}  // namespace

double regularisedGammaP(double a, double x) {
    if (!(x > 0.0)) return 0.0;
    if (x < a + 1.0) return gammaPSeries(a, x);
    return 1.0 - gammaQFraction(a, x);
}

double chiSquareQuantile(double p, double dof) {
    const double a = dof / 2.0;
    const auto cdf = [a](double x) { return regularisedGammaP(a, x / 2.0); };
    // Start from the Wilson-Hilferty approximation, the normal quantile by Abramowitz and
    // Stegun 26.2.23: a few Newton steps then reach full precision.
    const double tail = p < 0.5 ? p : 1.0 - p;
    const double t = std::sqrt(-2.0 * std::log(tail));
    double z = t - (2.515517 + 0.802853 * t + 0.010328 * t * t) /
                       (1.0 + 1.432788 * t + 0.189269 * t * t + 0.001308 * t * t * t);
    if (p < 0.5) z = -z;
    const double h = 2.0 / (9.0 * dof);
    const double cube = 1.0 - h + z * std::sqrt(h);
    double x = cube > 0.0 ? dof * cube * cube * cube : dof * 1e-3;
    // Newton steps inside a bracket [lo, hi] that every evaluation narrows; a step that
    // would leave it halves the bracket instead (or doubles x while there is no upper end).
    double lo = 0.0, hi = std::numeric_limits<double>::infinity();
    for (int i = 0; i < 200; ++i) {
        const double f = cdf(x) - p;
        if (f < 0.0)
            lo = x;
        else
            hi = x;
        const double logDensity = (a - 1.0) * std::log(x / 2.0) - x / 2.0 - std::lgamma(a) - std::log(2.0);
        const double density = std::exp(logDensity);
        double next = density > 0.0 ? x - f / density : lo;
        if (!(next > lo && next < hi)) next = std::isinf(hi) ? 2.0 * x : (lo + hi) / 2.0;
        if (std::fabs(next - x) <= 1e-14 * x || (std::isfinite(hi) && hi - lo <= 1e-14 * hi)) return next;
        x = next;
    }
    return x;
}

CountInterval garwoodInterval(std::int64_t counts) {
    const double n = static_cast<double>(counts);
    const double low = counts <= 0 ? 0.0 : chiSquareQuantile(0.025, 2.0 * n) / 2.0;
    const double high = chiSquareQuantile(0.975, 2.0 * n + 2.0) / 2.0;
    return CountInterval{low, high};
}

}  // namespace ravelin
