#include "grid/GeoidGrid.hpp"

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include "base/Numeric.hpp"
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

std::optional<TModelFault> CheckModel(const TGeoidModel& m) {
  const auto count = [](std::int32_t n) { return std::to_string(n); };
  const auto fault = [](const char* key, std::string reason) {
    return std::optional<TModelFault>(TModelFault{key, std::move(reason)});
  };
  // Rows and columns within a hair of their limits: a spacing stored with 15
  // digits still places the last node exactly, and is accepted as it stands.
  constexpr double Hair = 1e-9;
  if (m.nrows < 1) return fault("nrows", count(m.nrows) + ": a grid file holds at least one record");
  if (m.ncols < 1) return fault("ncols", count(m.ncols) + ": a record holds at least one word");
  if (!std::isfinite(m.glamn) || m.glamn < -90 - Hair || m.glamn > 90 + Hair)
    return fault("glamn", ShortestText(m.glamn) + " is no latitude: the southern row lies within -90..90");
  if (!std::isfinite(m.glomn) || std::fabs(m.glomn) > 360)
    return fault("glomn", ShortestText(m.glomn) + " is no longitude: column 0 lies within -360..360");
  for (const auto& [key, spacing] : {std::pair{"dgla", m.dgla}, std::pair{"dglo", m.dglo}}) {
    if (!(spacing > 0 && spacing < 360))
      return fault(key, ShortestText(spacing) + " is no spacing: a spacing lies above 0 and below 360 degrees");
    // Finer than a nanodegree, nodes per degree would not count in 64 bits.
    if (spacing < 1e-9)
      return fault(key, ShortestText(spacing) + " is too fine a spacing: a spacing lies above 1e-9 degrees");
    if (NodeFactor(spacing) < 1)
      return fault(key, ShortestText(spacing) + " gives no nodes per degree: a spacing lies below 200 degrees");
  }
  if (m.nlat < 1) return fault("nlat", count(m.nlat) + ": a grid has at least one row");
  if (m.nlat > m.nrows)
    return fault("nlat", count(m.nlat) + " rows where the file has " + count(m.nrows) + " records (nrows)");
  if (m.nlon < 1) return fault("nlon", count(m.nlon) + ": a grid has at least one column");
  if (m.PrePad < 0) return fault("PrePad", count(m.PrePad) + ": no record starts before its first word");
  if (std::int64_t{m.PrePad} + m.nlon > m.ncols)
    return fault("ncols", count(m.ncols) + " words a record hold no " + count(m.nlon) + " nodes (nlon) after " +
                              count(m.PrePad) + " (PrePad)");
  const double north = m.glamn + (static_cast<double>(m.nlat) - 1) / NodesPerDegree(m.dgla);
  if (north > 90 + Hair)
    return fault("glamn", ShortestText(m.glamn) + " and " + count(m.nlat) + " rows (nlat) at " + ShortestText(m.dgla) +
                              " (dgla) reach " + ShortestText(north) + " degrees north: a grid lies within -90..90");
  const double span = (static_cast<double>(m.nlon) - 1) / NodesPerDegree(m.dglo);
  if (span > 360 + Hair)
    return fault("nlon", count(m.nlon) + " columns at " + ShortestText(m.dglo) + " (dglo) span " + ShortestText(span) +
                             " degrees: a grid spans no more than the circle");
  return std::nullopt;
}

std::string ModelFaultText(const TGeoidModel& model, const TModelFault& fault) {
  return (model.ReadFrom.empty() ? "catalogue entry \"" + model.title + "\"," : model.ReadFrom) + " key " + fault.Key +
         ": " + fault.Reason;
}

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
