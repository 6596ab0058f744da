#include "grid/GeoidGrid.hpp"

#include "base/Text.hpp"
#include "grid/Circle.hpp"

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

std::string ModelFilePath(const std::string& dataDir, const TGeoidModel& model) {
  return TrimBlanks(dataDir + model.fname);
}

TGridLayout ModelLayout(const TGeoidModel& m) {
  // A catalogue grid past 360 is a regional one imported across 0 degrees.
  return {m.nrows, m.ncols, m.nlat, m.nlon, m.PrePad, m.glamn, m.glomn, m.dgla, m.dglo, true};
}

std::unique_ptr<TGeoidGrid> TGeoidGrid::Make(TMappedFile file, const TGridLayout& layout) {
  std::int64_t rowFactor = 0, colFactor = 0;
  try {
    rowFactor = NodeFactor(layout.dlat);
    colFactor = NodeFactor(layout.dlon);
  } catch (const TError&) {
    return nullptr;
  }
  // A factor of 0 would divide by zero in the geometry.
  if (rowFactor == 0 || colFactor == 0) return nullptr;
  return std::unique_ptr<TGeoidGrid>(new TGeoidGrid(std::move(file), layout, rowFactor, colFactor));
}

TGeoidGrid::TGeoidGrid(TMappedFile file, const TGridLayout& l, std::int64_t rowFactor, std::int64_t colFactor)
    : nrows(l.nrows),
      ncols(l.ncols),
      nlat(l.nlat),
      nlon(l.nlon),
      PrePad(l.PrePad),
      south(l.south),
      west(l.west),
      dlat(l.dlat),
      dlon(l.dlon),
      north(l.south + (static_cast<double>(l.nlat) - 1) / (static_cast<double>(rowFactor) / 100)),
      east(l.west + l.nlon / (static_cast<double>(colFactor) / 100)),
      ShiftsEast(l.ShiftsEast),
      FFile(std::move(file)),
      FRowFactor(rowFactor),
      FColFactor(colFactor),
      FWraps(GridWraps(west, east)) {}

}  // namespace tessmar
