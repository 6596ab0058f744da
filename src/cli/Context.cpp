#include "cli/Context.hpp"

#include <cmath>
#include <filesystem>
#include <iostream>

#include "base/CoordText.hpp"
#include "base/Numeric.hpp"
#include "base/Path.hpp"
#include "option/Settings.hpp"
#include "option/SettingsPath.hpp"
#include "view/Grids.hpp"

namespace tessmar::cli {

TContext::TContext(const TGlobalOptions& options) {
  View.Session = &Session;
  const std::string exe = ExecutablePath();
  Session.ExeDir = FolderOf(exe);
  Session.DataDir = Session.ExeDir;  // unless the settings or --data-dir say otherwise
  if (!options.NoSettings) {
    const std::string path = options.Settings ? *options.Settings : FindSettingsPath(Session.ExeDir + "tessmar");
    if (FileExists(path)) {
      Session.SettingsPath = path;
      LoadSettings(Session);
    }
  }
  if (options.DataDir) Session.DataDir = options.DataDir->empty() ? "./" : AsFolder(*options.DataDir);
  if (const auto& model = options.Model)
    View.SetText(TControl::ComboBoxGeoid, Session.GeoidModels[ModelIndex(*model, Session.GeoidModels)].title);
  if (options.Output) View.SetText(TControl::EditFname, *options.Output);
}

int ModelIndex(const std::string& text, const TGeoidModels& models) {
  if (text == "0" || text == "2.5") return 0;
  if (text == "1") return 1;
  for (int i = 0; i < 2; ++i)
    if (text == models[i].title) return i;
  const auto folded = [](std::string t) {
    for (char& c : t)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return t;
  };
  int found = -1, matches = 0;
  for (int i = 0; i < 2; ++i)
    if (folded(text) == folded(models[i].title)) found = i, ++matches;
  if (matches == 1) return found;
  throw TUsageError("--model: \"" + text + "\" names no model of the catalogue. Choose 0 or 2.5 (\"" +
                    models[0].title + "\"), 1 (\"" + models[1].title + "\"), or a title");
}

void RequireCoordinate(const TView& view, TControl field, const char* option) {
  const bool latitude = field == TControl::EditLat || field == TControl::EditLat1 || field == TControl::EditLat2;
  const std::string text = view.Text(field);
  const TStrictCoordinate c = ReadStrictCoordinate(text, latitude ? TAxis::Latitude : TAxis::Longitude);
  if (!c.Value)
    throw TUsageError(std::string(option) + ": \"" + text + "\" is not a " + (latitude ? "latitude" : "longitude") +
                      ": " + c.Reason + ". Write it as " + CoordinateSpellings);
}

int ResolutionMinutes(const std::string& text, const TSession& session) {
  const TGeoidModel& model = session.GeoidModels[SelectedModelIndex(session)];
  const std::optional<double> minutes = ReadNumber(text);
  if (minutes)
    for (const int choice : {0, 5, 10, 15, 20})
      if (*minutes == choice) return choice;
  const double own = model.dgla * 60;
  if (minutes && std::fabs(*minutes - own) < 1e-9 * own) return 0;
  throw TUsageError("--res: \"" + text + "\" is not a resolution for " + model.title + ". Choose 5, 10, 15 or 20 minutes, or 0 (or " +
                    ShortestText(std::round(own * 1e9) / 1e9) + ") for the model's own spacing");
}

void SetRegion(TContext& context, const std::optional<std::string>& south, const std::optional<std::string>& west,
               const std::optional<std::string>& north, const std::optional<std::string>& east,
               const std::optional<std::string>& resolution) {
  TView& view = context.View;
  SetIfGiven(view, TControl::EditLat1, south);
  SetIfGiven(view, TControl::EditLon1, west);
  SetIfGiven(view, TControl::EditLat2, north);
  SetIfGiven(view, TControl::EditLon2, east);
  RequireCoordinate(view, TControl::EditLat1, "--south");
  RequireCoordinate(view, TControl::EditLon1, "--west");
  RequireCoordinate(view, TControl::EditLat2, "--north");
  RequireCoordinate(view, TControl::EditLon2, "--east");
  if (resolution) view.SetChecked(ResolutionButton(ResolutionMinutes(*resolution, context.Session)), true);
}

void SetIfGiven(TView& view, TControl control, const std::optional<std::string>& value) {
  if (value) view.SetText(control, *value);
}

TControl ResolutionButton(int minutes) {
  switch (minutes) {
    case 5: return TControl::RadioButton5;
    case 10: return TControl::RadioButton10;
    case 15: return TControl::RadioButton15;
    case 20: return TControl::RadioButton20;
    default: return TControl::RadioButton0;
  }
}

// A number in full precision (shortest text that reads back the same), or null.
TJson Number(double value) { return std::isfinite(value) ? TJson(value) : TJson(nullptr); }
void AppendNumber(std::string& out, double value) { out += std::isfinite(value) ? ShortestText(value) : "null"; }

void PrintLines(const std::vector<std::string>& lines) {
  for (const auto& line : lines) std::cout << line << '\n';
}

}  // namespace tessmar::cli
