// Source grids: opening a catalogue model's grid file, and nearest-node
// sampling. Node reads report every failure as NaN.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "grid/GeoidGrid.hpp"

namespace tessmar {

// The model's grid file in dataDir, opened; null when it cannot be mapped or
// the model's spacings give no grid geometry.
std::unique_ptr<TGeoidGrid> OpenSourceGrid(const std::string& dataDir, const TGeoidModel& model);

// The grid's value at the node nearest to (lat, lon), degrees; NaN when none.
float NearestNode(const TGeoidGrid& grid, double lat, double lon);

// The two halves of NearestNode, so a row of nodes at one latitude can take its
// row once: NearestNode(lat, lon) = ReadNode(NearestRow(lat), NearestColumn(lon)).
// An index beyond 32 bits comes back as one that no grid has.
std::int32_t NearestRow(const TGeoidGrid& grid, double lat);
std::int32_t NearestColumn(const TGeoidGrid& grid, double lon);

}  // namespace tessmar
