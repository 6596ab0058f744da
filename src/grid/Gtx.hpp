// GTX vertical grids, the exchange format that PROJ (vgridshift) and GDAL read:
// a 40-byte big-endian header (float64 south, west, dlat, dlon: the lower-left
// node and the spacings, degrees; int32 rows, cols), then rows x cols big-endian
// float32 values, rows from south to north, each row west to east, -88.8888
// where there is no value.
//
// ImportGtx turns one into a source grid in the record layout that the model
// catalogue describes; ExportGtx writes a grid (the custom geoid) as one. Both
// write through a temporary file renamed into place and refuse what they cannot
// write faithfully by throwing TError with a message for the user, leaving
// nothing behind.
// Thread-safe for different files.
#pragma once

#include <cstdint>
#include <string>

#include "grid/GeoidGrid.hpp"
#include "grid/SourceImport.hpp"

namespace tessmar {

inline constexpr int GtxHeaderSize = 40;
inline constexpr float GtxNoData = -88.8888f;

struct TGtxHeader {
  double south, west, dlat, dlon;
  std::int32_t rows, cols;
};

void EncodeGtxHeader(const TGtxHeader& header, unsigned char* out);
TGtxHeader DecodeGtxHeader(const unsigned char* in);

using TGtxImport = TSourceImport;

// Writes the GTX grid at gtxPath to dataDir + fname as a source grid, by the
// rules and the writer every import shares (grid/SourceImport.hpp). No-data
// nodes become NaN. Refused besides what those rules refuse: a file shorter than
// its header or whose size is not its header's, counts that are not positive.
TGtxImport ImportGtx(const std::string& gtxPath, const std::string& dataDir, const std::string& fname,
                     const std::string& title, bool overwrite, const TProgress& progress = {});

// Writes the open grid to path as GTX: its own south and spacings, its west
// edge as ExchangeWest places it, NaN nodes as GtxNoData. Refuses
// an existing file unless overwrite. Returns the bytes written.
// Tells `progress` after each row.
std::int64_t ExportGtx(const TGeoidGrid& grid, const std::string& path, bool overwrite, const TProgress& progress = {});

}  // namespace tessmar
