#include "grid/Gtx.hpp"

#include <sys/stat.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

#include "base/AtomicFile.hpp"
#include "base/ByteOrder.hpp"
#include "base/MappedFile.hpp"
#include "base/Path.hpp"
#include "base/Text.hpp"
#include "grid/Circle.hpp"

namespace tessmar {

namespace {

constexpr double MinGtxSpacing = 100.0 / 2147483648.0;

// n of a spacing that is 100/n degrees for a whole n, to a part in a million (a
// spacing stored in single precision still passes); 0 for any other spacing.
// Spacings finer than 100 / 2^31 degrees (about 5 mm) are refused before n is
// formed: n stays below 2^31, so every product of n and a count fits 64 bits.
std::int64_t ExactNodeFactor(double spacing) {
  if (!(spacing >= MinGtxSpacing) || !std::isfinite(spacing) || spacing > 200) return 0;
  const std::int64_t n = NodeFactor(spacing);
  return n > 0 && std::fabs(spacing * static_cast<double>(n) / 100 - 1) <= 1e-6 ? n : 0;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// The source grid's byte limit: node offsets are formed in 32 bits.
constexpr std::int64_t RecordLayoutLimit = std::int64_t{1} << 31;

}  // namespace

void EncodeGtxHeader(const TGtxHeader& header, unsigned char* out) {
  StoreBig(header.south, out);
  StoreBig(header.west, out + 8);
  StoreBig(header.dlat, out + 16);
  StoreBig(header.dlon, out + 24);
  StoreBig(header.rows, out + 32);
  StoreBig(header.cols, out + 36);
}

TGtxHeader DecodeGtxHeader(const unsigned char* in) {
  return {LoadBig<double>(in),      LoadBig<double>(in + 8),        LoadBig<double>(in + 16),
          LoadBig<double>(in + 24), LoadBig<std::int32_t>(in + 32), LoadBig<std::int32_t>(in + 36)};
}

TGtxImport ImportGtx(const std::string& gtxPath, const std::string& dataDir, const std::string& fname,
                     const std::string& title, bool overwrite) {
  const std::string name = TrimBlanks(fname);
  if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..")
    throw TError("The grid file name must be a file name without a folder: \"" + fname + "\"");
  const std::string target = dataDir + name;

  TMappedFile gtx;
  if (!gtx.Open(gtxPath)) throw TError("Cannot read the GTX file " + gtxPath);
  const std::string refused = "Not a usable GTX grid: " + gtxPath + ": ";
  if (gtx.Size() < GtxHeaderSize) throw TError(refused + "shorter than the 40-byte header");
  const TGtxHeader h = DecodeGtxHeader(gtx.Data());
  if (h.rows <= 0 || h.cols <= 0)
    throw TError(refused + "the header gives " + std::to_string(h.rows) + " rows and " + std::to_string(h.cols) +
                 " columns");
  // rows x cols < 2^62 words: compared in words, nothing can overflow.
  const std::int64_t words = (gtx.Size() - GtxHeaderSize) / 4;
  if ((gtx.Size() - GtxHeaderSize) % 4 != 0 || words != std::int64_t{h.rows} * h.cols)
    throw TError(refused + "the header's " + std::to_string(h.rows) + " x " + std::to_string(h.cols) +
                 " nodes do not match the file's " + std::to_string(gtx.Size()) + " bytes");
  if (!std::isfinite(h.south) || !std::isfinite(h.west) || !std::isfinite(h.dlat) || !std::isfinite(h.dlon) ||
      h.dlat <= 0 || h.dlon <= 0)
    throw TError(refused + "the header's corner or spacing is not a positive finite number (south " +
                 ShortestText(h.south) + ", west " + ShortestText(h.west) + ", spacing " + ShortestText(h.dlat) +
                 " x " + ShortestText(h.dlon) + ")");
  if (h.dlat < MinGtxSpacing || h.dlon < MinGtxSpacing)
    throw TError(refused + "its spacing " + ShortestText(h.dlat) + " x " + ShortestText(h.dlon) +
                 " degrees is finer than " + ShortestText(MinGtxSpacing) + " degrees");
  const std::int64_t rowFactor = ExactNodeFactor(h.dlat), colFactor = ExactNodeFactor(h.dlon);
  if (rowFactor == 0 || colFactor == 0)
    throw TError(refused + "its spacing " + ShortestText(h.dlat) + " x " + ShortestText(h.dlon) +
                 " degrees is not 100/n degrees for a whole n, so its nodes cannot be placed exactly");
  const double north = h.south + (static_cast<double>(h.rows) - 1) / (static_cast<double>(rowFactor) / 100);
  if (h.south < -90 - 1e-9 || north > 90 + 1e-9)
    throw TError(refused + "its latitudes " + ShortestText(h.south) + " to " + ShortestText(north) + " leave -90..90");

  // Columns against the circle, in whole units of 1/n degree.
  std::int32_t nlon = h.cols;
  if (ColumnsAreWholeCircle(h.cols - 1, colFactor)) nlon = h.cols - 1;  // a closing column repeats the first
  const bool wholeCircle = ColumnsAreWholeCircle(nlon, colFactor);
  if (!wholeCircle && std::int64_t{nlon} * 100 > 360 * colFactor)
    throw TError(refused + "its " + std::to_string(h.cols) + " columns span more than 360 degrees");
  std::int32_t rotation = 0;  // the GTX column that becomes column 0
  double west = h.west;
  if (wholeCircle) {
    const double position = (0 - h.west) * static_cast<double>(colFactor) / 100;
    const double node = std::nearbyint(position);
    if (std::fabs(position - node) > 1e-6 || std::fabs(node) > 4.0 * nlon)
      throw TError(refused + "it covers the whole circle but has no node at 0 degrees (west edge " +
                   ShortestText(h.west) + ")");
    rotation = static_cast<std::int32_t>(((static_cast<std::int64_t>(node) % nlon) + nlon) % nlon);
    west = 0;
  } else {
    // Into 0..360: a west edge a hair below 0 comes to 360 in the sum and is 0
    // again, its nodes where they were to within rounding. A grid across 0
    // degrees then runs past 360, and the grid reads the longitudes east of 0
    // there (TGeoidGrid::GridLongitude).
    west = std::fmod(h.west, 360.0);
    if (west < 0) west += 360;
    if (west >= 360) west = 0;
  }

  const std::int64_t recordWords = std::int64_t{nlon} + 2;
  std::int64_t bytes = 0;
  if (__builtin_mul_overflow(std::int64_t{h.rows}, recordWords * 4, &bytes) || bytes >= RecordLayoutLimit)
    throw TError(refused + "as a source grid it would take " +
                 (bytes >= RecordLayoutLimit ? std::to_string(bytes) : std::string("more than 2^63")) +
                 " bytes; 2 GiB is the limit");
  if (SameFile(gtxPath, target)) throw TError("The grid file would replace the GTX file itself: " + target);
  if (!overwrite && PathExists(target)) throw TError("The grid file already exists: " + target);

  TAtomicFile out(target);
  if (!out.Create()) throw TError("Cannot write in the data folder " + dataDir);
  // One record at a time: record word, nodes, record word (little-endian).
  std::vector<std::uint32_t> record(static_cast<std::size_t>(recordWords));
  const std::uint32_t recordBytes = SwapTo<std::endian::little>(static_cast<std::uint32_t>(nlon) * 4);
  const std::uint32_t noValue = SwapTo<std::endian::little>(std::bit_cast<std::uint32_t>(NoValue()));
  const std::uint32_t noData = std::bit_cast<std::uint32_t>(GtxNoData);  // equal as numbers = equal in bits
  record.front() = record.back() = recordBytes;
  const unsigned char* values = gtx.Data() + GtxHeaderSize;
  // GTX columns [from, from + count) to record nodes from `to`: a plain loop the
  // compiler vectorises.
  const auto convert = [&](const unsigned char* row, std::int32_t from, std::int32_t count, std::uint32_t* to) {
    for (std::int32_t k = 0; k < count; ++k) {
      std::uint32_t bits;
      std::memcpy(&bits, row + (std::int64_t{from} + k) * 4, 4);
      bits = SwapTo<std::endian::big>(bits);
      to[k] = bits == noData ? noValue : SwapTo<std::endian::little>(bits);
    }
  };
  for (std::int32_t row = 0; row < h.rows; ++row) {
    const unsigned char* from = values + (std::int64_t{h.rows} - 1 - row) * h.cols * 4;
    convert(from, rotation, nlon - rotation, &record[1]);
    convert(from, 0, rotation, &record[1 + nlon - rotation]);
    if (!out.Write(record.data(), record.size() * 4))
      throw TError("Cannot write " + target + ": the disk is full or the file too large");
    if (gtx.Changed()) throw TError("The GTX file changed while in use: " + gtxPath);
  }
  const std::int64_t size = out.Size();
  if (!out.Commit()) throw TError("Cannot write " + target);

  TGeoidModel model{title,  name, h.rows, static_cast<std::int32_t>(recordWords), h.south, west, h.dlat, h.dlon,
                    h.rows, nlon, 1};
  return {std::move(model), target, size, rotation != 0};
}

std::int64_t ExportGtx(const TGeoidGrid& grid, const std::string& path, bool overwrite) {
  if (!overwrite && PathExists(path)) throw TError("The GTX file already exists: " + path);
  TAtomicFile out(path);
  if (!out.Create()) throw TError("Cannot write in the folder of " + path);
  unsigned char header[GtxHeaderSize];
  EncodeGtxHeader({grid.south, grid.west, grid.dlat, grid.dlon, grid.nlat, grid.nlon}, header);
  bool written = out.Write(header, sizeof header);
  // A grid without nodes writes no row: its row buffer, and its rows, are
  // bounded by the nodes it has.
  std::vector<std::uint32_t> row(grid.nlat > 0 ? static_cast<std::size_t>(std::max(grid.nlon, 0)) : 0);
  const std::uint32_t noData = SwapTo<std::endian::big>(std::bit_cast<std::uint32_t>(GtxNoData));
  for (std::int32_t r = grid.nlat - 1; written && r >= 0 && !row.empty(); --r) {
    for (std::int32_t c = 0; c < grid.nlon; ++c) {
      const float value = grid.ReadNode(r, c);
      row[c] = std::isnan(value) ? noData : SwapTo<std::endian::big>(std::bit_cast<std::uint32_t>(value));
    }
    if (grid.FileChanged()) throw TError(CustomChangedText);
    written = out.Write(row.data(), row.size() * 4);
  }
  const std::int64_t size = out.Size();
  if (!written || !out.Commit()) throw TError("Cannot write " + path + ": the disk is full or the file too large");
  return size;
}

}  // namespace tessmar
