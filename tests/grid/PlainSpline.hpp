// The window spline written plainly, straight from its arithmetic: node by
// node through a reader, one point at a time, nothing kept, no lanes. The
// readable statement that grid/WindowSpline.cpp's tuned bodies must equal bit
// for bit (InterpolationTest holds them to it); the scan benchmark times it
// over one positioned read per node.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>

#include "base/Numeric.hpp"
#include "grid/Circle.hpp"
#include "grid/GeoidGrid.hpp"

namespace tessmar::test {

// A node by 64-bit indexes, as TGeoidGrid::ReadNode gives it: NaN where there is none.
using TNodeReader = std::function<float(std::int64_t row, std::int64_t column)>;

// The nodes of an open grid, read one by one (indexes past 32 bits have none).
inline TNodeReader GridNodes(const TGeoidGrid& grid) {
  return [&grid](std::int64_t row, std::int64_t column) {
    const auto fits = [](std::int64_t i) { return i >= INT32_MIN && i <= INT32_MAX; };
    if (!fits(row) || !fits(column)) return NoValue();
    return grid.ReadNode(static_cast<std::int32_t>(row), static_cast<std::int32_t>(column));
  };
}

class TPlainSpline {
 public:
  // The geometry comes from grid, the nodes from read.
  TPlainSpline(const TGeoidGrid& grid, TNodeReader read) : FGrid(grid), FRead(std::move(read)) {}

  // WindowSpline(grid, n, lat, lon).
  double operator()(int n, double lat, double lon) const {
    if (n > 6) return NoValue();
    lat = ClampLatitude(lat);
    const double x = FGrid.ColPosition(FGrid.GridLongitude(lon)), y = FGrid.RowPosition(lat);
    const double half = n / 2.0;
    if (!(n > 2 && 90 - std::fabs(lat) > FGrid.dlat * (half + 1)) || !FitsInt64(x - half) || !FitsInt64(y - half))
      return Bilinear(y, x);
    const std::int64_t col0 = Trunc(x - half), row0 = Trunc(y - half);
    TArray Y{}, R{}, C{};
    for (int i = 1; i <= n; ++i) {
      for (int j = 1; j <= n; ++j) {
        Y[j] = FRead(row0 + i, col0 + j);
        if (std::isnan(Y[j])) return Bilinear(y, x);
      }
      SplineInit(n, Y, R);
      C[i] = static_cast<float>(SplineValue(n, x - static_cast<double>(col0), Y, R));
    }
    SplineInit(n, C, R);
    return SplineValue(n, y - static_cast<double>(row0), C, R);
  }

  // BilinearValue(grid, y, x).
  double Bilinear(double y, double x) const {
    if (!FitsInt64(x) || !FitsInt64(y)) return NoValue();
    const std::int64_t c0 = Trunc(x), r0 = Trunc(y);
    const double fx = x - static_cast<double>(c0), fy = y - static_cast<double>(r0);
    if (c0 < 0 || c0 > FGrid.nlon || r0 < 0 || r0 > FGrid.nlat) return NoValue();
    const auto snap = [](double f) { return std::fabs(f) < 1e-5 ? 0 : std::fabs(1 - f) < 1e-5 ? 1 : -1; };
    const int h = snap(fx), m = snap(fy);
    // North of row 0, or west of column 0 on a grid that does not wrap: outside.
    if ((fy < 0 && m < 0) || (fx < 0 && h < 0 && !FGrid.Wraps())) return NoValue();
    if (h >= 0 && m >= 0) return FRead(r0 + m, c0 + h);
    if (m >= 0) {
      const double a = FRead(r0 + m, c0), b = FRead(r0 + m, c0 + 1);
      if (std::isnan(a) || std::isnan(b)) return NoValue();
      return a * (1 - fx) + b * fx;
    }
    if (h >= 0) {
      const double a = FRead(r0, c0 + h), b = FRead(r0 + 1, c0 + h);
      if (std::isnan(a) || std::isnan(b)) return NoValue();
      return a * (1 - fy) + b * fy;
    }
    const double nw = FRead(r0, c0), ne = FRead(r0, c0 + 1), sw = FRead(r0 + 1, c0), se = FRead(r0 + 1, c0 + 1);
    if (std::isnan(nw) || std::isnan(ne) || std::isnan(sw) || std::isnan(se)) return NoValue();
    return nw * (1 - fx) * (1 - fy) + sw * fy * (1 - fx) + ne * fx * (1 - fy) + se * fx * fy;
  }

 private:
  using TArray = std::array<float, 7>;  // indexed 1 .. 6

  // The natural spline with unit spacing through Y[1..n]: its second
  // derivatives R, each stored to float32 as it is formed.
  static void SplineInit(int n, const TArray& Y, TArray& R) {
    TArray Q{};
    R[1] = 0;
    for (int k = 2; k <= n - 1; ++k) {
      const double p = static_cast<double>(Q[k - 1]) / 2 + 2;
      Q[k] = static_cast<float>(-0.5 / p);
      const double y0 = Y[k - 1], y1 = Y[k], y2 = Y[k + 1];
      R[k] = static_cast<float>((3 * ((y2 - 2 * y1) + y0) - static_cast<double>(R[k - 1]) / 2) / p);
    }
    R[n] = 0;
    for (int k = n - 1; k >= 2; --k)
      R[k] = static_cast<float>(static_cast<double>(Q[k]) * static_cast<double>(R[k + 1]) + static_cast<double>(R[k]));
  }

  // The spline at t (node k at k), a straight line beyond the end nodes.
  static double SplineValue(int n, double t, const TArray& Y, const TArray& R) {
    const auto y = [&](int k) { return static_cast<double>(Y[k]); };
    const auto r = [&](int k) { return static_cast<double>(R[k]); };
    if (t < 1) return y(1) + (t - 1) * (y(2) - y(1) - r(2) / 6);
    if (t > n) return y(n) + (t - n) * (y(n) - y(n - 1) + r(n - 1) / 6);
    const auto j = static_cast<int>(std::floor(t));
    if (j >= n) return y(n);
    const double u = t - j;
    return y(j) + u * ((((y(j + 1) - y(j)) - r(j) / 3) - r(j + 1) / 6) + u * (r(j) / 2 + (u * (r(j + 1) - r(j))) / 6));
  }

  const TGeoidGrid& FGrid;
  TNodeReader FRead;
};

}  // namespace tessmar::test
