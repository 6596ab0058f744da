// The settings file: the input is the whole file. The profile reads it, the
// settings load from it, and what they save loads back to the same settings;
// saving those again changes no byte.
#include <cmath>
#include <filesystem>

#include "FuzzSupport.hpp"
#include "option/Profile.hpp"
#include "option/Settings.hpp"

using namespace tessmar;

namespace {

constexpr TControl Texts[] = {TControl::ComboBoxGeoid, TControl::EditFname, TControl::EditLat1, TControl::EditLat2,
                              TControl::EditLon1,      TControl::EditLon2,  TControl::EditLat,  TControl::EditLon};
constexpr TControl Buttons[] = {TControl::RadioButton0, TControl::RadioButton5, TControl::RadioButton10,
                                TControl::RadioButton15, TControl::RadioButton20};

struct TLoaded {
  test::TRecorderView View;
  TSession Session{View};
  explicit TLoaded(const std::string& path) {
    Session.ExeDir = fuzz::Scratch().Path();
    Session.SettingsPath = path;
    LoadSettings(Session, test::InputsOf(View));
  }
};

// The settings two loads hold are the same; floats compared as the file
// writes them (15 digits) when `asWritten`.
void ExpectSame(const TLoaded& a, const TLoaded& b, bool asWritten) {
  for (const TControl c : Texts) FUZZ_CHECK(a.View.Text(c) == b.View.Text(c));
  for (const TControl c : Buttons) FUZZ_CHECK(a.View.Checked(c) == b.View.Checked(c));
  FUZZ_CHECK(a.View.Top == b.View.Top && a.View.Left == b.View.Left);
  const TSession &s = a.Session, &t = b.Session;
  FUZZ_CHECK(s.DataPath == t.DataPath && s.DataDir == t.DataDir && s.OutputExt == t.OutputExt);
  FUZZ_CHECK(s.FontCharset == t.FontCharset && s.FontName == t.FontName && s.FontSize == t.FontSize);
  const auto same = [&](double x, double y) {
    return asWritten ? ProfileFloatText(x) == ProfileFloatText(y) : fuzz::SameValue(x, y);
  };
  for (int i = 0; i < 2; ++i) {
    const TGeoidModel &m = s.GeoidModels[i], &n = t.GeoidModels[i];
    FUZZ_CHECK(m.title == n.title && m.fname == n.fname);
    FUZZ_CHECK(m.nrows == n.nrows && m.ncols == n.ncols && m.nlat == n.nlat && m.nlon == n.nlon &&
               m.PrePad == n.PrePad);
    FUZZ_CHECK(same(m.glamn, n.glamn) && same(m.glomn, n.glomn) && same(m.dgla, n.dgla) && same(m.dglo, n.dglo));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = fuzz::WriteInput("settings.ini", data, size);
  {
    TProfile profile(path);
    profile.Load();
    (void)profile.Read("Option", "GeoidModel");
    (void)profile.Read("EGM2008_25", "dgla");
  }
  const TLoaded first(path);

  // What it saves, in a file of its own (saving keeps the file's other lines).
  const std::string saved = fuzz::Scratch().File("saved.ini");
  std::filesystem::copy_file(path, saved, std::filesystem::copy_options::overwrite_existing);
  TSession& s = const_cast<TSession&>(first.Session);
  s.SettingsPath = saved;
  SaveSettings(s, test::InputsOf(first.View), {first.View.Top, first.View.Left});
  const TLoaded second(saved);
  ExpectSame(first, second, true);

  // Saved once more: the same bytes, the same settings.
  const std::string again = fuzz::Scratch().File("again.ini");
  std::filesystem::copy_file(saved, again, std::filesystem::copy_options::overwrite_existing);
  TSession& t = const_cast<TSession&>(second.Session);
  t.SettingsPath = again;
  SaveSettings(t, test::InputsOf(second.View), {second.View.Top, second.View.Left});
  FUZZ_CHECK(test::ReadBytes(saved) == test::ReadBytes(again));
  const TLoaded third(again);
  ExpectSame(second, third, false);
  return 0;
}
