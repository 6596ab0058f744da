#include "grid/Source.hpp"

#include <cstdint>
#include <limits>

#include "base/Numeric.hpp"
#include "base/Path.hpp"
#include "grid/Circle.hpp"

namespace tessmar {

TSourceOpen OpenSource(const std::string& dataDir, const TGeoidModel& model) {
  TSourceOpen result;
  const std::string path = ModelFilePath(dataDir, model);
  TMappedFile file;
  if (!file.Open(path)) {
    result.Failure = IsFolder(path) ? TSourceFailure::NotUsable : TSourceFailure::NotFound;
    if (result.Failure == TSourceFailure::NotUsable) result.Reason = "it is a folder";
    return result;
  }
  // An entry that describes no grid on the earth reads nothing, whatever the file.
  if (const auto fault = CheckModel(model)) {
    result.Failure = TSourceFailure::NotUsable;
    result.Reason = ModelFaultText(model, *fault);
    return result;
  }
  // Counts below 2^31 each: the product of the two and 4 fits in 64 unsigned bits.
  if (model.nrows >= 0 && model.ncols >= 0) {
    const std::uint64_t expected =
        static_cast<std::uint64_t>(model.nrows) * static_cast<std::uint64_t>(model.ncols) * 4;
    if (static_cast<std::uint64_t>(file.Size()) != expected) {
      result.Failure = TSourceFailure::NotUsable;
      result.Reason =
          "it is " + IntToGroupedStr(file.Size()) + " bytes where its catalogue entry gives " +
          std::to_string(model.nrows) + " records of " + std::to_string(model.ncols) + " words, " +
          (expected <= static_cast<std::uint64_t>(INT64_MAX) ? IntToGroupedStr(static_cast<std::int64_t>(expected))
                                                             : std::to_string(expected)) +
          " bytes: a download that did not finish, or another file under this name";
      return result;
    }
  }
  result.Grid = TGeoidGrid::Make(std::move(file), ModelLayout(model));
  if (!result.Grid) result.Failure = TSourceFailure::NoGeometry;
  return result;
}

std::unique_ptr<TGeoidGrid> OpenSourceGrid(const std::string& dataDir, const TGeoidModel& model) {
  return OpenSource(dataDir, model).Grid;
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
