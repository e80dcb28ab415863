#pragma once
// The constants of the Shewhart control charts for lots of n values, the
// basis of the coefficient method (X̄-R, X̄-S, X-Rs limits) and of the within-
// lot standard deviation of the capability study.
//
// d₂ and d₃ (mean and standard deviation of the range of n standard normal
// values) are taken from the standard table for n = 2..25; c₄ (the bias of
// the sample standard deviation) is computed from its gamma-function
// formula for any n ≥ 2. The factors are derived from them as qcc and the
// NIST/SEMATECH e-Handbook derive them, so they carry the precision of the
// table rather than the rounding of a printed factor table.
namespace trevolo {

// The lot sizes the range table covers.
inline constexpr int kMinRangeN = 2;
inline constexpr int kMaxRangeN = 25;

// d₂(n) and d₃(n) for kMinRangeN ≤ n ≤ kMaxRangeN; 0 outside.
double ConstD2(int n) noexcept;
double ConstD3(int n) noexcept;
// c₄(n) = √(2/(n−1)) · Γ(n/2) / Γ((n−1)/2) for n ≥ 2; 0 below.
double ConstC4(int n) noexcept;

// A₂ = 3/(d₂√n): X̄ limits from the mean range.
double ConstA2(int n) noexcept;
// D₄ = 1 + 3d₃/d₂: upper R limit from the mean range.
double ConstD4(int n) noexcept;
// A₃ = 3/(c₄√n): X̄ limits from the mean standard deviation.
double ConstA3(int n) noexcept;
// B₄ = 1 + 3√(1 − c₄²)/c₄: upper S limit from the mean standard deviation.
double ConstB4(int n) noexcept;
// E₂ = 3/d₂(2) = 2.6596: X limits of individuals from the mean moving range.
double ConstE2() noexcept;

}  // namespace trevolo
