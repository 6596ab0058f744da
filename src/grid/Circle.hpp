// The circle of longitude and the span of latitude: how angles are brought onto
// the grids, and when a grid or a region counts as the whole circle. Pure;
// thread-safe.
//
// The four whole-circle tests answer four different questions, each with the
// tolerance its question has always had; unifying them would move nodes in
// files already written, so they stay distinct, named and together here.
#pragma once

#include <cmath>
#include <cstdint>

#include "base/Numeric.hpp"

namespace tessmar {

// A typed longitude as a conversion takes it: one turn added below 0 (once at
// most), so a region's corners lie in 0 .. 360 as the source grids do.
inline double EastFromZero(double lon) noexcept { return lon < 0 ? lon + 360 : lon; }

// Any angle brought into [0, 360): a value a hair below 0 that would come to
// 360 in the sum is 0, where it lies. Exact: a turn taken away or added is
// the same subtraction or addition done once.
inline double AngleInCircle(double degrees) noexcept {
  if (degrees >= 0 && degrees < 360) return degrees;  // what fmod gives, at a fraction of its cost
  double d = std::fmod(degrees, 360.0);
  if (d < 0) d += 360;
  return d >= 360 ? 0 : d;
}

// A longitude as a grid from west to east (one spacing past its last column)
// reads it: any turn of it (360 and -360 are 0, 720 is 0) brought into
// [0, 360), and on a grid that crosses 0 degrees and so runs past 360, one
// west of the grid taken 360 further east, where its nodes are. shiftsEast:
// the grid may run past 360 (TGridLayout).
inline double GridLongitude(double lon, double west, double east, bool shiftsEast) noexcept {
  lon = AngleInCircle(lon);
  if (shiftsEast && east > 360 && lon < west) lon += 360;
  return lon;
}

// A longitude difference brought into -180 .. 180 (180 itself to -180).
inline double LongitudeDifference(double d) noexcept { return d - 360 * std::floor((d + 180) / 360); }

// Degrees east of `west`, in 0 .. 360 (an east edge in (0 .. 360]).
inline double DegreesEastOf(double lon, double west, bool eastEdge) noexcept {
  double d = AngleInCircle(lon - west);
  if (eastEdge && d == 0) d = 360;
  return d;
}

// A latitude as the grids take it: beyond 90 is 90, below -90 (by more than a
// rounding error) is -90.
inline double ClampLatitude(double lat) noexcept {
  if (lat > 90) return 90;
  if (lat < -90.00001) return -90;
  return lat;
}

// The west edge a grid of nlon columns at dlon is written out with, for other
// programs: within -180..180 when the whole grid fits there (GDAL takes no
// other longitudes), else within 0..360 (a grid across 180 degrees). Whole
// turns only, each exact where 180 <= |west| <= 720; a west already in the
// range it goes to stays as it is.
inline double ExchangeWest(double west, std::int32_t nlon, double dlon) noexcept {
  if (!std::isfinite(west) || std::fabs(west) > 720) return west;
  double w = west;
  while (w >= 180) w -= 360;
  while (w < -180) w += 360;
  if (w + (static_cast<double>(nlon) - 1) * dlon <= 180 + 1e-9) return w;
  w = west;
  while (w >= 360) w -= 360;
  while (w < 0) w += 360;
  return w;
}

// A grid from `west` to `east` (one spacing past its last column) wraps: column
// nlon is column 0 again. Read of nodes.
inline bool GridWraps(double west, double east) noexcept { return west <= 1e-5 && east + 1e-5 >= 360; }

// A region typed from typedW to typedE (snapped to res) is the whole circle:
// as typed, east lies at least 360 less eight cells east of west ("-180 to
// 180"); or, with both brought into 0..360 as W and E, its corners cross within
// eight cells or lie more than 360 less eight cells apart. Conversion.
inline bool RegionIsWholeCircle(double typedW, double typedE, double W, double E, double res) noexcept {
  return typedE - typedW >= 360 - 8 * res || (W > E && std::fabs(E - W) < 8 * res) || E - W > 360 - 8 * res;
}

// A custom grid of nlon columns at dlon covers the whole circle, so the scan
// walks it without an edge margin. Scan.
inline bool LatticeIsWholeCircle(std::int32_t nlon, double dlon) noexcept {
  return (static_cast<double>(nlon) + 1) * dlon >= 359.99999;
}

// nlon columns at 100/colFactor degrees make exactly the circle: whole units,
// no tolerance, as an imported grid must place every node exactly. Import.
inline bool ColumnsAreWholeCircle(std::int64_t nlon, std::int64_t colFactor) noexcept {
  return nlon * 100 == 360 * colFactor;
}

}  // namespace tessmar
