// The natural cubic spline with unit spacing through up to MaxWindow values,
// the one-dimensional piece of the window spline (grid/WindowSpline.hpp). Every
// stored intermediate is rounded to float32 and all arithmetic is float64, in
// the order written, so results are bit-exact. Internal to the grid layer, its
// tests and benchmarks; pure and thread-safe.
#pragma once

#include <array>
#include <cmath>
#include <cstring>

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

// The elimination's two steps, in the order of operations that makes the
// bits: the forward step's R[k] from the values at k - 1, k, k + 1 and the
// R[k - 1] before it, and the back-substitution's from R[k + 1] (next), for
// one spline or lanes of them.
template <class TWide>
TWide ForwardStep(TWide before, TWide at, TWide after, TWide rBefore, double p) {
  return (3 * ((after - 2 * at) + before) - rBefore / 2) / p;
}
template <class TWide>
TWide BackStep(double q, TWide next, TWide r) {
  return q * next + r;
}

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
    R[k] = lanes::Store(ForwardStep(y[k - 1], y[k], y[k + 1], r[k - 1], p[k]));
    r[k] = Wide(R[k]);
  }
  R[n] = Store{};
  TWide next{};  // R[k + 1], widened
#pragma GCC unroll 8
  for (int k = n - 1; k >= 2; --k) {
    R[k] = lanes::Store(BackStep(Wide(q[k]), next, r[k]));
    next = Wide(R[k]);
  }
}

// The row splines of two windows at once (n = MaxWindow, a row a lane, the
// lanes past n 0): SplineInit of each, bit for bit. A window's set-up is a
// chain of dependent steps the processor cannot start on before the one
// before has ended; the two chains side by side, in pairs of lanes, keep it
// busy while each waits.
inline void SplineInitTwo(const TArray<TStore8>& YA, TArray<TStore8>& RA, const TArray<TStore8>& YB,
                          TArray<TStore8>& RB) {
  constexpr int n = MaxWindow, Pairs = (n + 1) / 2, Chains = 2 * Pairs;
  using TWide2 = double __attribute__((vector_size(16)));
  using TStore2 = float __attribute__((vector_size(8)));
  const TSplineArray& q = Elimination.Q[n];
  const auto& p = Elimination.P[n];
  // Chain c: window c / Pairs, its lanes 2 (c % Pairs) and 2 (c % Pairs) + 1.
  const auto place = [](int c) { return sizeof(TStore2) * static_cast<std::size_t>(c % Pairs); };
  std::array<std::array<TWide2, Chains>, MaxWindow + 1> y, r;
#pragma GCC unroll 8
  for (int k = 1; k <= n; ++k)
#pragma GCC unroll 8
    for (int c = 0; c < Chains; ++c) {
      TStore2 v;
      std::memcpy(&v, reinterpret_cast<const char*>(&(c < Pairs ? YA : YB)[k]) + place(c), sizeof v);
      y[k][c] = __builtin_convertvector(v, TWide2);
    }
  // Stores a chain's value, rounded, and gives it back widened.
  const auto store = [&](int k, int c, TWide2 value) {
    const TStore2 v = __builtin_convertvector(value, TStore2);
    std::memcpy(reinterpret_cast<char*>(&(c < Pairs ? RA : RB)[k]) + place(c), &v, sizeof v);
    return __builtin_convertvector(v, TWide2);
  };
  RA[1] = RB[1] = RA[n] = RB[n] = TStore8{};
  for (int k = 2; k <= n - 1; ++k)  // the lanes past n: 0, as SplineInit leaves them
    for (std::size_t at = sizeof(TStore2) * Pairs; at < sizeof(TStore8); at += sizeof(TStore2)) {
      std::memset(reinterpret_cast<char*>(&RA[k]) + at, 0, sizeof(TStore2));
      std::memset(reinterpret_cast<char*>(&RB[k]) + at, 0, sizeof(TStore2));
    }
  r[1] = {};
#pragma GCC unroll 8
  for (int k = 2; k <= n - 1; ++k)
#pragma GCC unroll 8
    for (int c = 0; c < Chains; ++c)
      r[k][c] = store(k, c, ForwardStep(y[k - 1][c], y[k][c], y[k + 1][c], r[k - 1][c], p[k]));
  std::array<TWide2, Chains> next{};
#pragma GCC unroll 8
  for (int k = n - 1; k >= 2; --k)
#pragma GCC unroll 8
    for (int c = 0; c < Chains; ++c) next[c] = store(k, c, BackStep(Wide(q[k]), next[c], r[k][c]));
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
