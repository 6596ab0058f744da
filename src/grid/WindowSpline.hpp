// The window spline: what WindowSpline, BilinearValue and TLatticeSpline of
// grid/Interpolation.hpp promise, and TWindowSpline, the evaluator that keeps
// the windows it used. Bodies in WindowSpline.cpp, tuned (windows read as
// blocks, row splines set up side by side in vector lanes, kept windows);
// the readable statement of the same arithmetic, node by node, is the plain
// reference in tests/grid/PlainSpline.hpp, which the tests hold equal to this
// one bit for bit.
//
// Units: latitude and longitude in degrees (positive north and east), any turn
// of longitude; a latitude beyond 90 is 90, below -90 (by more than 1e-5) -90.
// Values in metres, float64.
//
// Rows: row 0 is the grid's northernmost node row (`north`), y grows by one a
// row southwards; column 0 lies at `west`, x grows by one a column eastwards.
// The n x n window of the point (y, x), n <= 6, holds node rows
// Trunc(y - n/2) + 1 .. Trunc(y - n/2) + n and the columns likewise. A natural
// cubic spline runs along each window row at x, then one down the column of
// the row results at y. Every stored intermediate (node values, second
// derivatives, elimination factors, row results) is rounded to float32, all
// arithmetic is float64 in the order written: results are bit-exact and the
// same by every path (one point, a batch, a lattice row).
//
// The bilinear value of the point's cell instead: for n <= 2; within
// dlat * (n/2 + 1) of a pole; when a node of the window is missing (outside the
// grid, unreadable, or not a value). A fraction within 1e-5 of a node row or
// column snaps onto it.
//
// NaN, never an exception: a window of n > 6; a latitude or longitude that is
// NaN, infinite or beyond every grid; a point outside the grid's nodes on any
// side (beyond the snap); a node of the bilinear cell missing.
//
// Threads: node reads of an open grid are safe from several threads; a
// TWindowSpline or TLatticeSpline keeps what it set up, so one per thread,
// valid while its grid is open.
#pragma once

#include <cstddef>
#include <memory>

#include "grid/GeoidGrid.hpp"
#include "grid/Interpolation.hpp"

namespace tessmar {

// The n x n window spline of one grid that keeps the row splines of the last
// window it used (in a batch: of the last windows): a point that falls in a
// kept window costs no node read and no row spline set-up, and gives exactly
// what a fresh evaluation (WindowSpline) gives.
class TWindowSpline {
 public:
  TWindowSpline(const TGeoidGrid& grid, int n);
  ~TWindowSpline();
  TWindowSpline(TWindowSpline&&) noexcept;
  TWindowSpline& operator=(TWindowSpline&&) noexcept;

  // WindowSpline(grid, n, lat, lon).
  double operator()(double lat, double lon);
  // out[k] = (*this)(lats[k], lons[k]) for k < count.
  void operator()(const double* lats, const double* lons, std::size_t count, double* out);

 private:
  struct TImpl;
  std::unique_ptr<TImpl> FImpl;
};

}  // namespace tessmar
