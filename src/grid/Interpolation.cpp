#include "grid/Interpolation.hpp"

#include <algorithm>
#include <cmath>

#include "grid/Spline.hpp"
#include "grid/WindowSpline.hpp"

namespace tessmar {

namespace lanes {
// Formed once, by the same float32 stores and float64 arithmetic as in the
// elimination itself, so the results are the same bits and each set-up saves
// half its divisions.
TElimination::TElimination() {
  for (int n = 0; n <= MaxWindow; ++n) {
    Q[n][1] = 0;
    for (int k = 2; k <= n - 1; ++k) {
      P[n][k] = Wide(Q[n][k - 1]) / 2 + 2;
      Q[n][k] = static_cast<float>(-0.5 / P[n][k]);
    }
  }
}
const TElimination Elimination;
}  // namespace lanes

void SplineInit(int n, const TSplineArray& Y, TSplineArray& R, TSplineArray& Q) {
  if (n < 1 || n > MaxWindow) return;
  lanes::SplineInit(n, Y, R);
  Q = lanes::Elimination.Q[n];
}

double SplineValue(int n, double t, const TSplineArray& Y, const TSplineArray& R) {
  if (std::isnan(t)) return NoValue();
  return lanes::SplineValue(n, t, Y, R);
}

double SourceValue(const TGeoidGrid* grid, double lat, double lon) {
  return grid ? WindowSpline(*grid, MaxWindow, lat, lon) : NoValue();
}

float CustomValue(const TGeoidGrid* grid, double lat, double lon) {
  return grid ? static_cast<float>(WindowSpline(*grid, MaxWindow, lat, lon)) : NoValue();
}

void SourceValues(const TGeoidGrid* grid, const double* lats, const double* lons, std::size_t count, double* out) {
  if (grid)
    TWindowSpline(*grid, MaxWindow)(lats, lons, count, out);
  else
    std::fill_n(out, count, NoValue());
}

void CustomValues(const TGeoidGrid* grid, const double* lats, const double* lons, std::size_t count, double* out) {
  SourceValues(grid, lats, lons, count, out);
  for (std::size_t k = 0; k < count; ++k) out[k] = static_cast<float>(out[k]);
}

}  // namespace tessmar
