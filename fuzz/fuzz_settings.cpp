// The settings file: the input is the whole file. The settings load from it as
// the window loads them, and what they save loads back to the same settings;
// saving those again changes no byte (so a third load would read them once more).
#include "FuzzSupport.hpp"
#include "base/Path.hpp"
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
    FUZZ_CHECK(LoadSettings(Session, test::InputsOf(View)).has_value());
  }
  // As the window saves: what its fields hold, where it stands, over the file
  // it loaded from, whose other lines stay.
  void Save() const { SaveSettings(Session, test::InputsOf(View), {View.Top, View.Left}); }
};

// The settings two loads hold are the same; floats compared as the file
// writes them (15 digits).
void ExpectSame(const TLoaded& a, const TLoaded& b) {
  for (const TControl c : Texts) FUZZ_CHECK(a.View.Text(c) == b.View.Text(c));
  for (const TControl c : Buttons) FUZZ_CHECK(a.View.Checked(c) == b.View.Checked(c));
  FUZZ_CHECK(a.View.Top == b.View.Top && a.View.Left == b.View.Left);
  const TSession &s = a.Session, &t = b.Session;
  FUZZ_CHECK(s.DataPath == t.DataPath && s.DataDir == t.DataDir && s.OutputExt == t.OutputExt);
  FUZZ_CHECK(s.FontCharset == t.FontCharset && s.FontName == t.FontName && s.FontSize == t.FontSize);
  const auto same = [](double x, double y) { return ProfileFloatText(x) == ProfileFloatText(y); };
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
  const TLoaded first(path);
  first.Save();
  const std::optional<std::string> saved = ReadWholeFile(path);
  FUZZ_CHECK(saved.has_value());
  const TLoaded second(path);
  ExpectSame(first, second);

  second.Save();
  FUZZ_CHECK(ReadWholeFile(path) == saved);
  return 0;
}
