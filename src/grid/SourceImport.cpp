#include "grid/SourceImport.hpp"

#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

#include "base/AtomicFile.hpp"
#include "base/ByteOrder.hpp"
#include "base/Numeric.hpp"
#include "base/Path.hpp"
#include "base/Platform.hpp"
#include "base/Text.hpp"
#include "grid/Circle.hpp"

namespace tessmar {

namespace {

constexpr double MinSpacing = 100.0 / 2147483648.0;

// n of a spacing that is 100/n degrees for a whole n, to a part in a million (a
// spacing stored in single precision still passes); 0 for any other spacing.
// Spacings finer than 100 / 2^31 degrees (about 5 mm) are refused before n is
// formed: n stays below 2^31, so every product of n and a count fits 64 bits.
std::int64_t ExactNodeFactor(double spacing) {
  if (!(spacing >= MinSpacing) || !std::isfinite(spacing) || spacing > 200) return 0;
  const std::int64_t n = NodeFactor(spacing);
  return n > 0 && std::fabs(spacing * static_cast<double>(n) / 100 - 1) <= 1e-6 ? n : 0;
}

// The source grid's byte limit: node offsets are formed in 32 bits.
constexpr std::int64_t RecordLayoutLimit = std::int64_t{1} << 31;

}  // namespace

std::string SourceGridTarget(const std::string& dataDir, const std::string& fname) {
  const std::string name = TrimBlanks(fname);
  if (name.empty() || HasFolder(name) || name == "." || name == "..")
    throw TError("The grid file name must be a file name without a folder: \"" + fname + "\"");
  return dataDir + name;
}

TSourcePlan PlanSourceGrid(const TRasterNodes& h, const std::string& refused) {
  if (h.rows <= 0 || h.cols <= 0 || h.rows > INT32_MAX || h.cols > INT32_MAX)
    throw TError(refused + "it has " + std::to_string(h.rows) + " rows and " + std::to_string(h.cols) + " columns");
  if (!std::isfinite(h.south) || !std::isfinite(h.west) || !std::isfinite(h.dlat) || !std::isfinite(h.dlon) ||
      h.dlat <= 0 || h.dlon <= 0)
    throw TError(refused + "its corner or spacing is not a positive finite number (south " + ShortestText(h.south) +
                 ", west " + ShortestText(h.west) + ", spacing " + ShortestText(h.dlat) + " x " + ShortestText(h.dlon) +
                 ")");
  if (std::fabs(h.west) > 720)
    throw TError(refused + "its west edge " + ShortestText(h.west) + " degrees lies beyond 720 degrees either way");
  if (h.dlat < MinSpacing || h.dlon < MinSpacing)
    throw TError(refused + "its spacing " + ShortestText(h.dlat) + " x " + ShortestText(h.dlon) +
                 " degrees is finer than " + ShortestText(MinSpacing) + " degrees");
  const std::int64_t rowFactor = ExactNodeFactor(h.dlat), colFactor = ExactNodeFactor(h.dlon);
  if (rowFactor == 0 || colFactor == 0)
    throw TError(refused + "its spacing " + ShortestText(h.dlat) + " x " + ShortestText(h.dlon) +
                 " degrees is not 100/n degrees for a whole n, so its nodes cannot be placed exactly");
  const double north = h.south + (static_cast<double>(h.rows) - 1) / (static_cast<double>(rowFactor) / 100);
  if (h.south < -90 - 1e-9 || north > 90 + 1e-9)
    throw TError(refused + "its latitudes " + ShortestText(h.south) + " to " + ShortestText(north) + " leave -90..90");

  TSourcePlan plan;
  plan.Nodes = h;
  // Columns against the circle, in whole units of 1/n degree.
  std::int64_t nlon = h.cols;
  if (ColumnsAreWholeCircle(h.cols - 1, colFactor)) nlon = h.cols - 1;  // a closing column repeats the first
  const bool wholeCircle = ColumnsAreWholeCircle(nlon, colFactor);
  if (!wholeCircle && nlon * 100 > 360 * colFactor)
    throw TError(refused + "its " + std::to_string(h.cols) + " columns span more than 360 degrees");
  plan.nlon = static_cast<std::int32_t>(nlon);
  if (wholeCircle) {
    const double position = (0 - h.west) * static_cast<double>(colFactor) / 100;
    const double node = std::nearbyint(position);
    if (std::fabs(position - node) > 1e-6 || std::fabs(node) > 4.0 * static_cast<double>(nlon))
      throw TError(refused + "it covers the whole circle but has no node at 0 degrees (west edge " +
                   ShortestText(h.west) + ")");
    plan.Rotation = static_cast<std::int32_t>(((static_cast<std::int64_t>(node) % nlon) + nlon) % nlon);
    plan.west = 0;
  } else {
    // Into [0, 360). A grid across 0 degrees then runs past 360, and the grid
    // reads the longitudes east of 0 there (GridLongitude).
    plan.west = AngleInCircle(h.west);
  }

  plan.RecordWords = nlon + 2;
  if (__builtin_mul_overflow(h.rows, plan.RecordWords * 4, &plan.Bytes) || plan.Bytes >= RecordLayoutLimit)
    throw TError(refused + "as a source grid it would take " +
                 (plan.Bytes >= RecordLayoutLimit ? std::to_string(plan.Bytes) : std::string("more than 2^63")) +
                 " bytes; 2 GiB is the limit");
  return plan;
}

TSourceImport WriteSourceGrid(const TSourcePlan& plan, const std::string& rasterPath, const std::string& target,
                              const std::string& title, bool overwrite, const TRasterRowReader& readRow,
                              const TProgress& progress) {
  if (SameFile(rasterPath, target)) throw TError("The grid file would replace the file it is made from: " + target);
  RefuseToReplace(target, "grid file", overwrite);

  const std::int32_t rows = static_cast<std::int32_t>(plan.Nodes.rows), nlon = plan.nlon;
  TAtomicFile out(target);
  if (!out.Create()) throw TError(out.Failure());
  // One record at a time: record word, nodes, record word (little-endian).
  std::vector<float> values(static_cast<std::size_t>(plan.Nodes.cols));
  std::vector<std::uint32_t> record(static_cast<std::size_t>(plan.RecordWords));
  record.front() = record.back() = SwapTo<std::endian::little>(static_cast<std::uint32_t>(nlon) * 4);
  // Raster columns [from, from + count) to record nodes from `to`.
  const auto store = [&](std::int32_t from, std::int32_t count, std::uint32_t* to) {
    for (std::int32_t k = 0; k < count; ++k)
      to[k] = SwapTo<std::endian::little>(std::bit_cast<std::uint32_t>(values[static_cast<std::size_t>(from + k)]));
  };
  for (std::int32_t row = 0; row < rows; ++row) {
    readRow(std::int64_t{rows} - 1 - row, values.data());
    store(plan.Rotation, nlon - plan.Rotation, &record[1]);
    store(0, plan.Rotation, &record[static_cast<std::size_t>(1 + nlon - plan.Rotation)]);
    if (!out.Write(record.data(), record.size() * 4)) throw TError(out.Failure());
    TellProgress(progress, static_cast<double>(row + 1) / rows);
  }
  const std::int64_t size = out.Size();
  if (!out.Commit()) throw TError(out.Failure());

  TGeoidModel model{title,
                    FileNameOf(target),
                    rows,
                    static_cast<std::int32_t>(plan.RecordWords),
                    plan.Nodes.south,
                    plan.west,
                    plan.Nodes.dlat,
                    plan.Nodes.dlon,
                    rows,
                    nlon,
                    1};
  return {std::move(model), target, size, plan.Rotation != 0};
}

}  // namespace tessmar
