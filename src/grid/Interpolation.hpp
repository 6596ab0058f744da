// Geoid undulation (metres) at any point of a grid: a natural cubic spline over
// an n x n window of nodes (rows first, then down the column of row results),
// with bilinear interpolation in the point's own cell where the window cannot be
// used. Every stored intermediate is rounded to float32, all arithmetic is
// float64, in the order written, so results are bit-exact and reproducible.
// No value is NaN; nothing throws. Reads only; safe from several threads.
//
// The algorithm is written once, over any grid type with TGeoidGrid's geometry
// fields and ReadNode (a benchmark runs it over plain positioned reads).
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

#include "grid/Circle.hpp"
#include "grid/GeoidGrid.hpp"

namespace tessmar {

inline constexpr int MaxWindow = 6;

// Spline work arrays, indexed 1 .. MaxWindow like the node window.
using TSplineArray = std::array<float, MaxWindow + 1>;

// Fills R (and the elimination factors Q) from Y[1..n]: second derivatives of the
// natural cubic spline with unit spacing.
void SplineInit(int n, const TSplineArray& Y, TSplineArray& R, TSplineArray& Q);
// The spline through Y[1..n] at abscissa t (node k at k); linear beyond the ends.
double SplineValue(int n, double t, const TSplineArray& Y, const TSplineArray& R);

namespace detail {
// A node by 64-bit indexes; an index beyond 32 bits is outside every grid.
template <class Grid>
float Node(const Grid& grid, std::int64_t row, std::int64_t column) {
  constexpr std::int64_t lo = std::numeric_limits<std::int32_t>::min();
  constexpr std::int64_t hi = std::numeric_limits<std::int32_t>::max();
  if (row < lo || row > hi || column < lo || column > hi) return NoValue();
  return grid.ReadNode(static_cast<std::int32_t>(row), static_cast<std::int32_t>(column));
}
inline double Wide(float value) { return static_cast<double>(value); }
}  // namespace detail

// Bilinear value at grid coordinates (y rows south of row 0, x columns east of
// column 0); a fraction within 1e-5 of a node row or column snaps onto it.
template <class Grid>
double BilinearValueOf(const Grid& grid, double y, double x) {
  using detail::Node;
  using detail::Wide;
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

// The n x n window spline of one grid, n <= 6. It keeps the row splines of the
// last window it used: they depend on the window's nodes alone, so a point that
// falls in the same window as the one before costs no node read and no row
// spline set-up, and gives exactly what a fresh evaluation gives. Valid while
// the grid is unchanged; one per thread.
template <class Grid>
class TWindowSplineOf {
 public:
  TWindowSplineOf(const Grid& grid, int n) : FGrid(grid), FN(n) {}

  double operator()(double lat, double lon) {
    const Grid& grid = FGrid;
    const int n = FN;
    if (n > MaxWindow) return NoValue();
    lon = GridLongitude(lon, grid.west, grid.east, grid.ShiftsEast);
    lat = ClampLatitude(lat);

    const double x = grid.ColPosition(lon);
    const double y = grid.RowPosition(lat);
    const double half = n / 2.0;
    const bool window = n > 2 && 90 - std::fabs(lat) > grid.dlat * (half + 1);
    if (!window || !FitsInt64(x - half) || !FitsInt64(y - half)) return BilinearValueOf(grid, y, x);

    const std::int64_t col0 = Trunc(x - half), row0 = Trunc(y - half);
    if (!FHave || row0 != FRow0 || col0 != FCol0) LoadWindow(row0, col0);
    if (FMissing) return BilinearValueOf(grid, y, x);

    TSplineArray C{}, R{}, Q{};
    for (int i = 1; i <= n; ++i) C[i] = static_cast<float>(SplineValue(n, x - static_cast<double>(col0), FY[i], FR[i]));
    SplineInit(n, C, R, Q);
    return SplineValue(n, y - static_cast<double>(row0), C, R);
  }

 private:
  // Nodes read row by row from the top, each row west to east; the first
  // missing node gives the window up.
  void LoadWindow(std::int64_t row0, std::int64_t col0) {
    FHave = true;
    FRow0 = row0;
    FCol0 = col0;
    FMissing = false;
    TSplineArray Q{};
    for (int i = 1; i <= FN; ++i) {
      for (int j = 1; j <= FN; ++j) {
        FY[i][j] = detail::Node(FGrid, row0 + i, col0 + j);
        if (std::isnan(FY[i][j])) {
          FMissing = true;
          return;
        }
      }
      SplineInit(FN, FY[i], FR[i], Q);
    }
  }

  const Grid& FGrid;
  int FN;
  bool FHave = false, FMissing = false;
  std::int64_t FRow0 = 0, FCol0 = 0;
  std::array<TSplineArray, MaxWindow + 1> FY{}, FR{};
};

using TWindowSpline = TWindowSplineOf<TGeoidGrid>;

double BilinearValue(const TGeoidGrid& grid, double y, double x);

// The n x n window spline at (lat, lon), n <= 6; the bilinear value near the
// poles, for n <= 2, or when a window node is missing.
double WindowSpline(const TGeoidGrid& grid, int n, double lat, double lon);

// A source grid's value at a point, unrounded; NaN without a grid.
double SourceValue(const TGeoidGrid* grid, double lat, double lon);
// A custom grid's value at a point, rounded to float32; NaN without a grid.
float CustomValue(const TGeoidGrid* grid, double lat, double lon);

}  // namespace tessmar
