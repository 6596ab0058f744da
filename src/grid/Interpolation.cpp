#include "grid/Interpolation.hpp"

#include <cmath>

namespace tessmar {

using detail::Wide;

namespace {
// The elimination factors Q[k] and pivots P[k] of the unit-spacing natural
// spline depend on k and n alone: formed once, by the same float32 stores and
// float64 arithmetic as in the elimination itself, so the results are the same
// bits and each set-up saves half its divisions.
struct TElimination {
  std::array<TSplineArray, MaxWindow + 1> Q{};
  std::array<std::array<double, MaxWindow + 1>, MaxWindow + 1> P{};
  TElimination() {
    for (int n = 0; n <= MaxWindow; ++n) {
      Q[n][1] = 0;
      for (int k = 2; k <= n - 1; ++k) {
        P[n][k] = Wide(Q[n][k - 1]) / 2 + 2;
        Q[n][k] = static_cast<float>(-0.5 / P[n][k]);
      }
    }
  }
};
const TElimination Elimination;
}  // namespace

void SplineInit(int n, const TSplineArray& Y, TSplineArray& R, TSplineArray& Q) {
  if (n < 1 || n > MaxWindow) return;
  const TSplineArray& q = Elimination.Q[n];
  const auto& p = Elimination.P[n];
  R[1] = 0;
  for (int k = 2; k <= n - 1; ++k)
    R[k] = static_cast<float>((3 * ((Wide(Y[k + 1]) - 2 * Wide(Y[k])) + Wide(Y[k - 1])) - Wide(R[k - 1]) / 2) / p[k]);
  R[n] = 0;
  for (int k = n - 1; k >= 2; --k) R[k] = static_cast<float>(Wide(q[k]) * Wide(R[k + 1]) + Wide(R[k]));
  Q = q;
}

double SplineValue(int n, double t, const TSplineArray& Y, const TSplineArray& R) {
  if (std::isnan(t)) return NoValue();
  if (t < 1) return Wide(Y[1]) + (t - 1) * (Wide(Y[2]) - Wide(Y[1]) - Wide(R[2]) / 6);
  if (t > n) return Wide(Y[n]) + (t - n) * (Wide(Y[n]) - Wide(Y[n - 1]) + Wide(R[n - 1]) / 6);
  const auto j = static_cast<int>(std::floor(t));
  if (j >= n) return Wide(Y[n]);  // t = n exactly: there is no node n + 1
  const double u = t - j;
  const double yj = Wide(Y[j]), yk = Wide(Y[j + 1]), rj = Wide(R[j]), rk = Wide(R[j + 1]);
  return yj + u * ((((yk - yj) - rj / 3) - rk / 6) + u * (rj / 2 + (u * (rk - rj)) / 6));
}

double BilinearValue(const TGeoidGrid& grid, double y, double x) { return BilinearValueOf(grid, y, x); }

double WindowSpline(const TGeoidGrid& grid, int n, double lat, double lon) { return TWindowSpline(grid, n)(lat, lon); }

double SourceValue(const TGeoidGrid* grid, double lat, double lon) {
  return grid ? WindowSpline(*grid, MaxWindow, lat, lon) : NoValue();
}

float CustomValue(const TGeoidGrid* grid, double lat, double lon) {
  return grid ? static_cast<float>(WindowSpline(*grid, MaxWindow, lat, lon)) : NoValue();
}

}  // namespace tessmar
