// Source grids: opening a catalogue model's grid file, and nearest-node
// sampling. Node reads report every failure as NaN.
// Thread-safe: nothing shared; an open grid's reads are safe from several
// threads at once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "grid/GeoidGrid.hpp"

namespace tessmar {

// Why a source grid did not open.
enum class TSourceFailure : std::uint8_t {
  None,
  NotFound,    // no file at the path, or it cannot be read
  NotUsable,   // a folder, a catalogue entry that describes no grid on the earth (CheckModel),
               // or a file whose size is not what the entry gives
  NoGeometry,  // the entry's spacings give no grid
};

struct TSourceOpen {
  std::unique_ptr<TGeoidGrid> Grid;  // null on failure
  TSourceFailure Failure = TSourceFailure::None;
  std::string Reason;  // NotUsable: why, with the sizes, for the user
};

// The model's grid file in dataDir, opened and checked against its catalogue
// entry, itself checked first (CheckModel): exactly nrows records of ncols 4-byte words, so that no node of it
// is read from a file of another grid or from an unfinished download.
TSourceOpen OpenSource(const std::string& dataDir, const TGeoidModel& model);
// OpenSource's grid; null on any failure.
std::unique_ptr<TGeoidGrid> OpenSourceGrid(const std::string& dataDir, const TGeoidModel& model);

// The grid's value at the node nearest to (lat, lon), degrees; NaN when none.
float NearestNode(const TGeoidGrid& grid, double lat, double lon);

// The two halves of NearestNode, so a row of nodes at one latitude can take its
// row once: NearestNode(lat, lon) = ReadNode(NearestRow(lat), NearestColumn(lon)).
// An index beyond 32 bits comes back as one that no grid has.
std::int32_t NearestRow(const TGeoidGrid& grid, double lat);
std::int32_t NearestColumn(const TGeoidGrid& grid, double lon);

}  // namespace tessmar
