#include "grid/GeoidGrid.hpp"

namespace tessmar {

TGeoidModels DefaultGeoidModels() {
  return {{
      {"EGM2008 2.5'x2.5'", "Und_min2.5x2.5_egm2008_isw=82_WGS84_TideFree_SE", 4321, 8642, -90.0, 0.0, 1.0 / 24,
       1.0 / 24, 4321, 8640, 1},
      {"EGM2008 1'x1'", "Und_min1x1_egm2008_isw=82_WGS84_TideFree_SE", 10801, 21602, -90.0, 0.0, 1.0 / 60, 1.0 / 60,
       10801, 21600, 1},
  }};
}

std::int64_t NodeFactor(double spacing) { return Round(100 / spacing); }

double NodesPerDegree(double spacing) { return static_cast<double>(NodeFactor(spacing)) / 100; }

void TGeoidGrid::DeriveGeometry() {
  const std::int64_t rowFactor = NodeFactor(dlat);
  const std::int64_t colFactor = NodeFactor(dlon);
  // A factor of 0 would divide by zero below.
  if (rowFactor == 0 || colFactor == 0) throw TError(InvalidOpText);
  FRowFactor = rowFactor;
  FColFactor = colFactor;
  north = south + (static_cast<double>(nlat) - 1) / (static_cast<double>(rowFactor) / 100);
  east = west + nlon / (static_cast<double>(colFactor) / 100);
  FWraps = west <= 1e-5 && east + 1e-5 >= 360;
}

}  // namespace tessmar
