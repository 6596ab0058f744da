// Geoid undulation (metres) at any point of a grid: a natural cubic spline over
// the 6 x 6 window of nodes around the point (rows first, then down the column
// of row results), bilinear in the point's own cell near the poles and where a
// node of the window is missing. Every stored intermediate is rounded to
// float32, all arithmetic is float64, in the order written, so results are
// bit-exact and reproducible. Latitudes and longitudes in degrees, any turn of
// longitude. A value that does not exist (outside the grid, a missing node, no
// grid) is NaN; nothing throws. Reads only: safe from several threads.
#pragma once

#include <cstddef>
#include <memory>

#include "grid/GeoidGrid.hpp"

namespace tessmar {

// The side of the node window.
inline constexpr int MaxWindow = 6;

// A source grid's value at a point, unrounded; NaN without a grid.
double SourceValue(const TGeoidGrid* grid, double lat, double lon);
// A custom grid's value at a point, rounded to float32 as the file stores its
// nodes; NaN without a grid.
float CustomValue(const TGeoidGrid* grid, double lat, double lon);
// The two at count points: out[k] for (lats[k], lons[k]), the bits the
// one-point forms give (CustomValues' rounded to float32, then widened).
void SourceValues(const TGeoidGrid* grid, const double* lats, const double* lons, std::size_t count, double* out);
void CustomValues(const TGeoidGrid* grid, const double* lats, const double* lons, std::size_t count, double* out);

// The n x n window spline at (lat, lon), n <= 6; the bilinear value near the
// poles, for n <= 2, or when a window node is missing.
double WindowSpline(const TGeoidGrid& grid, int n, double lat, double lon);
// The bilinear value at grid coordinates (y rows south of row 0, x columns
// east of column 0); a fraction within 1e-5 of a node snaps onto it. A point
// outside the grid's nodes, on any side, has none.
double BilinearValue(const TGeoidGrid& grid, double y, double x);

// The window spline at fixed longitudes, a lattice row after the other (a
// scan's chunk of columns), each value the bits WindowSpline gives at the same
// point, at much less cost: a node row's spline value at a point is kept while
// that node row stays in its window. Valid while the grid is open; one per thread.
class TLatticeSpline {
 public:
  TLatticeSpline(const TGeoidGrid& grid, int n, const double* lons, std::size_t count);
  ~TLatticeSpline();
  TLatticeSpline(TLatticeSpline&&) noexcept;
  TLatticeSpline& operator=(TLatticeSpline&&) noexcept;
  // out[k] for the k-th longitude, at latitude lat.
  void Row(double lat, double* out);

 private:
  struct TImpl;
  std::unique_ptr<TImpl> FImpl;
};

}  // namespace tessmar
