#include "option/Start.hpp"

#include <algorithm>
#include <cmath>

#include "accuracy/Scan.hpp"
#include "base/Numeric.hpp"
#include "base/Path.hpp"
#include "base/Platform.hpp"
#include "base/Text.hpp"
#include "convert/Resolution.hpp"
#include "option/SettingsPath.hpp"

namespace tessmar {

TStarted StartSession(TSession& session, const TStartRequest& request, const std::string& programPath,
                      const std::function<void(const std::string&)>& warn) {
  TStarted started;
  PlaceProgram(session, programPath);  // unless the settings or the data folder asked for say otherwise
  if (!request.NoSettings) {
    const std::string path = request.Settings ? *request.Settings : FindSettingsPath(session.ExeDir + "tessmar");
    if (FileExists(path)) {
      session.SettingsPath = path;
      if (const auto loaded = ReadSettings(session, started.Inputs)) {
        started.Inputs = loaded->Inputs;
        started.KeysGiven = loaded->KeysGiven;
        for (const std::string& warning : loaded->Warnings) warn(warning);
      }
    }
  }
  if (request.DataDir) session.DataDir = request.DataDir->empty() ? "./" : AsFolder(*request.DataDir);
  const TGeoidModels& models = session.GeoidModels;
  const std::string& title = started.Inputs.GeoidModel;
  started.Model =
      request.Model ? ModelIndex(*request.Model, models, request.ModelName) : SelectedModelIndex(models, title);
  // The window takes any text but entry 0's title as entry 1: say so when it is no title at all.
  if (!request.Model && title != models[0].title && title != models[1].title) {
    const bool fromFile =
        std::find(started.KeysGiven.begin(), started.KeysGiven.end(), "GeoidModel") != started.KeysGiven.end();
    warn((fromFile ? "settings file " + session.SettingsPath + ", key GeoidModel" : std::string(request.ModelName)) +
         ": \"" + title + "\" names no model of the catalogue; using entry 1, \"" + models[1].title + "\"");
  }
  if (request.Output) {
    started.Inputs.OutputName = *request.Output;
    // A folder written with the name is where the file goes, as for export --to
    // (the settings' name, the window's, stays a name in the data folder).
    const std::string output = TrimBlanks(*request.Output);
    if (HasFolder(output)) {
      RequireNoFolder(output, request.OutputName);
      if (FileNameOf(output).empty())
        throw TUsageError(std::string(request.OutputName) + ": " + output + " names a folder, not a file");
      session.CustomDir = FolderOf(output);
    }
  }
  return started;
}

int ModelIndex(const std::string& text, const TGeoidModels& models, const char* name) {
  if (text == "0" || text == "2.5") return 0;
  if (text == "1") return 1;
  for (int i = 0; i < 2; ++i)
    if (text == models[i].title) return i;
  int found = -1, matches = 0;
  for (int i = 0; i < 2; ++i)
    if (AsciiLower(text) == AsciiLower(models[i].title)) found = i, ++matches;
  if (matches == 1) return found;
  throw TUsageError(std::string(name) + ": \"" + text + "\" names no model of the catalogue. Choose 0 or 2.5 (\"" +
                    models[0].title + "\"), 1 (\"" + models[1].title + "\"), or a title");
}

int ResolutionMinutes(const std::string& text, const TGeoidModel& model, const char* name) {
  const std::optional<double> minutes = ReadNumber(text);
  if (minutes)
    for (const TResolutionChoice& choice : ResolutionChoices)
      if (*minutes == choice.Minutes) return choice.Minutes;
  const double own = model.dgla * 60;
  if (minutes && std::fabs(*minutes - own) < 1e-9 * own) return 0;
  throw TUsageError(std::string(name) + ": \"" + text + "\" is not a resolution for " + model.title +
                    ". Choose 5, 10, 15 or 20 minutes, or 0 (or " + ShortestText(std::round(own * 1e9) / 1e9) +
                    ") for the model's own spacing");
}

double ReadCoordinateText(const std::string& text, TAxis axis, const std::string& origin) {
  const TStrictCoordinate c = ReadStrictCoordinate(text, axis);
  if (c.Value) return *c.Value;
  const bool latitude = axis == TAxis::Latitude;
  throw TUsageError(origin + ": \"" + text + "\" is not a " + (latitude ? "latitude" : "longitude") + ": " + c.Reason +
                    ". Write it as " + CoordinateSpellings(axis));
}

double ReadPrecision(const std::string& text, const char* name) {
  const std::optional<double> precision = ReadNumber(text);
  if (!precision || !(*precision > 0) || *precision > MaxPrecision)
    throw TUsageError(std::string(name) + ": \"" + text +
                      "\" is not a precision. Give lattice points per source "
                      "spacing, above 0 and at most " +
                      ShortestText(MaxPrecision) + " (4.0, 2.0, 1.0, 0.5, 0.25, ...)");
  return *precision;
}

void RequireNoFolder(const std::string& path, const char* name) {
  if (IsFolder(path)) throw TUsageError(std::string(name) + ": " + path + " is a folder");
}

void RequireSettingsFile(const std::string& path, const char* name) {
  RequireNoFolder(path, name);
  if (!FileExists(path)) throw TUsageError("settings file not found: " + path);
}

}  // namespace tessmar
