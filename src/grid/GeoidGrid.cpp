#include "grid/GeoidGrid.hpp"

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

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

void TGeoidGrid::ReadRun(std::int32_t row, std::int32_t column, std::size_t count, float* out) const noexcept {
  const std::int64_t word = static_cast<std::int64_t>(row) * ncols + column + PrePad;
  const bool inFile = row >= 0 && row < nlat && column >= 0 && column + static_cast<std::int64_t>(count) <= nlon &&
                      word >= 0 && word + static_cast<std::int64_t>(count) <= FFile.Size() / 4;
  if (!inFile || !FFile.ReadAt(4 * word, out, 4 * count)) {
    for (std::size_t k = 0; k < count; ++k) {
      const std::int64_t c = column + static_cast<std::int64_t>(k);
      out[k] = c <= std::numeric_limits<std::int32_t>::max() ? ReadNode(row, static_cast<std::int32_t>(c)) : NoValue();
    }
    return;
  }
  // The file's bytes, in place: ReadNode's rule node by node, four at a time
  // where the file's byte order is the machine's (|v| < 200 in float32 is the
  // same test as in float64: the widening is exact).
  std::size_t k = 0;
  if constexpr (std::endian::native == std::endian::little) {
    using TInt4 = std::int32_t __attribute__((vector_size(16)));
    using TFloat4 = float __attribute__((vector_size(16)));
    const TInt4 missing = TInt4{} + std::bit_cast<std::int32_t>(NoValue());
    for (; k + 4 <= count; k += 4) {
      TInt4 bits;
      std::memcpy(&bits, out + k, sizeof bits);
      const TInt4 valid = reinterpret_cast<TFloat4>(bits & 0x7FFFFFFF) < 200.0f;  // false for NaN
      bits = (bits & valid) | (missing & ~valid);
      std::memcpy(out + k, &bits, sizeof bits);
    }
  }
  const auto* bytes = reinterpret_cast<const unsigned char*>(out);
  for (; k < count; ++k) out[k] = Plausible(LoadFloat(bytes + 4 * k));
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
