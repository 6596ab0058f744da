// The natural cubic spline with unit spacing through up to MaxWindow values,
// the one-dimensional piece of the window spline (grid/WindowSpline.hpp). Every
// stored intermediate is rounded to float32 and all arithmetic is float64, in
// the order written, so results are bit-exact. Internal to the grid layer, its
// tests and benchmarks; pure and thread-safe.
#pragma once

#include <array>
#include <cmath>

#include "grid/Interpolation.hpp"

namespace tessmar {

// Spline work arrays, indexed 1 .. MaxWindow like the node window.
using TSplineArray = std::array<float, MaxWindow + 1>;

// Fills R (and the elimination factors Q) from Y[1..n]: second derivatives of the
// natural cubic spline with unit spacing.
void SplineInit(int n, const TSplineArray& Y, TSplineArray& R, TSplineArray& Q);
// The spline through Y[1..n] at abscissa t (node k at k); linear beyond the ends.
double SplineValue(int n, double t, const TSplineArray& Y, const TSplineArray& R);

// The same two, written once over lanes: Wide is double and Store float for
// one spline, or vectors of several splines (one per lane) that all take the
// same float64 operations in the same order, so each lane's result is the bits
// the one-spline form gives.
namespace lanes {
// Sixteen splines at a time: on x86-64's SSE2 eight pairs, whose divisions overlap.
constexpr int Count = 16;
using TWideN = double __attribute__((vector_size(8 * Count)));
using TStoreN = float __attribute__((vector_size(4 * Count)));

// The rows of one window side by side, one per lane (at most MaxWindow used).
using TWide8 = double __attribute__((vector_size(64)));
using TStore8 = float __attribute__((vector_size(32)));

inline double Wide(float v) { return static_cast<double>(v); }
inline TWideN Wide(TStoreN v) { return __builtin_convertvector(v, TWideN); }
inline TWide8 Wide(TStore8 v) { return __builtin_convertvector(v, TWide8); }
inline float Store(double v) { return static_cast<float>(v); }
inline TStoreN Store(TWideN v) { return __builtin_convertvector(v, TStoreN); }
inline TStore8 Store(TWide8 v) { return __builtin_convertvector(v, TStore8); }

template <class Store>
using TArray = std::array<Store, MaxWindow + 1>;

// The elimination factors Q[n][k] and pivots P[n][k] of the unit-spacing
// natural spline: they depend on k and n alone.
struct TElimination {
  std::array<TSplineArray, MaxWindow + 1> Q{};
  std::array<std::array<double, MaxWindow + 1>, MaxWindow + 1> P{};
  TElimination();
};
extern const TElimination Elimination;

// Each stored value is widened once (widening is exact), not at every use.
template <class Store>
void SplineInit(int n, const TArray<Store>& Y, TArray<Store>& R) {
  using TWide = decltype(Wide(Y[1]));
  const TSplineArray& q = Elimination.Q[n];
  const auto& p = Elimination.P[n];
  std::array<TWide, MaxWindow + 1> y, r;
#pragma GCC unroll 8
  for (int k = 1; k <= n; ++k) y[k] = Wide(Y[k]);
  R[1] = Store{};
  r[1] = TWide{};
#pragma GCC unroll 8
  for (int k = 2; k <= n - 1; ++k) {
    R[k] = lanes::Store((3 * ((y[k + 1] - 2 * y[k]) + y[k - 1]) - r[k - 1] / 2) / p[k]);
    r[k] = Wide(R[k]);
  }
  R[n] = Store{};
  TWide next{};  // R[k + 1], widened
#pragma GCC unroll 8
  for (int k = n - 1; k >= 2; --k) {
    R[k] = lanes::Store(Wide(q[k]) * next + r[k]);
    next = Wide(R[k]);
  }
}

// For t not NaN.
template <class Store>
auto SplineValue(int n, double t, const TArray<Store>& Y, const TArray<Store>& R) {
  if (t < 1) return Wide(Y[1]) + (t - 1) * (Wide(Y[2]) - Wide(Y[1]) - Wide(R[2]) / 6);
  if (t > n) return Wide(Y[n]) + (t - n) * (Wide(Y[n]) - Wide(Y[n - 1]) + Wide(R[n - 1]) / 6);
  const auto j = static_cast<int>(std::floor(t));
  if (j >= n) return Wide(Y[n]);  // t = n exactly: there is no node n + 1
  const double u = t - j;
  const auto yj = Wide(Y[j]), yk = Wide(Y[j + 1]), rj = Wide(R[j]), rk = Wide(R[j + 1]);
  return yj + u * ((((yk - yj) - rj / 3) - rk / 6) + u * (rj / 2 + (u * (rk - rj)) / 6));
}

// SplineValue of each lane at its own abscissa j + u[l], every one in
// [j, j + 1) with 1 <= j < n: the same operations, side by side.
inline TWideN SplineValueBetween(int j, TWideN u, const TArray<TStoreN>& Y, const TArray<TStoreN>& R) {
  const auto yj = Wide(Y[j]), yk = Wide(Y[j + 1]), rj = Wide(R[j]), rk = Wide(R[j + 1]);
  return yj + u * ((((yk - yj) - rj / 3) - rk / 6) + u * (rj / 2 + (u * (rk - rj)) / 6));
}
}  // namespace lanes

}  // namespace tessmar
