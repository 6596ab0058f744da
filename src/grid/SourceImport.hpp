// Source grids made from exchange rasters (GTX, and whatever GDAL opens): the
// rules every import applies to a raster's nodes, and the one writer of the
// record layout the model catalogue describes. A format's reader finds the
// nodes and hands over their values row by row; everything else is here, so
// the formats cannot disagree on what they accept or how they write it.
// Thread-safe for different files; one import's writer belongs to one thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/Progress.hpp"
#include "grid/GeoidGrid.hpp"

namespace tessmar {

// A raster's nodes as its reader finds them: the southwest node, the spacings
// (degrees) and the counts; rows from the south, each row from the west.
struct TRasterNodes {
  double south = 0, west = 0, dlat = 0, dlon = 0;
  std::int64_t rows = 0, cols = 0;
};

// How those nodes become a source grid.
struct TSourcePlan {
  TRasterNodes Nodes;
  std::int32_t nlon = 0;         // columns kept: a closing column that repeats the first is dropped
  std::int32_t Rotation = 0;     // the raster column that becomes column 0
  double west = 0;               // longitude of column 0: 0 for a whole circle, else in 0..360
  std::int64_t RecordWords = 0;  // nlon + the two record words
  std::int64_t Bytes = 0;        // the grid file's size
};

// What an import wrote: the catalogue entry that describes it, and whether a
// whole-circle grid was turned to start at 0 degrees east.
struct TSourceImport {
  TGeoidModel Model;
  std::string Path;
  std::int64_t Size;
  bool Rotated;
};

// The grid file an import of that name writes in dataDir; throws TError for a
// name that is not a plain file name.
std::string SourceGridTarget(const std::string& dataDir, const std::string& fname);

// The rules, each refusal a TError whose text starts with `refused`: counts and
// spacings positive and finite, spacings 100/n degrees for a whole n (to a part
// in a million: the grid geometry rests on n), latitudes within -90..90, no more
// than a circle of longitude, a whole circle with a node at 0 degrees (it is
// turned to start there), and a grid file under 2 GiB (node offsets are formed
// in 32 bits). A regional grid keeps its columns and has its west edge brought
// into 0..360.
TSourcePlan PlanSourceGrid(const TRasterNodes& nodes, const std::string& refused);

// Fills values[0 .. cols) with the raster's row `row` (counted from the south),
// west to east; a node without a value is NoValue(). Throws TError when the
// raster cannot be read.
using TRasterRowReader = std::function<void(std::int64_t row, float* values)>;

// Writes the planned grid to `target`: a record per row from north to south,
// each holding its nodes (little-endian float32, column 0 first) between two
// record words of its byte length. Through a temporary file renamed into place:
// nothing is written on any failure. Refuses the raster itself as target, and an
// existing target unless overwrite. Tells `progress` after each row.
TSourceImport WriteSourceGrid(const TSourcePlan& plan, const std::string& rasterPath, const std::string& target,
                              const std::string& title, bool overwrite, const TRasterRowReader& readRow,
                              const TProgress& progress = {});

}  // namespace tessmar
