#include "stats/spc_constants.h"

#include <cmath>

namespace trevolo {

namespace {

struct RangeFactors {
    double d2;
    double d3;
};

// d₂ and d₃ for n = 2..25, as printed to three decimals in the standard
// table of control chart factors (ASTM Manual on Presentation of Data and
// Control Chart Analysis, reproduced in Montgomery, Introduction to
// Statistical Quality Control, Appendix VI, and in JIS Z 9020-2). The values
// agree with a numerical integration of the range distribution of normal
// values to the printed digit.
constexpr RangeFactors kRangeTable[kMaxRangeN - kMinRangeN + 1] = {
    {1.128, 0.853},  // n = 2
    {1.693, 0.888},  // 3
    {2.059, 0.880},  // 4
    {2.326, 0.864},  // 5
    {2.534, 0.848},  // 6
    {2.704, 0.833},  // 7
    {2.847, 0.820},  // 8
    {2.970, 0.808},  // 9
    {3.078, 0.797},  // 10
    {3.173, 0.787},  // 11
    {3.258, 0.778},  // 12
    {3.336, 0.770},  // 13
    {3.407, 0.763},  // 14
    {3.472, 0.756},  // 15
    {3.532, 0.750},  // 16
    {3.588, 0.744},  // 17
    {3.640, 0.739},  // 18
    {3.689, 0.734},  // 19
    {3.735, 0.729},  // 20
    {3.778, 0.724},  // 21
    {3.819, 0.720},  // 22
    {3.858, 0.716},  // 23
    {3.895, 0.712},  // 24
    {3.931, 0.708},  // 25
};

bool InTable(int n) noexcept
{
    return n >= kMinRangeN && n <= kMaxRangeN;
}

}  // namespace

double ConstD2(int n) noexcept
{
    return InTable(n) ? kRangeTable[n - kMinRangeN].d2 : 0.0;
}

double ConstD3(int n) noexcept
{
    return InTable(n) ? kRangeTable[n - kMinRangeN].d3 : 0.0;
}

double ConstC4(int n) noexcept
{
    if (n < 2)
        return 0.0;
    // Through the logarithm of the gamma function, so large n does not
    // overflow: c₄ = √(2/(n−1)) · exp(lnΓ(n/2) − lnΓ((n−1)/2)).
    const double half = n / 2.0;
    return std::sqrt(2.0 / (n - 1)) * std::exp(std::lgamma(half) - std::lgamma(half - 0.5));
}

double ConstA2(int n) noexcept
{
    // Montgomery, Appendix VI: A₂ = 3/(d₂√n).
    return InTable(n) ? 3.0 / (ConstD2(n) * std::sqrt(static_cast<double>(n))) : 0.0;
}

double ConstD4(int n) noexcept
{
    // Montgomery, Appendix VI: D₄ = 1 + 3d₃/d₂.
    return InTable(n) ? 1.0 + 3.0 * ConstD3(n) / ConstD2(n) : 0.0;
}

double ConstA3(int n) noexcept
{
    // NIST/SEMATECH e-Handbook 6.3.2.1: A₃ = 3/(c₄√n).
    return n >= 2 ? 3.0 / (ConstC4(n) * std::sqrt(static_cast<double>(n))) : 0.0;
}

double ConstB4(int n) noexcept
{
    // NIST/SEMATECH e-Handbook 6.3.2.1: B₄ = 1 + 3√(1 − c₄²)/c₄.
    if (n < 2)
        return 0.0;
    const double c4 = ConstC4(n);
    return 1.0 + 3.0 * std::sqrt(1.0 - c4 * c4) / c4;
}

double ConstE2() noexcept
{
    // The moving range of two values: E₂ = 3/d₂(2) = 3/1.128.
    return 3.0 / ConstD2(2);
}

}  // namespace trevolo
