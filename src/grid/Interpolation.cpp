#include "grid/Interpolation.hpp"

#include <cmath>

namespace tessmar {

using detail::Wide;

void SplineInit(int n, const TSplineArray& Y, TSplineArray& R, TSplineArray& Q) {
  Q[1] = 0;
  R[1] = 0;
  for (int k = 2; k <= n - 1; ++k) {
    const double p = Wide(Q[k - 1]) / 2 + 2;
    Q[k] = static_cast<float>(-0.5 / p);
    R[k] = static_cast<float>((3 * ((Wide(Y[k + 1]) - 2 * Wide(Y[k])) + Wide(Y[k - 1])) - Wide(R[k - 1]) / 2) / p);
  }
  R[n] = 0;
  for (int k = n - 1; k >= 2; --k) R[k] = static_cast<float>(Wide(Q[k]) * Wide(R[k + 1]) + Wide(R[k]));
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

double WindowSpline(const TGeoidGrid& grid, int n, double lat, double lon) {
  return TWindowSpline(grid, n)(lat, lon);
}

double SourceValue(const TSession& session, double lat, double lon) {
  return WindowSpline(session.SourceGrid, MaxWindow, lat, lon);
}

float CustomValue(const TSession& session, double lat, double lon) {
  return static_cast<float>(WindowSpline(session.CustomGrid, MaxWindow, lat, lon));
}

}  // namespace tessmar
