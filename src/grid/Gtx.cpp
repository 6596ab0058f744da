#include "grid/Gtx.hpp"

#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

#include "base/AtomicFile.hpp"
#include "base/ByteOrder.hpp"
#include "base/MappedFile.hpp"
#include "base/Numeric.hpp"
#include "base/Path.hpp"
#include "grid/Circle.hpp"
#include "grid/SourceImport.hpp"

namespace tessmar {

void EncodeGtxHeader(const TGtxHeader& h, unsigned char* out) {
  StoreFields<std::endian::big>(out, h.south, h.west, h.dlat, h.dlon, h.rows, h.cols);
}

TGtxHeader DecodeGtxHeader(const unsigned char* in) {
  return {LoadBig<double>(in),      LoadBig<double>(in + 8),        LoadBig<double>(in + 16),
          LoadBig<double>(in + 24), LoadBig<std::int32_t>(in + 32), LoadBig<std::int32_t>(in + 36)};
}

TGtxImport ImportGtx(const std::string& gtxPath, const std::string& dataDir, const std::string& fname,
                     const std::string& title, bool overwrite, const TProgress& progress) {
  const std::string target = SourceGridTarget(dataDir, fname);

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
  const TSourcePlan plan = PlanSourceGrid({h.south, h.west, h.dlat, h.dlon, h.rows, h.cols}, refused);

  const std::uint32_t noData = std::bit_cast<std::uint32_t>(GtxNoData);  // equal as numbers = equal in bits
  const unsigned char* values = gtx.Data() + GtxHeaderSize;
  // A plain loop the compiler vectorises.
  return WriteSourceGrid(
      plan, gtxPath, target, title, overwrite,
      [&](std::int64_t row, float* to) {
        const unsigned char* from = values + row * h.cols * 4;
        for (std::int32_t k = 0; k < h.cols; ++k) {
          std::uint32_t bits;
          std::memcpy(&bits, from + std::int64_t{k} * 4, 4);
          bits = SwapTo<std::endian::big>(bits);
          to[k] = bits == noData ? NoValue() : std::bit_cast<float>(bits);
        }
        if (gtx.Changed()) throw TError("The GTX file changed while in use: " + gtxPath);
      },
      progress);
}

std::int64_t ExportGtx(const TGeoidGrid& grid, const std::string& path, bool overwrite, const TProgress& progress) {
  RefuseToReplace(path, "GTX file", overwrite);
  TAtomicFile out(path);
  if (!out.Create()) throw TError(out.Failure());
  unsigned char header[GtxHeaderSize];
  EncodeGtxHeader(
      {grid.south, ExchangeWest(grid.west, grid.nlon, grid.dlon), grid.dlat, grid.dlon, grid.nlat, grid.nlon}, header);
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
    TellProgress(progress, static_cast<double>(grid.nlat - r) / grid.nlat);
  }
  const std::int64_t size = out.Size();
  if (!written || !out.Commit()) throw TError(out.Failure());
  return size;
}

}  // namespace tessmar
