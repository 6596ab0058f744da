// Geoid undulation (metres) at any point of a grid: a natural cubic spline over
// an n x n window of nodes (rows first, then down the column of row results),
// with bilinear interpolation in the point's own cell where the window cannot be
// used. Every stored intermediate is rounded to float32, all arithmetic is
// float64, in the order written, so results are bit-exact and reproducible.
// No value is NaN; nothing throws. Pure functions of the grid; thread-safe.
#pragma once

#include <array>

#include "grid/Session.hpp"

namespace tessmar {

inline constexpr int MaxWindow = 6;

// Spline work arrays, indexed 1 .. MaxWindow like the node window.
using TSplineArray = std::array<float, MaxWindow + 1>;

// Fills R (and the elimination factors Q) from Y[1..n]: second derivatives of the
// natural cubic spline with unit spacing.
void SplineInit(int n, const TSplineArray& Y, TSplineArray& R, TSplineArray& Q);
// The spline through Y[1..n] at abscissa t (node k at k); linear beyond the ends.
double SplineValue(int n, double t, const TSplineArray& Y, const TSplineArray& R);

// Bilinear value at grid coordinates (y rows south of row 0, x columns east of
// column 0); a fraction within 1e-5 of a node row or column snaps onto it.
double BilinearValue(const TGeoidGrid& grid, double y, double x);

// The n x n window spline at (lat, lon), n <= 6; the bilinear value near the
// poles, for n <= 2, or when a window node is missing.
double WindowSpline(const TGeoidGrid& grid, int n, double lat, double lon);

// SourceGrid's value at a point, unrounded.
double SourceValue(const TSession& session, double lat, double lon);
// CustomGrid's value at a point, rounded to float32.
float CustomValue(const TSession& session, double lat, double lon);

}  // namespace tessmar
