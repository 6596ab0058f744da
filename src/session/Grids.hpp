// The session's two grids as the operations open and close them: the grid
// layer says why an open failed, this layer shows it to the user in the
// program's own words.
// Not thread-safe: opening and closing belong to the session's thread; the
// value reads (SourceValue, CustomValue, NearestNode) of open grids are safe
// from several threads at once.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "grid/Check.hpp"
#include "grid/Source.hpp"
#include "session/Session.hpp"

namespace tessmar {

// The folders searched for the source grids, in order: DataDir, then SourceDirs.
std::vector<std::string> SourceFolders(const TSession& session);
// The first of SourceFolders that holds the model's grid file, else DataDir.
std::string SourceFolder(const TSession& session, const TGeoidModel& model);

// A catalogue entry's grid file as the models listing shows it, opened as a
// command would open it (a file of the wrong size is no model). Reason is
// empty when usable, "missing" when not found, else why it cannot serve.
struct TModelStatus {
  std::string Path;
  bool Found = false, Usable = false;
  std::string Reason;
};
TModelStatus ModelStatus(const TSession& session, const TGeoidModel& model);

// Opens SourceGrid from SourceFolder + model.fname. False after the message
// (SourceOpenText); SourceGrid is then closed.
bool OpenModel(TSession& session, const TGeoidModel& model);

// Why a model's grid did not open, as the user is told: "Geoid file is not
// found: " CR LF fname, then the folders looked in when there are several; for
// a file that is there but cannot serve (a folder, the wrong size), "Geoid
// file is not usable: " CR LF fname CR LF CR LF and why.
std::string SourceOpenText(const TSession& session, const TGeoidModel& model, const TSourceOpen& opened);

// What an operation works on, as the window's selection names it: a catalogue
// entry (0 or 1, as SelectedModelIndex reads ComboBoxGeoid's text) and the
// custom geoid file's name as typed in EditFname.
struct TSelection {
  int Model = 0;
  std::string CustomName;
};

// The catalogue entry a model's title selects: entry 0 when the title is its
// title exactly, else entry 1.
int SelectedModelIndex(const TGeoidModels& models, std::string_view title);

// Opens catalogue entry `model` (0 or 1) and shows it: RadioButton0's caption
// is its spacing, and ComboBoxGeoid shows entry 1's title when it is entry 1.
void OpenSelectedModel(TSession& session, int model);

void CloseSource(TSession& session);  // closes SourceGrid (at shutdown too)

// The custom geoid file's path from DataDir (or CustomDir when set), the file
// name part of the name typed in EditFname, and OutputExt.
std::string CustomGeoidFileName(const TSession& session, const std::string& name);

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
