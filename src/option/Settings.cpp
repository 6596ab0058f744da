#include "option/Settings.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "base/CoordText.hpp"
#include "base/Path.hpp"
#include "base/Platform.hpp"
#include "base/Text.hpp"
#include "option/Profile.hpp"
#include "session/Session.hpp"

namespace tessmar {

namespace {
constexpr const char* Option = "Option";
constexpr const char* Font = "Font";
constexpr const char* ModelSections[2] = {"EGM2008_25", "EGM2008_10"};

class TReader {
 public:
  explicit TReader(const TProfile& profile) : FProfile(profile) {}
  std::string Text(const char* section, const char* key, const std::string& fallback) const {
    return FProfile.Read(section, key).value_or(fallback);
  }
  std::int32_t Integer(const char* section, const char* key, std::int32_t fallback) const {
    const auto text = FProfile.Read(section, key);
    return text ? ProfileInteger(*text).value_or(fallback) : fallback;
  }
  double Float(const char* section, const char* key, double fallback) const {
    const auto text = FProfile.Read(section, key);
    return text ? ProfileFloat(*text).value_or(fallback) : fallback;
  }

 private:
  const TProfile& FProfile;
};

void LoadModel(const TReader& in, const char* section, const TGeoidModel& defaults, TGeoidModel& m) {
  m.title = in.Text(section, "title", defaults.title);
  m.fname = in.Text(section, "fname", defaults.fname);
  if (m.fname.empty()) m.fname = defaults.fname;
  m.nrows = in.Integer(section, "nrows", defaults.nrows);
  m.ncols = in.Integer(section, "ncols", defaults.ncols);
  m.glamn = in.Float(section, "glamn", defaults.glamn);
  m.glomn = in.Float(section, "glomn", defaults.glomn);
  m.dgla = in.Float(section, "dgla", defaults.dgla);
  m.dglo = in.Float(section, "dglo", defaults.dglo);
  m.nlat = in.Integer(section, "nlat", defaults.nlat);
  m.nlon = in.Integer(section, "nlon", defaults.nlon);
  m.PrePad = in.Integer(section, "PrePad", defaults.PrePad);
}

void SaveModel(TProfile& out, int index, const TGeoidModel& m) {
  const TModelSettings entry = ModelSettings(index, m);
  for (const auto& [key, value] : entry.Keys) out.Write(entry.Section, key, value);
}
}  // namespace

TModelSettings ModelSettings(int index, const TGeoidModel& m) {
  return {ModelSections[index == 0 ? 0 : 1],
          {{"title", m.title},
           {"fname", m.fname},
           {"nrows", std::to_string(m.nrows)},
           {"ncols", std::to_string(m.ncols)},
           {"glamn", ProfileFloatText(m.glamn)},
           {"glomn", ProfileFloatText(m.glomn)},
           {"dgla", ProfileFloatText(m.dgla)},
           {"dglo", ProfileFloatText(m.dglo)},
           {"nlat", std::to_string(m.nlat)},
           {"nlon", std::to_string(m.nlon)},
           {"PrePad", std::to_string(m.PrePad)}}};
}

bool SaveModelEntry(const std::string& path, int index, const TGeoidModel& model,
                    const std::optional<std::string>& dataPath) {
  TProfile out(path);
  out.Load();
  SaveModel(out, index, model);
  out.Write(Option, "GeoidModel", model.title);
  if (dataPath) out.Write(Option, "DataPath", *dataPath);
  return out.Save();
}

std::optional<std::int32_t> ProfileInteger(std::string_view text) {
  text = TrimBlanksView(text);
  const bool negative = !text.empty() && text.front() == '-';
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  } else if (text.size() > 1 && text[0] == '$') {
    base = 16;
    text.remove_prefix(1);
  }
  std::uint64_t magnitude = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  // Hexadecimal takes all 32 bits ($FFFFFFFF is -1); decimal must be in range.
  if (base == 16) {
    if (magnitude > 0xFFFFFFFFu) return std::nullopt;
    const auto bits = static_cast<std::uint32_t>(negative ? 0u - magnitude : magnitude);
    return static_cast<std::int32_t>(bits);
  }
  if (magnitude > (negative ? 2147483648u : 2147483647u)) return std::nullopt;
  return static_cast<std::int32_t>(negative ? -static_cast<std::int64_t>(magnitude)
                                            : static_cast<std::int64_t>(magnitude));
}

std::optional<double> ProfileFloat(std::string_view text) { return ReadNumber(text); }

std::string ProfileFloatText(double value) {
  if (value == 0) return "0";
  char buffer[64];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15).ptr;
  std::string text(buffer, end);
  // "1e-05" -> "1E-5", "1e+20" -> "1E20".
  const auto e = text.find('e');
  if (e == std::string::npos) return text;
  std::string exponent = text.substr(e + 1);
  const bool minus = exponent[0] == '-';
  exponent.erase(0, exponent.find_first_not_of("+-0"));
  return text.substr(0, e) + "E" + (minus ? "-" : "") + exponent;
}

void ApplyFonts(TSession& session) {
  const int dpi = session.View.LogicalDpiX();
  // FontSize x 96 / dpi, halves away from zero.
  const std::int64_t scaled = std::int64_t{session.FontSize} * 96;
  const std::int64_t size =
      dpi > 0 ? (scaled >= 0 ? (2 * scaled + dpi) / (2 * dpi) : -((-2 * scaled + dpi) / (2 * dpi))) : session.FontSize;
  session.View.SetFonts(session.FontCharset, session.FontName, static_cast<int>(size));
}

TInputs InitialInputs() {
  return InputsFrom([](TControl c) { return std::string(InitialText(c)); }, [](TControl) { return false; });
}

std::optional<TLoadedSettings> ReadSettings(TSession& session, const TInputs& current) {
  UseEnglishFormats();
  if (!TProfile::CreateIfMissing(session.SettingsPath)) return std::nullopt;
  TLoadedSettings loaded;
  TProfile file(session.SettingsPath), nothing(session.SettingsPath);
  file.Load();
  // Bytes that are no text are read as no settings at all, not as whatever
  // sections they happen to spell.
  if (!file.IsText())
    loaded.Warnings.push_back("settings file " + session.SettingsPath +
                              " is not a text file (it holds control characters): no settings were read from it");
  else if (file.LacksSections())
    loaded.Warnings.push_back("settings file " + session.SettingsPath +
                              " is not an ini file (its lines stand in no [section]): no settings were read from it");
  const TProfile& profile = file.IsText() ? file : nothing;
  const TReader in(profile);

  TInputs& inputs = loaded.Inputs;
  loaded.Position = {in.Integer(Option, "MainTop", NoSavedPosition), in.Integer(Option, "MainLeft", NoSavedPosition)};
  in.Text(Option, "Version", "");
  inputs.GeoidModel = in.Text(Option, "GeoidModel", current.GeoidModel);
  inputs.OutputName = TrimBlanks(in.Text(Option, "OutputName", current.OutputName));
  session.OutputExt = in.Text(Option, "OutputExt", ".qdat");

  session.DataPath = in.Text(Option, "DataPath", "");
  session.DataPath = AsFolder(session.DataPath);
  session.DataDir = !session.DataPath.empty()         ? session.DataPath
                    : !session.DefaultDataDir.empty() ? session.DefaultDataDir
                                                      : session.ExeDir;

  // Any value that is no choice is the source's own spacing.
  inputs.Resolution = ResolutionChoice(in.Integer(Option, "Resolution", 0)).Minutes;
  inputs.Lat1 = in.Text(Option, "Lat1", std::string(InitialText(TControl::EditLat1)));
  inputs.Lat2 = in.Text(Option, "Lat2", std::string(InitialText(TControl::EditLat2)));
  inputs.Lon1 = in.Text(Option, "Lon1", std::string(InitialText(TControl::EditLon1)));
  inputs.Lon2 = in.Text(Option, "Lon2", std::string(InitialText(TControl::EditLon2)));
  inputs.TestLat = in.Text(Option, "TestLat", current.TestLat);
  inputs.TestLon = in.Text(Option, "TestLon", current.TestLon);
  for (const char* key :
       {"GeoidModel", "OutputName", "Resolution", "Lat1", "Lat2", "Lon1", "Lon2", "TestLat", "TestLon"})
    if (profile.Read(Option, key)) loaded.KeysGiven.emplace_back(key);

  const TGeoidModels defaults = DefaultGeoidModels();
  for (int i = 0; i < 2; ++i) {
    TGeoidModel& m = session.GeoidModels[i];
    LoadModel(in, ModelSections[i], defaults[i], m);
    m.ReadFrom = "settings file " + session.SettingsPath + ", [" + ModelSections[i] + "]";
    if (const auto fault = CheckModel(m)) loaded.Warnings.push_back(ModelFaultText(m, *fault) + ": entry refused");
  }

  const bool japanese = UserLocaleIsJapanese();
  session.FontCharset =
      static_cast<std::uint8_t>(in.Integer(Font, "Charset", japanese ? 128 : session.FontCharset) & 0xFF);
  session.FontName = in.Text(Font, "FontName", japanese ? "Tahoma" : session.FontName);
  session.FontSize = in.Integer(Font, "FontSize", japanese ? 8 : session.FontSize);
  return loaded;
}

std::optional<TLoadedSettings> LoadSettings(TSession& session, const TInputs& current) {
  const std::optional<TLoadedSettings> loaded = ReadSettings(session, current);
  if (!loaded) return std::nullopt;
  TView& view = session.View;
  const TInputs& inputs = loaded->Inputs;
  std::int32_t top = loaded->Position.Top, left = loaded->Position.Left;
  view.PlaceOnWorkArea(top, left);
  view.SetWindowTopLeft(top, left);
  view.SetText(TControl::ComboBoxGeoid, inputs.GeoidModel);
  view.SetText(TControl::EditFname, inputs.OutputName);
  view.SetOpenDialog(session.DataDir, "Custom Geoid file (*" + session.OutputExt + ")|*" + session.OutputExt);
  view.SetChecked(ResolutionChoice(inputs.Resolution.value_or(0)).Button, true);
  view.SetText(TControl::EditLat1, inputs.Lat1);
  view.SetText(TControl::EditLat2, inputs.Lat2);
  view.SetText(TControl::EditLon1, inputs.Lon1);
  view.SetText(TControl::EditLon2, inputs.Lon2);
  view.SetText(TControl::EditLat, inputs.TestLat);
  view.SetText(TControl::EditLon, inputs.TestLon);
  view.SetGeoidList(session.GeoidModels[0].title, session.GeoidModels[1].title);
  ApplyFonts(session);
  return loaded;
}

void SaveSettings(const TSession& session, const TInputs& inputs, const TWindowPosition& position,
                  const std::vector<std::string>& unwritten) {
  if (session.SettingsPath.empty()) return;
  TProfile out(session.SettingsPath);
  out.Load();
  // Bytes that are no text are no settings file, whatever their name: a file
  // given as one by mistake is left as it is, never replaced by the settings.
  if (!out.IsText()) return;
  const auto input = [&](const char* key, const std::string& value) {
    if (std::find(unwritten.begin(), unwritten.end(), key) == unwritten.end()) out.Write(Option, key, value);
  };
  out.Write(Option, "Version", session.VersionCaption);
  input("GeoidModel", inputs.GeoidModel);
  out.Write(Option, "DataPath", session.DataPath);
  input("OutputName", inputs.OutputName);
  out.Write(Option, "OutputExt", session.OutputExt);
  // With no button checked the saved value stays as it is.
  if (inputs.Resolution) out.Write(Option, "Resolution", std::to_string(*inputs.Resolution));
  out.Write(Option, "Lat1", inputs.Lat1);
  out.Write(Option, "Lat2", inputs.Lat2);
  out.Write(Option, "Lon1", inputs.Lon1);
  out.Write(Option, "Lon2", inputs.Lon2);
  input("TestLat", inputs.TestLat);
  input("TestLon", inputs.TestLon);
  out.Write(Option, "MainTop", std::to_string(position.Top));
  out.Write(Option, "MainLeft", std::to_string(position.Left));
  for (int i = 0; i < 2; ++i) SaveModel(out, i, session.GeoidModels[i]);
  out.Write(Font, "Charset", std::to_string(session.FontCharset));
  out.Write(Font, "FontName", session.FontName);
  out.Write(Font, "FontSize", std::to_string(session.FontSize));
  out.Save();
}

}  // namespace tessmar
