#include "grid/Source.hpp"

#include <limits>

#include "grid/Circle.hpp"

namespace tessmar {

std::unique_ptr<TGeoidGrid> OpenSourceGrid(const std::string& dataDir, const TGeoidModel& model) {
  TMappedFile file;
  if (!file.Open(ModelFilePath(dataDir, model))) return nullptr;
  return TGeoidGrid::Make(std::move(file), ModelLayout(model));
}

namespace {
std::int32_t NearestIndex(double position) {
  const double index = RoundToEven(position);
  // Also false for NaN: an index no grid has, rather than one wrapped onto a real node.
  return index >= std::numeric_limits<std::int32_t>::min() && index <= std::numeric_limits<std::int32_t>::max()
             ? static_cast<std::int32_t>(index)
             : std::numeric_limits<std::int32_t>::min();
}
}  // namespace

std::int32_t NearestRow(const TGeoidGrid& grid, double lat) {
  return NearestIndex(grid.RowPosition(ClampLatitude(lat)));
}

std::int32_t NearestColumn(const TGeoidGrid& grid, double lon) {
  return NearestIndex(grid.ColPosition(grid.GridLongitude(lon)));
}

float NearestNode(const TGeoidGrid& grid, double lat, double lon) {
  return grid.ReadNode(NearestRow(grid, lat), NearestColumn(grid, lon));
}

}  // namespace tessmar
