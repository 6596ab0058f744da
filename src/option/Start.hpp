// How a front without a window (tessmar-cli, the Python module) starts its
// session as the desktop program would, and reads what it is asked for. The
// session: the program placed (its data folders), the settings file read for
// the defaults of what is not asked for, then the data folder, the model and
// the custom file's name asked for. Every refusal is a TUsageError whose text
// names what was asked by the front's own name for it ("--res" on the command
// line, "resolution" in Python), so both fronts say the same.
// Not thread-safe: runs on the session's thread (StartSession fills the session).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/CoordText.hpp"
#include "base/Error.hpp"
#include "option/Settings.hpp"
#include "session/Session.hpp"

namespace tessmar {

// What a front asks its session for; a value left out is the settings file's.
struct TStartRequest {
  std::optional<std::string> Settings;  // a settings file to read instead of the program's own
  bool NoSettings = false;              // read none: the built-in defaults only
  std::optional<std::string> DataDir;   // the data folder
  std::optional<std::string> Model;     // as ModelIndex reads it
  // The custom geoid file: a name in the data folder, or a path whose folder
  // is taken as written (then the session's CustomDir).
  std::optional<std::string> Output;
  // The front's names for the model and the output, as its messages say them.
  const char* ModelName = "--model";
  const char* OutputName = "--output";
};

// A started session's inputs: the settings' (or the window layout's), the
// output name asked for in place of the settings' one.
struct TStarted {
  TInputs Inputs = InitialInputs();
  std::vector<std::string> KeysGiven;  // the input keys the settings file holds
  int Model = 0;                       // the catalogue entry asked for, else the settings'
};

// Starts the session of the program at programPath (whose folder and install
// decide the data folders and the settings file, as PlaceProgram and
// FindSettingsPath say): the settings read when the file exists, then the
// request applied. What the user should know on the way (a settings file that
// is none, a refused catalogue entry, a model title that names no model) goes
// to warn as it is found, a line without "Warning: ". Throws TUsageError for a
// model that is not in the catalogue or an output that names a folder.
TStarted StartSession(TSession& session, const TStartRequest& request, const std::string& programPath,
                      const std::function<void(const std::string&)>& warn);

// The catalogue entry `text` names: 0 or 2.5, 1, or a title (exact, or
// without regard to case when only one matches).
int ModelIndex(const std::string& text, const TGeoidModels& models, const char* name = "--model");

// A resolution in minutes: 0, 5, 10, 15 or 20, or the model's own spacing (as 0).
int ResolutionMinutes(const std::string& text, const TGeoidModel& model, const char* name = "--res");

// A coordinate by the strict rule (ReadStrictCoordinate); `origin` says who gave
// the text ("--south", "south", "settings file PATH, key Lat1").
double ReadCoordinateText(const std::string& text, TAxis axis, const std::string& origin);

// A scan's precision: lattice points per source spacing, above 0 and at most MaxPrecision.
double ReadPrecision(const std::string& text, const char* name = "--precision");

// A file a request names must not be a folder: "NAME: PATH is a folder".
void RequireNoFolder(const std::string& path, const char* name);

// A settings file asked for must be there (only an import creates one):
// "settings file not found: PATH".
void RequireSettingsFile(const std::string& path, const char* name = "--settings");

}  // namespace tessmar
