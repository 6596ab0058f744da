#include "cli/Context.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <iostream>

#include "base/Error.hpp"
#include "base/Numeric.hpp"
#include "base/Path.hpp"
#include "base/Platform.hpp"
#include "base/Text.hpp"
#include "option/SettingsPath.hpp"

namespace tessmar::cli {

TContext::TContext(const TGlobalOptions& options) : View(options.Quiet) {
  View.Session = &Session;
  PlaceProgram(Session, ExecutablePath());  // unless the settings or --data-dir say otherwise
  if (!options.NoSettings) {
    const std::string path = options.Settings ? *options.Settings : FindSettingsPath(Session.ExeDir + "tessmar");
    if (FileExists(path)) {
      Session.SettingsPath = path;
      if (const auto loaded = ReadSettings(Session, Inputs)) {
        Inputs = loaded->Inputs;
        KeysGiven = loaded->KeysGiven;
        for (const std::string& warning : loaded->Warnings) std::cerr << "Warning: " << warning << "\n";
      }
    }
  }
  if (options.DataDir) Session.DataDir = options.DataDir->empty() ? "./" : AsFolder(*options.DataDir);
  Model = options.Model ? ModelIndex(*options.Model, Session.GeoidModels)
                        : SelectedModelIndex(Session.GeoidModels, Inputs.GeoidModel);
  // The window takes any text but entry 0's title as entry 1: say so when it is no title at all.
  const TGeoidModels& models = Session.GeoidModels;
  if (!options.Model && Inputs.GeoidModel != models[0].title && Inputs.GeoidModel != models[1].title)
    std::cerr << "Warning: " << Origin(false, "--model", "GeoidModel") << ": \"" << Inputs.GeoidModel
              << "\" names no model of the catalogue; using entry 1, \"" << models[1].title << "\"\n";
  if (options.Output) {
    Inputs.OutputName = *options.Output;
    // A folder written with the name is where the file goes, as for export --to
    // (the settings' name, the window's, stays a name in the data folder).
    const std::string output = TrimBlanks(*options.Output);
    if (HasFolder(output)) {
      RequireNoFolder(output, "--output");
      if (FileNameOf(output).empty()) throw TUsageError("--output: " + output + " names a folder, not a file");
      Session.CustomDir = FolderOf(output);
    }
  }
}

int ModelIndex(const std::string& text, const TGeoidModels& models) {
  if (text == "0" || text == "2.5") return 0;
  if (text == "1") return 1;
  for (int i = 0; i < 2; ++i)
    if (text == models[i].title) return i;
  int found = -1, matches = 0;
  for (int i = 0; i < 2; ++i)
    if (AsciiLower(text) == AsciiLower(models[i].title)) found = i, ++matches;
  if (matches == 1) return found;
  throw TUsageError("--model: \"" + text + "\" names no model of the catalogue. Choose 0 or 2.5 (\"" + models[0].title +
                    "\"), 1 (\"" + models[1].title + "\"), or a title");
}

std::string TContext::Origin(bool given, const char* option, const char* key) const {
  if (!given && key && std::find(KeysGiven.begin(), KeysGiven.end(), key) != KeysGiven.end())
    return "settings file " + Session.SettingsPath + ", key " + key;
  return option;
}

double ReadCoordinate(const TContext& context, const std::optional<std::string>& given, const std::string& fallback,
                      TAxis axis, const char* option, const char* key) {
  const std::string& text = given ? *given : fallback;
  const TStrictCoordinate c = ReadStrictCoordinate(text, axis);
  if (c.Value) return *c.Value;
  const bool latitude = axis == TAxis::Latitude;
  throw TUsageError(context.Origin(given.has_value(), option, key) + ": \"" + text + "\" is not a " +
                    (latitude ? "latitude" : "longitude") + ": " + c.Reason + ". Write it as " +
                    CoordinateSpellings(axis));
}

void RequireNoFolder(const std::string& path, const char* option) {
  if (IsFolder(path)) throw TUsageError(std::string(option) + ": " + path + " is a folder");
}

int ResolutionMinutes(const std::string& text, const TGeoidModel& model) {
  const std::optional<double> minutes = ReadNumber(text);
  if (minutes)
    for (const TResolutionChoice& choice : ResolutionChoices)
      if (*minutes == choice.Minutes) return choice.Minutes;
  const double own = model.dgla * 60;
  if (minutes && std::fabs(*minutes - own) < 1e-9 * own) return 0;
  throw TUsageError("--res: \"" + text + "\" is not a resolution for " + model.title +
                    ". Choose 5, 10, 15 or 20 minutes, or 0 (or " + ShortestText(std::round(own * 1e9) / 1e9) +
                    ") for the model's own spacing");
}

TConversionPlan ReadPlan(const TContext& context, const std::optional<std::string>& south,
                         const std::optional<std::string>& west, const std::optional<std::string>& north,
                         const std::optional<std::string>& east, const std::optional<std::string>& resolution) {
  const TInputs& in = context.Inputs;
  TConversionPlan plan;
  plan.Corners.South = ReadCoordinate(context, south, in.Lat1, TAxis::Latitude, "--south", "Lat1");
  plan.Corners.West = ReadCoordinate(context, west, in.Lon1, TAxis::Longitude, "--west", "Lon1");
  plan.Corners.North = ReadCoordinate(context, north, in.Lat2, TAxis::Latitude, "--north", "Lat2");
  plan.Corners.East = ReadCoordinate(context, east, in.Lon2, TAxis::Longitude, "--east", "Lon2");
  plan.Resolution = resolution ? ResolutionMinutes(*resolution, context.Session.GeoidModels[context.Model])
                               : in.Resolution.value_or(0);
  return plan;
}

int FinishOutput(int status) {
  std::cout.flush();
  if (std::fflush(stdout) == 0 && !std::ferror(stdout) && std::cout) return status;
  return OutputFailed();
}

int OutputFailed() {
  const int error = LastWriteError();
  if (error == EPIPE) return ExitPipeClosed;
  std::cerr << "Error: Cannot write the output: " << SystemReason(error) << "\n";
  return ExitFailed;
}

// A number in full precision (shortest text that reads back the same), or null.
TJson Number(double value) { return std::isfinite(value) ? TJson(value) : TJson(nullptr); }
void AppendNumber(std::string& out, double value) { out += std::isfinite(value) ? ShortestText(value) : "null"; }

void AppendString(std::string& out, std::string_view text) {
  // Printable ASCII without a quote or a backslash goes as it is (the usual
  // text, copied at once); anything else as JsonDump escapes and mends it.
  const bool plain = std::all_of(text.begin(), text.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x20 && u < 0x80 && c != '"' && c != '\\';
  });
  if (!plain) {
    out += JsonDump(TJson(std::string(text)));
    return;
  }
  out += '"';
  out.append(text);
  out += '"';
}

void PrintLines(const std::vector<std::string>& lines) {
  for (const auto& line : lines) std::cout << line << '\n';
}

}  // namespace tessmar::cli
