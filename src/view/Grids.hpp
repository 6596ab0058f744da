// The session's two grids as the operations open and close them: the grid
// layer says why an open failed, this layer shows it to the user in the
// program's own words.
#pragma once

#include <string>

#include "grid/Check.hpp"
#include "grid/Source.hpp"
#include "view/Session.hpp"

namespace tessmar {

// Opens SourceGrid from DataDir + model.fname. False after the message
// "Geoid file is not found: " CR LF fname; SourceGrid is then closed.
bool OpenModel(TSession& session, const TGeoidModel& model);

// Entry 0 when ComboBoxGeoid's text is its title exactly, else entry 1 (and the
// combo box then shows entry 1's title). Opens it and sets RadioButton0's caption.
void OpenSelectedModel(TSession& session);

// The catalogue index that ComboBoxGeoid's text selects.
int SelectedModelIndex(const TSession& session);

void CloseSource(TSession& session);    // closes SourceGrid
void ReleaseSource(TSession& session);  // closes SourceGrid at shutdown

// The custom geoid file's path from DataDir, EditFname and OutputExt.
std::string CustomGeoidFileName(const TSession& session);

// Opens path as CustomGrid. False after "Illegal Custom geoid file: " CR LF CR LF
// path (wrong size, or a trailer no conversion could have written) or
// "Geoid file is not found: " CR LF path (cannot open, no geometry).
bool OpenCustomFile(TSession& session, const std::string& path);

// Closes CustomGrid, and the source grid with it: custom and source files
// share DataDir, so the next check or scan opens the selected model anew.
// Not for a long operation that is reading the source grid.
void CloseCustomFile(TSession& session);

bool CustomIsOpen(const TSession& session);
std::int64_t CustomFileSize(const TSession& session);  // 0 when none is open

// The session's grids' values at a point (NaN where a grid is closed).
double SourceValue(const TSession& session, double lat, double lon);
float CustomValue(const TSession& session, double lat, double lon);
float NearestNode(const TSession& session, double lat, double lon);

}  // namespace tessmar
