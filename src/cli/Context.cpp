#include "cli/Context.hpp"

#include <filesystem>
#include <iostream>

#include "base/Numeric.hpp"
#include "base/Path.hpp"
#include "option/Settings.hpp"
#include "option/SettingsPath.hpp"

namespace tessmar::cli {

TContext::TContext(const TGlobalOptions& options) {
  View.Session = &Session;
  const std::string exe = ExecutablePath();
  Session.ExeDir = FolderOf(exe);
  Session.DataDir = std::filesystem::current_path().string() + "/";
  if (!options.NoSettings) {
    const std::string path = options.Settings ? *options.Settings : FindSettingsPath(Session.ExeDir + "tessmar");
    if (FileExists(path)) {
      Session.SettingsPath = path;
      LoadSettings(Session);
    }
  }
  if (options.DataDir) Session.DataDir = options.DataDir->empty() ? "./" : AsFolder(*options.DataDir);
  if (const auto& model = options.Model)
    View.SetText(TControl::ComboBoxGeoid, *model == "2.5" ? Session.GeoidModels[0].title
                                          : *model == "1" ? Session.GeoidModels[1].title
                                                          : *model);
  if (options.Output) View.SetText(TControl::EditFname, *options.Output);
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
