// The selected source model: opening, closing, nearest-node sampling.
// Open failures are shown through the session's view and reported as false;
// node reads report every failure as NaN.
#pragma once

#include <string>

#include "grid/Session.hpp"
#include "grid/Text.hpp"

namespace tessmar {

// Opens SourceGrid from DataDir + model.fname. False after the message
// "Geoid file is not found: " CR LF fname; SourceGrid is then closed.
bool OpenModel(TSession& session, const TGeoidModel& model);

// Entry 0 when ComboBoxGeoid's text is its title exactly, else entry 1 (and the
// combo box then shows entry 1's title). Sets SourceOpen and RadioButton0's caption.
void OpenSelectedModel(TSession& session);

// The catalogue index that ComboBoxGeoid's text selects.
int SelectedModelIndex(const TSession& session);

void CloseSource(TSession& session);    // closes SourceGrid, clears SourceOpen
void ReleaseSource(TSession& session);  // closes SourceGrid at shutdown only

// SourceGrid's value at the node nearest to (lat, lon), degrees; NaN when none.
float NearestNode(const TSession& session, double lat, double lon);

// The two halves of NearestNode, so a row of nodes at one latitude can take its
// row once: NearestNode(lat, lon) = ReadNode(NearestRow(lat), NearestColumn(lon)).
// An index beyond 32 bits comes back as one that no grid has.
std::int32_t NearestRow(const TGeoidGrid& grid, double lat);
std::int32_t NearestColumn(const TGeoidGrid& grid, double lon);

}  // namespace tessmar
