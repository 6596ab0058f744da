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
#pragma once

#include <cstdint>
#include <string>

#include "grid/GeoidGrid.hpp"

namespace tessmar {

inline constexpr int GtxHeaderSize = 40;
inline constexpr float GtxNoData = -88.8888f;

struct TGtxHeader {
  double south, west, dlat, dlon;
  std::int32_t rows, cols;
};

void EncodeGtxHeader(const TGtxHeader& header, unsigned char* out);
TGtxHeader DecodeGtxHeader(const unsigned char* in);

// What ImportGtx wrote: the catalogue entry that describes it, and whether a
// whole-circle grid was turned to start at 0 degrees east.
struct TGtxImport {
  TGeoidModel Model;
  std::string Path;
  std::int64_t Size;
  bool Rotated;
};

// Writes the GTX grid at gtxPath to dataDir + fname as a source grid: a record
// per row from north to south, each holding its nodes between two record words
// of its byte length; columns from 0 degrees east. A whole-circle grid is turned
// to start at 0 (a closing column that repeats the first is dropped); a regional
// one keeps its columns and has its west edge brought into 0..360. No-data nodes
// become NaN. Refused: a file whose size is not its header's, counts or spacings
// that are not positive, a spacing that is not 100/n degrees for a whole n (the
// grid geometry rests on n), latitudes outside -90..90, more than a circle of
// longitude, a whole circle without a node at 0 degrees, a result of 2 GiB or
// more, an existing target unless overwrite, and the GTX file itself as target.
TGtxImport ImportGtx(const std::string& gtxPath, const std::string& dataDir, const std::string& fname,
                     const std::string& title, bool overwrite);

// Writes the open grid to path as GTX: its own south, west and spacings (a west
// below 0 or an east past 360 stays as it is), NaN nodes as GtxNoData. Refuses
// an existing file unless overwrite. Returns the bytes written.
std::int64_t ExportGtx(const TGeoidGrid& grid, const std::string& path, bool overwrite);

}  // namespace tessmar
