// A source grid described by a catalogue entry from the input over a small
// grid file. Input: int32 nrows, ncols, nlat, nlon, PrePad, then float64 glamn,
// glomn, dgla, dglo (52 bytes, little-endian); the rest is the grid file.
// When it opens, the nodes read what the file holds where the layout puts
// them (NaN elsewhere), rows and runs read as nodes do, and values at points
// come without fault, the same one at a time as in a batch.
#include <cmath>
#include <iterator>
#include <limits>

#include "FuzzSupport.hpp"
#include "grid/Interpolation.hpp"
#include "grid/Source.hpp"

using namespace tessmar;

namespace {
constexpr std::size_t EntrySize = 52;

// A node by 64-bit indexes: past 32 bits is outside every grid.
float Node(const TGeoidGrid& g, std::int64_t row, std::int64_t column) {
  constexpr std::int64_t Last = std::numeric_limits<std::int32_t>::max();
  if (row > Last || column > Last) return NoValue();
  return g.ReadNode(static_cast<std::int32_t>(row), static_cast<std::int32_t>(column));
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < EntrySize) return 0;
  const fuzz::TInput in(data, size);
  const TGeoidModel model{"Fuzzed",
                          "fuzzed.grid",
                          in.At<std::int32_t>(0),
                          in.At<std::int32_t>(4),
                          in.At<double>(20),
                          in.At<double>(28),
                          in.At<double>(36),
                          in.At<double>(44),
                          in.At<std::int32_t>(8),
                          in.At<std::int32_t>(12),
                          in.At<std::int32_t>(16)};
  fuzz::WriteInput(model.fname, data + EntrySize, size - EntrySize);
  const auto grid = OpenSourceGrid(fuzz::Scratch().Path(), model);
  if (!grid) return 0;
  const TGeoidGrid& g = *grid;
  const std::uint8_t* file = data + EntrySize;
  const std::int64_t words = static_cast<std::int64_t>(size - EntrySize) / 4;

  // The first and last few rows and columns, and one beyond each edge.
  const auto indexes = [](std::int32_t count) {
    std::vector<std::int32_t> list;
    for (std::int64_t k = -1; k <= 4; ++k) list.push_back(static_cast<std::int32_t>(k));
    for (std::int64_t k = std::int64_t{count} - 4; k <= std::int64_t{count}; ++k)
      if (k > 4) list.push_back(static_cast<std::int32_t>(k));
    return list;
  };
  const std::vector<std::int32_t> rows = indexes(g.nlat), cols = indexes(g.nlon);
  std::vector<std::int32_t> wrapped;
  for (const std::int32_t c : cols) wrapped.push_back(g.WrappedColumn(c));
  std::vector<float> row(cols.size());
  for (const std::int32_t r : rows) {
    g.ReadRow(r, wrapped.data(), wrapped.size(), row.data());
    for (std::size_t k = 0; k < cols.size(); ++k) {
      const std::int32_t c = wrapped[k];
      float expected = NoValue();
      if (r >= 0 && r < g.nlat && c >= 0) {
        const std::int64_t word = std::int64_t{r} * g.ncols + c + g.PrePad;
        if (word >= 0 && word < words) {
          const float v = LoadLittle<float>(file + 4 * word);
          if (std::fabs(static_cast<double>(v)) < 200.0) expected = v;
        }
      }
      FUZZ_CHECK(fuzz::SameBits(g.ReadNode(r, cols[k]), expected));
      FUZZ_CHECK(fuzz::SameBits(row[k], expected));
    }
    // Runs and windows from each of those columns read as their nodes do.
    for (const std::int32_t c : cols) {
      float run[6], block[6][6];
      g.ReadRun(r, c, 6, run);
      for (std::int64_t k = 0; k < 6; ++k) FUZZ_CHECK(fuzz::SameBits(run[k], Node(g, r, c + k)));
      g.ReadBlock(r, c, 6, 6, block[0], 6);
      for (std::int64_t i = 0; i < 6; ++i)
        for (std::int64_t k = 0; k < 6; ++k) FUZZ_CHECK(fuzz::SameBits(block[i][k], Node(g, r + i, c + k)));
    }
  }

  const double points[][2] = {{g.north, g.west},
                              {g.south, g.east},
                              {(g.north + g.south) / 2, (g.west + g.east) / 2},
                              {g.south + g.dlat / 3, g.west + g.dlon / 3},
                              {90, 0},
                              {-90, 359.99},
                              {0, -180}};
  double lats[std::size(points)], lons[std::size(points)], batch[std::size(points)];
  for (std::size_t k = 0; k < std::size(points); ++k) {
    const auto [lat, lon] = points[k];
    const float nearest = NearestNode(g, lat, lon);
    FUZZ_CHECK(std::isnan(nearest) || std::fabs(nearest) < 200);
    FUZZ_CHECK(fuzz::SameBits(nearest, g.ReadNode(NearestRow(g, lat), NearestColumn(g, lon))));
    (void)WindowSpline(g, 4, lat, lon);
    lats[k] = lat;
    lons[k] = lon;
  }
  // The points as a batch give what each gives alone.
  SourceValues(&g, lats, lons, std::size(points), batch);
  for (std::size_t k = 0; k < std::size(points); ++k)
    FUZZ_CHECK(fuzz::SameValue(batch[k], SourceValue(&g, lats[k], lons[k])));
  return 0;
}
