#include "grid/Check.hpp"

#include <algorithm>
#include <cmath>

#include "base/Path.hpp"
#include "base/Text.hpp"

namespace tessmar {

namespace {
// A conversion writes files below 2 GiB; a larger one is none of its.
constexpr std::int64_t MaxCustomFileBytes = std::int64_t{1} << 31;

// A trailer that no conversion could have written: its numbers would make
// every later computation on the grid meaningless (an infinite west, say), or
// its work absurd (a scan down a billion rows of a grid that spans more than
// the sphere). A conversion spans at most 180 degrees of latitude and 360 of
// longitude, give or take a spacing of rounding.
bool PlausibleTrailer(const TCustomTrailer& t) {
  const bool finite = std::isfinite(t.south) && std::isfinite(t.west) && std::isfinite(t.dlat) && std::isfinite(t.dlon);
  return finite && t.rows >= 0 && t.cols >= 0 && t.dlat > 0 && t.dlon > 0 && t.south >= -90 && t.south <= 90 &&
         t.west >= -360 && t.west <= 720 && static_cast<double>(t.rows) <= 180 / t.dlat + 2 &&
         static_cast<double>(t.cols) <= 360 / t.dlon + 2;
}
}  // namespace

void EncodeTrailer(const TCustomTrailer& t, unsigned char* out) {
  StoreFields<std::endian::little>(out, t.rows, t.cols, t.south, t.west, t.dlat, t.dlon);
}

TCustomTrailer DecodeTrailer(const unsigned char* in) {
  return {LoadLittle<std::int32_t>(in), LoadLittle<std::int32_t>(in + 4), LoadLittle<double>(in + 8),
          LoadLittle<double>(in + 16),  LoadLittle<double>(in + 24),      LoadLittle<double>(in + 32)};
}

std::string CustomFilePath(const std::string& dataDir, const std::string& typedName, const std::string& ext) {
  std::string path = FolderOf(dataDir) + TypedFileName(TrimBlanks(typedName));
  if (const auto dot = ExtensionStart(path); dot != std::string::npos) path.erase(dot);
  return path + ext;
}

TCustomOpen OpenCustomGrid(const std::string& path) {
  TCustomOpen result;
  TMappedFile file;
  if (!file.Open(path)) {
    result.Failure = TCustomFailure::NotFound;
    return result;
  }
  const std::int64_t size = file.Size();
  result.Failure = TCustomFailure::Illegal;
  if (size < CustomTrailerSize) return result;
  const TCustomTrailer t = DecodeTrailer(file.Data() + size - CustomTrailerSize);
  if (!PlausibleTrailer(t)) return result;
  // Counts known not negative, each below 2^31: their products are below 2^62,
  // compared in nodes so that nothing can wrap round to the file's size.
  const std::int64_t nodes = std::int64_t{t.rows} * t.cols;
  if (size >= MaxCustomFileBytes || (size - CustomTrailerSize) % 4 != 0 || (size - CustomTrailerSize) / 4 != nodes)
    return result;
  // A conversion writes at least one row and one column: a count with none
  // beside it is bounded as if there were one, so that a row count of a
  // billion without columns walks no billion rows.
  const std::int64_t written = std::max<std::int64_t>(t.rows, 1) * std::max<std::int64_t>(t.cols, 1);
  if (written * 4 + CustomTrailerSize >= MaxCustomFileBytes) return result;

  const TGridLayout layout{t.rows, t.cols, t.rows, t.cols, 0, t.south, t.west, t.dlat, t.dlon, true};
  result.Grid = TGeoidGrid::Make(std::move(file), layout);
  result.Failure = result.Grid ? TCustomFailure::None : TCustomFailure::NotFound;
  return result;
}

}  // namespace tessmar
