#include "grid/Interpolation.hpp"

#include <cmath>
#include <cstdint>
#include <limits>

namespace tessmar {

namespace {
// A node by 64-bit indexes; an index beyond 32 bits is outside every grid.
float Node(const TGeoidGrid& grid, std::int64_t row, std::int64_t column) {
  constexpr std::int64_t lo = std::numeric_limits<std::int32_t>::min();
  constexpr std::int64_t hi = std::numeric_limits<std::int32_t>::max();
  if (row < lo || row > hi || column < lo || column > hi) return NoValue();
  return grid.ReadNode(static_cast<std::int32_t>(row), static_cast<std::int32_t>(column));
}

double Wide(float value) { return static_cast<double>(value); }
}  // namespace

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

double BilinearValue(const TGeoidGrid& grid, double y, double x) {
  if (!FitsInt64(x) || !FitsInt64(y)) return NoValue();
  const std::int64_t c0 = Trunc(x), r0 = Trunc(y);
  const double fx = x - static_cast<double>(c0), fy = y - static_cast<double>(r0);
  if (c0 < 0 || c0 > grid.nlon || r0 < 0 || r0 > grid.nlat) return NoValue();

  // -1: not snapped; 0 or 1: on the node row or column at that offset.
  const auto snap = [](double f) { return std::fabs(f) < 1e-5 ? 0 : std::fabs(1 - f) < 1e-5 ? 1 : -1; };
  const int h = snap(fx), m = snap(fy);

  if (h >= 0 && m >= 0) return Wide(Node(grid, r0 + m, c0 + h));
  if (m >= 0) {
    const float a = Node(grid, r0 + m, c0), b = Node(grid, r0 + m, c0 + 1);
    if (std::isnan(a) || std::isnan(b)) return NoValue();
    return Wide(a) * (1 - fx) + Wide(b) * fx;
  }
  if (h >= 0) {
    const float a = Node(grid, r0, c0 + h), b = Node(grid, r0 + 1, c0 + h);
    if (std::isnan(a) || std::isnan(b)) return NoValue();
    return Wide(a) * (1 - fy) + Wide(b) * fy;
  }
  const float nw = Node(grid, r0, c0), ne = Node(grid, r0, c0 + 1);
  const float sw = Node(grid, r0 + 1, c0), se = Node(grid, r0 + 1, c0 + 1);
  if (std::isnan(nw) || std::isnan(ne) || std::isnan(sw) || std::isnan(se)) return NoValue();
  return Wide(nw) * (1 - fx) * (1 - fy) + Wide(sw) * fy * (1 - fx) + Wide(ne) * fx * (1 - fy) + Wide(se) * fx * fy;
}

double WindowSpline(const TGeoidGrid& grid, int n, double lat, double lon) {
  if (n > MaxWindow) return NoValue();
  if (lon < 0) lon += 360;
  else if (lon > 360) lon -= 360;
  if (lat > 90) lat = 90;
  else if (lat < -90.00001) lat = -90;
  // A custom grid that crosses 0 degrees reaches past 360.
  if (grid.ShiftsEast && grid.east > 360 && lon < grid.west) lon += 360;

  const double x = grid.ColPosition(lon);
  const double y = grid.RowPosition(lat);
  const double half = n / 2.0;
  const bool window = n > 2 && 90 - std::fabs(lat) > grid.dlat * (half + 1);
  if (!window || !FitsInt64(x - half) || !FitsInt64(y - half)) return BilinearValue(grid, y, x);

  const std::int64_t col0 = Trunc(x - half), row0 = Trunc(y - half);
  TSplineArray Y{}, R{}, Q{}, C{};
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) {
      Y[j] = Node(grid, row0 + i, col0 + j);
      if (std::isnan(Y[j])) return BilinearValue(grid, y, x);
    }
    SplineInit(n, Y, R, Q);
    C[i] = static_cast<float>(SplineValue(n, x - static_cast<double>(col0), Y, R));
  }
  SplineInit(n, C, R, Q);
  return SplineValue(n, y - static_cast<double>(row0), C, R);
}

double SourceValue(const TSession& session, double lat, double lon) {
  return WindowSpline(session.SourceGrid, MaxWindow, lat, lon);
}

float CustomValue(const TSession& session, double lat, double lon) {
  return static_cast<float>(WindowSpline(session.CustomGrid, MaxWindow, lat, lon));
}

}  // namespace tessmar
