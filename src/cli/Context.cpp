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
  const TStartRequest request{options.Settings, options.NoSettings, options.DataDir, options.Model, options.Output};
  TStarted started = StartSession(Session, request, ExecutablePath(),
                                  [](const std::string& warning) { std::cerr << "Warning: " << warning << "\n"; });
  Inputs = std::move(started.Inputs);
  KeysGiven = std::move(started.KeysGiven);
  Model = started.Model;
}

std::string TContext::Origin(bool given, const char* option, const char* key) const {
  if (!given && key && std::find(KeysGiven.begin(), KeysGiven.end(), key) != KeysGiven.end())
    return "settings file " + Session.SettingsPath + ", key " + key;
  return option;
}

double ReadCoordinate(const TContext& context, const std::optional<std::string>& given, const std::string& fallback,
                      TAxis axis, const char* option, const char* key) {
  return ReadCoordinateText(given ? *given : fallback, axis, context.Origin(given.has_value(), option, key));
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
