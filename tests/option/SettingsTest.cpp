#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "TestGrids.hpp"
#include "base/Path.hpp"
#include "grid/Source.hpp"
#include "option/Profile.hpp"
#include "option/Settings.hpp"
#include "option/SettingsPath.hpp"

namespace tessmar {
namespace {

namespace fs = std::filesystem;
using test::TRecorderView;
using test::TTempDir;

// UTF-16LE with the mark, from ASCII text.
std::vector<unsigned char> Utf16(const std::string& text) {
  std::vector<unsigned char> bytes = {0xFF, 0xFE};
  for (unsigned char c : text) bytes.insert(bytes.end(), {c, 0});
  return bytes;
}

// The file's text, checked to be UTF-16LE with the mark.
std::string ReadUtf16(const std::string& path) {
  const auto bytes = test::ReadBytes(path);
  EXPECT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes[0], 0xFF);
  EXPECT_EQ(bytes[1], 0xFE);
  EXPECT_EQ(bytes.size() % 2, 0u);
  std::u16string text;
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) text += static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8);
  return Utf16ToUtf8(text);
}

void WriteText(const std::string& path, const std::string& text) {
  test::WriteBytes(path, std::vector<unsigned char>(text.begin(), text.end()));
}

class TEnv {  // sets an environment variable for a scope
 public:
  TEnv(const char* name, const char* value) : FName(name) {
    if (const char* old = std::getenv(name)) FOld = old;
    test::SetEnvironment(name, value);
  }
  ~TEnv() { test::SetEnvironment(FName, FOld ? FOld->c_str() : nullptr); }

 private:
  const char* FName;
  std::optional<std::string> FOld;
};

TEST(Profile, WritesSectionsAndKeysInOrderAsUtf16) {
  TTempDir dir;
  TProfile p(dir.File("a.ini"));
  p.Write("Option", "Version", "Tessmar Ver2.05");
  p.Write("Option", "DataPath", "");
  p.Write("Font", "FontName", "Arial");
  p.Write("option", "GeoidModel", "EGM2008 2.5'x2.5'");  // names match without regard to case
  p.Write("OPTION", "version", "2");                     // replaced where it stands
  ASSERT_TRUE(p.Save());
  EXPECT_EQ(ReadUtf16(dir.File("a.ini")),
            "[Option]\r\nVersion=2\r\nDataPath=\r\nGeoidModel=EGM2008 2.5'x2.5'\r\n[Font]\r\nFontName=Arial\r\n");
  TProfile q(dir.File("a.ini"));
  ASSERT_TRUE(q.Load());
  EXPECT_EQ(q.Read("OPTION", "GEOIDMODEL"), "EGM2008 2.5'x2.5'");
  EXPECT_EQ(q.Read("Option", "DataPath"), "");
  EXPECT_EQ(q.Read("Option", "Missing"), std::nullopt);
  EXPECT_EQ(q.Read("Nowhere", "Version"), std::nullopt);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);  // no temporary file
}

TEST(Profile, NewKeyGoesAfterTheSectionsLastEntry) {
  TTempDir dir;
  WriteText(dir.File("a.ini"), "; comment\n[A]\nx = 1 \n\n[B]\ny=2\n");
  TProfile p(dir.File("a.ini"));
  ASSERT_TRUE(p.Load());
  EXPECT_EQ(p.Read("A", "x"), "1");  // blanks around names and values do not count
  p.Write("A", "z", "3");
  p.Write("C", "w", "4");
  ASSERT_TRUE(p.Save());
  EXPECT_EQ(ReadUtf16(dir.File("a.ini")), "; comment\r\n[A]\r\nx = 1 \r\nz=3\r\n\r\n[B]\r\ny=2\r\n[C]\r\nw=4\r\n");
}

TEST(Profile, FirstOfRepeatedSectionsAndKeysWins) {
  TTempDir dir;
  WriteText(dir.File("a.ini"), "[A]\r\nk=first\r\nk=second\r\n[a]\r\nk=third\r\nj=only\r\n");
  TProfile p(dir.File("a.ini"));
  ASSERT_TRUE(p.Load());
  EXPECT_EQ(p.Read("A", "K"), "first");
  EXPECT_EQ(p.Read("A", "j"), std::nullopt);  // only the first [A] is searched
  EXPECT_EQ(p.Read("A", "k"), "first");
}

// Every entry is found where the file has it after any writes, in memory and
// once saved and loaded again: a key added to one section moves the sections
// after it, and a write can make a line a header.
TEST(Profile, WritesKeepEveryEntryWhereItIsFound) {
  struct TEntry {
    const char *Section, *Key, *Value;
  };
  const struct {
    const char* why;
    std::string file;
    std::vector<TEntry> writes;
    std::string saved;
    std::vector<TEntry> reads;  // Value nullptr: nothing
  } cases[] = {
      {"keys added to an earlier section move the later ones",
       "[A]\r\nk=1\r\n[B]\r\nj=2\r\n[C]\r\ni=3\r\n",
       {{"A", "z", "4"}, {"B", "y", "5"}, {"a", "w", "6"}, {"C", "i", "7"}},
       "[A]\r\nk=1\r\nz=4\r\nw=6\r\n[B]\r\nj=2\r\ny=5\r\n[C]\r\ni=7\r\n",
       {{"B", "j", "2"}, {"B", "Y", "5"}, {"A", "k", "1"}, {"A", "W", "6"}, {"c", "i", "7"}, {"B", "z", nullptr}}},
      {"a repeated section takes the new key in its first place",
       "[A]\nk=1\n[a]\nj=2\n",
       {{"A", "j", "3"}},
       "[A]\r\nk=1\r\nj=3\r\n[a]\r\nj=2\r\n",
       {{"A", "j", "3"}, {"A", "k", "1"}}},
      {"entries before the first header belong to no section; an empty name is a name",
       "k=0\n[ ]\nk=2\n[A]\nk=1\n",
       {{"", "m", "3"}},
       "k=0\r\n[ ]\r\nk=2\r\nm=3\r\n[A]\r\nk=1\r\n",
       {{"", "k", "2"}, {"", "m", "3"}, {"A", "k", "1"}, {"A", "m", nullptr}}},
      {"a key that opens with [ makes a header once its value holds ]",
       "[A]\nk=1\n",
       {{"A", "[x", "y]"}, {"A", "m", "2"}, {"x=y", "n", "3"}},
       "[A]\r\nk=1\r\nm=2\r\n[x=y]\r\nn=3\r\n",
       {{"A", "[x", nullptr}, {"A", "m", "2"}, {"X=Y", "n", "3"}}},
      {"a section name that holds ] is read up to it",
       "",
       {{"a]b", "k", "v"}, {"a]b", "k", "w"}},
       "[a]b]\r\nk=v\r\n[a]b]\r\nk=w\r\n",
       {{"a", "k", "v"}, {"a]b", "k", nullptr}}},
      {"a key that holds = is read up to it",
       "[A]\n",
       {{"A", "k=1", "v"}, {"A", "k=1", "w"}},
       "[A]\r\nk=1=v\r\nk=1=w\r\n",
       {{"A", "k", "1=v"}, {"A", "k=1", nullptr}}},
      {"names match without regard to ASCII case only",
       "[\xC3\xA9]\nk=1\n",
       {{"\xC3\x89", "k", "2"}},
       "[\xC3\xA9]\r\nk=1\r\n[\xC3\x89]\r\nk=2\r\n",
       {{"\xC3\xA9", "K", "1"}, {"\xC3\x89", "k", "2"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    TTempDir dir;
    WriteText(dir.File("a.ini"), c.file);
    TProfile p(dir.File("a.ini"));
    ASSERT_TRUE(p.Load());
    for (const TEntry& w : c.writes) p.Write(w.Section, w.Key, w.Value);
    const auto expect = [&](const TProfile& profile) {
      for (const TEntry& r : c.reads)
        EXPECT_EQ(profile.Read(r.Section, r.Key), r.Value ? std::optional<std::string>(r.Value) : std::nullopt)
            << r.Section << " " << r.Key;
    };
    expect(p);
    ASSERT_TRUE(p.Save());
    EXPECT_EQ(ReadUtf16(dir.File("a.ini")), c.saved);
    TProfile q(dir.File("a.ini"));
    ASSERT_TRUE(q.Load());
    expect(q);
  }
}

TEST(Profile, ReadsWhateverEncodingArrives) {
  TTempDir dir;
  const std::string path = dir.File("a.ini");
  WriteText(path, "[A]\nname=T\xC5\x8Dky\xC5\x8D\n");  // UTF-8 without a mark
  TProfile p(path);
  ASSERT_TRUE(p.Load());
  EXPECT_EQ(p.Read("A", "name"), "T\xC5\x8Dky\xC5\x8D");
  WriteText(path, "[A]\nname=Caf\xE9\n");  // ANSI
  ASSERT_TRUE(p.Load());
  EXPECT_EQ(p.Read("A", "name"), "Caf\xC3\xA9");
  WriteText(path, "\xEF\xBB\xBF[A]\nname=x\n");  // UTF-8 with a mark
  ASSERT_TRUE(p.Load());
  EXPECT_EQ(p.Read("A", "name"), "x");
  test::WriteBytes(path, {0xFE, 0xFF, 0, '[', 0, 'A', 0, ']', 0, '\n', 0, 'k', 0, '=', 0, 'v'});  // UTF-16BE
  ASSERT_TRUE(p.Load());
  EXPECT_EQ(p.Read("A", "k"), "v");
  p.Write("A", "k", "w");
  ASSERT_TRUE(p.Save());
  EXPECT_EQ(ReadUtf16(path), "[A]\r\nk=w\r\n");  // written back as UTF-16LE
}

TEST(Profile, LongValuesReadUpTo2047Characters) {
  TTempDir dir;
  WriteText(dir.File("a.ini"), "[A]\nk=" + std::string(100000, 'x') + "\n");
  TProfile p(dir.File("a.ini"));
  ASSERT_TRUE(p.Load());
  EXPECT_EQ(p.Read("A", "k")->size(), 2047u);
  WriteText(dir.File("a.ini"), "[A]\nk=\"quoted\"\n");
  ASSERT_TRUE(p.Load());
  EXPECT_EQ(p.Read("A", "k"), "quoted");
  // What is written reads back as it was, through a save and a load, however
  // often: quotes and blanks a read would take off are kept inside quotes.
  for (const std::string value : {"\"\"\"\"", "\"a\"", "'b'", " c ", "\t", "\"", "'x\"", "plain", ""}) {
    for (int round = 0; round < 2; ++round) {
      p.Write("A", "k", round == 0 ? value : *p.Read("A", "k"));
      ASSERT_TRUE(p.Save());
      ASSERT_TRUE(p.Load());
      EXPECT_EQ(p.Read("A", "k"), value) << value;
    }
  }
}

TEST(Profile, MissingFileIsCreatedHoldingOnlyTheMark) {
  TTempDir dir;
  ASSERT_TRUE(TProfile::CreateIfMissing(dir.File("new.ini")));
  EXPECT_EQ(test::ReadBytes(dir.File("new.ini")), (std::vector<unsigned char>{0xFF, 0xFE}));
  WriteText(dir.File("new.ini"), "kept");
  ASSERT_TRUE(TProfile::CreateIfMissing(dir.File("new.ini")));
  EXPECT_EQ(test::ReadBytes(dir.File("new.ini")).size(), 4u);
  EXPECT_FALSE(TProfile::CreateIfMissing(dir.File("no/such/folder.ini")));
}

TEST(Profile, FailedSaveLeavesTheFileAsItWas) {
  TTempDir dir;
  fs::create_directory(dir.File("a.ini"));  // a folder where the file should be
  TProfile p(dir.File("a.ini"));
  EXPECT_FALSE(p.Load());  // cannot be read, and no exception leaves the load
  p.Write("A", "k", "v");
  EXPECT_FALSE(p.Save());
  EXPECT_TRUE(fs::is_directory(dir.File("a.ini")));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
}

TEST(ValueForms, IntegersFloatsAndTheirText) {
  EXPECT_EQ(ProfileInteger("4321"), 4321);
  EXPECT_EQ(ProfileInteger("0x10E1"), 4321);
  EXPECT_EQ(ProfileInteger("0X10e1"), 4321);
  EXPECT_EQ(ProfileInteger("$10E1"), 4321);
  EXPECT_EQ(ProfileInteger("-90"), -90);
  EXPECT_EQ(ProfileInteger("-0"), 0);
  EXPECT_EQ(ProfileInteger("2147483647"), 2147483647);
  EXPECT_EQ(ProfileInteger("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(ProfileInteger("$FFFFFFFF"), -1);
  for (const char* bad : {"abc", "", "1e400", "12abc", "0x", "$", "2147483648", "-2147483649", "1.5", "0x1FFFFFFFF"})
    EXPECT_EQ(ProfileInteger(bad), std::nullopt) << bad;
  EXPECT_EQ(ProfileFloat("0.0416666666666667"), 0.0416666666666667);
  EXPECT_EQ(ProfileFloat("-90"), -90.0);
  EXPECT_EQ(ProfileFloat("0"), 0.0);
  EXPECT_EQ(ProfileFloat("1e400"), std::nullopt);
  EXPECT_EQ(ProfileFloat("abc"), std::nullopt);
  EXPECT_EQ(ProfileFloatText(1.0 / 24), "0.0416666666666667");
  EXPECT_EQ(ProfileFloatText(1.0 / 60), "0.0166666666666667");
  EXPECT_EQ(ProfileFloatText(-90), "-90");
  EXPECT_EQ(ProfileFloatText(0), "0");
  EXPECT_EQ(ProfileFloatText(-0.0), "0");
  EXPECT_EQ(ProfileFloatText(1e-5), "1E-5");
  EXPECT_EQ(ProfileFloatText(1e20), "1E20");
  EXPECT_EQ(ProfileFloatText(123456.5), "123456.5");
}

struct SettingsTest : ::testing::Test {
  TTempDir Dir;
  TRecorderView View;
  TSession Session{View};
  std::string Ini = Dir.File("tessmar.ini");

  SettingsTest() {
    Session.ExeDir = Dir.Path();
    Session.SettingsPath = Ini;
    Session.VersionCaption = "Tessmar Ver2.05";
  }
  void Load(const std::string& text) {
    test::WriteBytes(Ini, Utf16(text));
    LoadSettings(Session, test::InputsOf(View));
  }
};

// Saved as the window saves: what its fields hold, where it stands.
void Save(const TSession& session, const TRecorderView& view) {
  SaveSettings(session, test::InputsOf(view), {view.Top, view.Left});
}

TEST_F(SettingsTest, FirstRunCreatesTheFileAndTakesTheDefaults) {
  TEnv lang("LANG", "en_US.UTF-8"), all("LC_ALL", nullptr), messages("LC_MESSAGES", nullptr);
  LoadSettings(Session, test::InputsOf(View));
  EXPECT_EQ(test::ReadBytes(Ini), (std::vector<unsigned char>{0xFF, 0xFE}));
  EXPECT_TRUE(View.Checked(TControl::RadioButton0));
  EXPECT_EQ(View.Text(TControl::ComboBoxGeoid), "EGM2008 2.5'x2.5'");
  EXPECT_EQ(View.Text(TControl::EditFname), "Tessmar.qdat");
  EXPECT_EQ(View.Text(TControl::EditLat1), "20");
  EXPECT_EQ(View.Text(TControl::EditLon2), "150");
  EXPECT_EQ(View.Text(TControl::EditLat), "35 40 37.8");
  EXPECT_EQ(Session.OutputExt, ".qdat");
  EXPECT_EQ(Session.DataPath, "");
  EXPECT_EQ(Session.DataDir, Dir.Path());
  EXPECT_EQ(View.DialogFolder, Dir.Path());
  EXPECT_EQ(View.DialogFilter, "Custom Geoid file (*.qdat)|*.qdat");
  EXPECT_EQ(View.GeoidList, (std::vector<std::string>{"EGM2008 2.5'x2.5'", "EGM2008 1'x1'"}));
  EXPECT_EQ(View.FontName, "Arial");
  EXPECT_EQ(View.FontCharset, 0);
  EXPECT_EQ(View.FontSize, 8);

  Save(Session, View);
  const std::string text = ReadUtf16(Ini);
  EXPECT_EQ(text.rfind("[Option]\r\nVersion=Tessmar Ver2.05\r\nGeoidModel=EGM2008 2.5'x2.5'\r\nDataPath=\r\n"
                       "OutputName=Tessmar.qdat\r\nOutputExt=.qdat\r\nResolution=0\r\n",
                       0),
            0u);
  EXPECT_NE(text.find("[EGM2008_25]\r\ntitle=EGM2008 2.5'x2.5'\r\nfname=Und_min2.5x2.5_egm2008_isw=82_WGS84_TideFree_SE"
                      "\r\nnrows=4321\r\nncols=8642\r\nglamn=-90\r\nglomn=0\r\ndgla=0.0416666666666667\r\n"
                      "dglo=0.0416666666666667\r\nnlat=4321\r\nnlon=8640\r\nPrePad=1\r\n[EGM2008_10]"),
            std::string::npos);
  EXPECT_NE(text.find("MainTop=2147483647\r\nMainLeft=2147483647\r\n[EGM2008_25]"), std::string::npos);  // no screen
  EXPECT_NE(text.find("[Font]\r\nCharset=0\r\nFontName=Arial\r\nFontSize=8\r\n"), std::string::npos);
}

TEST_F(SettingsTest, SavedValuesComeBack) {
  View.SetText(TControl::ComboBoxGeoid, "EGM2008 1'x1'");
  View.SetText(TControl::EditFname, "area");
  View.SetText(TControl::EditLat1, "35 30 N");
  View.SetChecked(TControl::RadioButton15, true);
  View.SetWindowTopLeft(120, -40);
  Session.DataPath = "/data/geoid/";
  Session.GeoidModels[1].dgla = 0.02;
  Save(Session, View);

  TRecorderView view;
  TSession next(view);
  next.SettingsPath = Ini;
  LoadSettings(next, test::InputsOf(view));
  EXPECT_EQ(view.Text(TControl::ComboBoxGeoid), "EGM2008 1'x1'");
  EXPECT_EQ(view.Text(TControl::EditFname), "area");
  EXPECT_EQ(view.Text(TControl::EditLat1), "35 30 N");
  EXPECT_TRUE(view.Checked(TControl::RadioButton15));
  EXPECT_EQ(view.Top, 120);
  EXPECT_EQ(view.Left, -40);
  EXPECT_EQ(next.DataDir, "/data/geoid/");
  EXPECT_EQ(next.GeoidModels[1].dgla, 0.02);

  // The program's own file (UTF-16LE, CR LF) loaded and saved again is the same
  // bytes: a CR LF read as two line ends would grow the file every session.
  const std::vector<unsigned char> saved = test::ReadBytes(Ini);
  next.VersionCaption = Session.VersionCaption;
  Save(next, view);
  EXPECT_EQ(test::ReadBytes(Ini), saved);
}

TEST_F(SettingsTest, DataPathGetsItsSeparator) {
  Load("[Option]\r\nDataPath=/data/geoid\r\n");
  EXPECT_EQ(Session.DataPath, "/data/geoid/");
  EXPECT_EQ(Session.DataDir, "/data/geoid/");
  Save(Session, View);
  EXPECT_NE(ReadUtf16(Ini).find("DataPath=/data/geoid/\r\n"), std::string::npos);
}

TEST_F(SettingsTest, ValuesThatDoNotReadTakeTheirDefaults) {
  Load(
      "[Option]\r\nResolution=7\r\nOutputName=  spaced.qdat  \r\n"
      "[EGM2008_25]\r\ntitle=\r\nfname=\r\nnrows=abc\r\nncols=0x10E1\r\nglamn=1e400\r\nnlat=-0\r\ndgla=junk\r\n");
  EXPECT_TRUE(View.Checked(TControl::RadioButton0));
  EXPECT_EQ(View.Text(TControl::EditFname), "spaced.qdat");
  const TGeoidModel& m = Session.GeoidModels[0];
  EXPECT_EQ(m.title, "");  // present but empty stays empty
  EXPECT_EQ(m.fname, "Und_min2.5x2.5_egm2008_isw=82_WGS84_TideFree_SE");
  EXPECT_EQ(m.nrows, 4321);
  EXPECT_EQ(m.ncols, 4321);
  EXPECT_EQ(m.glamn, -90);
  EXPECT_EQ(m.nlat, 0);
  EXPECT_EQ(m.dgla, 1.0 / 24);
  Load("[Option]\r\nResolution=10\r\n");
  EXPECT_TRUE(View.Checked(TControl::RadioButton10));
  EXPECT_FALSE(View.Checked(TControl::RadioButton0));
}

// A catalogue entry that reads but describes no grid on the earth is refused
// by its key: its values are kept as written (and saved back so), a warning
// names the file, the section and the key, and its grid does not open, for
// that reason, though its file is there.
TEST_F(SettingsTest, CatalogueEntriesThatMoveTheEarthAreRefusedByKey) {
  const std::string at = "settings file " + Ini + ", ";
  const struct {
    const char* entry;
    std::string refused;  // the warning without its end ": entry refused"; empty: none
  } cases[] = {
      {"[EGM2008_25]\r\nglamn=-89\r\n",
       "[EGM2008_25] key glamn: -89 and 4321 rows (nlat) at 0.041666666666666664 (dgla) reach 91 degrees north: a "
       "grid lies within -90..90"},
      {"[EGM2008_10]\r\nglamn=-90.5\r\n",
       "[EGM2008_10] key glamn: -90.5 is no latitude: the southern row lies within -90..90"},
      {"[EGM2008_25]\r\ndgla=0\r\n",
       "[EGM2008_25] key dgla: 0 is no spacing: a spacing lies above 0 and below 360 degrees"},
      {"[EGM2008_25]\r\ndglo=360\r\n",
       "[EGM2008_25] key dglo: 360 is no spacing: a spacing lies above 0 and below 360 degrees"},
      {"[EGM2008_25]\r\ndgla=-0.0416666666666667\r\n",
       "[EGM2008_25] key dgla: -0.0416666666666667 is no spacing: a spacing lies above 0 and below 360 degrees"},
      {"[EGM2008_25]\r\ndglo=1e-300\r\n",  // nodes per degree past 64 bits: refused, not thrown
       "[EGM2008_25] key dglo: 1e-300 is too fine a spacing: a spacing lies above 1e-9 degrees"},
      {"[EGM2008_25]\r\ndgla=250\r\nnlat=1\r\n",
       "[EGM2008_25] key dgla: 250 gives no nodes per degree: a spacing lies below 200 degrees"},
      {"[EGM2008_25]\r\nnlat=4322\r\n", "[EGM2008_25] key nlat: 4322 rows where the file has 4321 records (nrows)"},
      {"[EGM2008_25]\r\nnlat=0\r\n", "[EGM2008_25] key nlat: 0: a grid has at least one row"},
      {"[EGM2008_25]\r\nnrows=-1\r\n", "[EGM2008_25] key nrows: -1: a grid file holds at least one record"},
      {"[EGM2008_25]\r\nnlon=8642\r\n",
       "[EGM2008_25] key ncols: 8642 words a record hold no 8642 nodes (nlon) after 1 (PrePad)"},
      {"[EGM2008_25]\r\nPrePad=-1\r\n", "[EGM2008_25] key PrePad: -1: no record starts before its first word"},
      {"[EGM2008_25]\r\nnlon=9000\r\nncols=9002\r\n",
       "[EGM2008_25] key nlon: 9000 columns at 0.041666666666666664 (dglo) span 374.9583333333333 degrees: a grid "
       "spans no more than the circle"},
      {"[EGM2008_25]\r\nglomn=400\r\n", "[EGM2008_25] key glomn: 400 is no longitude: column 0 lies within -360..360"},
      // Sound: the whole circle with its first column repeated; a regional grid; values that do not read.
      {"[EGM2008_25]\r\nnlon=8641\r\nncols=8643\r\n", ""},
      {"[EGM2008_10]\r\nglamn=30\r\nnlat=961\r\nnrows=961\r\nglomn=-180\r\n", ""},
      {"[EGM2008_25]\r\nglamn=junk\r\ndgla=\r\n", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.entry);
    test::WriteBytes(Ini, Utf16(c.entry));
    const auto loaded = ReadSettings(Session, test::InputsOf(View));
    ASSERT_TRUE(loaded);
    const std::vector<std::string> expected = {at + c.refused + ": entry refused"};
    EXPECT_EQ(loaded->Warnings, c.refused.empty() ? std::vector<std::string>{} : expected);
    const int entry = std::string(c.entry).find("EGM2008_10") != std::string::npos;
    const TGeoidModel& m = Session.GeoidModels[entry];
    EXPECT_EQ(CheckModel(m).has_value(), !c.refused.empty());
    // Its grid file is there (of any size): the entry is what the message names.
    Session.DataDir = Dir.Path();
    test::WriteBytes(Dir.File(m.fname), {1, 2, 3, 4});
    const TSourceOpen opened = OpenSource(Session.DataDir, m);
    EXPECT_EQ(opened.Failure, TSourceFailure::NotUsable);
    if (!c.refused.empty()) {
      EXPECT_EQ(opened.Reason, at + c.refused);
    }
  }
  // Kept as written, and saved back so: nothing the user wrote is lost.
  test::WriteBytes(Ini, Utf16("[EGM2008_25]\r\nglamn=-89\r\n"));
  LoadSettings(Session, test::InputsOf(View));
  EXPECT_EQ(Session.GeoidModels[0].glamn, -89);
  Save(Session, View);
  EXPECT_NE(ReadUtf16(Ini).find("glamn=-89\r\n"), std::string::npos);
}

TEST_F(SettingsTest, BadFilesNeverStopTheLoadOrTheNextSave) {
  const std::string text = "settings file " + Ini +
                           " is not a text file (it holds control characters): no settings "
                           "were read from it",
                    ini = "settings file " + Ini +
                          " is not an ini file (its lines stand in no [section]): no "
                          "settings were read from it";
  const struct {
    std::vector<unsigned char> bytes;
    std::string warning;  // empty: none
  } files[] = {
      {{}, ""},                                            // empty
      {{0xFF, 0xFE}, ""},                                  // the mark alone, as a first run writes it
      {{0xFF, 0xFE, '[', 0, 'O', 0, 'p'}, ini},            // odd byte count, cut inside a character
      {{0xFF, 0xFE, 0x00, 0xD8, '[', 0}, ini},             // an unpaired surrogate
      {{0x00, 0x01, 0x02, 0xFF, 0x80, 0x81, 0xC3}, text},  // binary garbage
      // Sections spelled by bytes that are no text: none of it is read.
      {{'[', 'O', 'p', 't', 'i', 'o', 'n', ']', '\n', 'L', 'a', 't', '1', '=', '7', '\n', 0x00, 0x07}, text},
      {{'l', 'a', 't', ';', 'l', 'o', 'n', '\n', '5', '0', ';', '1', '2', '0', '\n'}, ini},  // a points file
      {{';', ' ', 'n', 'o', 't', 'e', '\r', '\n', '\r', '\n'}, ""},                          // a comment alone
  };
  for (const auto& [bytes, warning] : files) {
    test::WriteBytes(Ini, bytes);
    const auto loaded = ReadSettings(Session, test::InputsOf(View));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->Warnings, warning.empty() ? std::vector<std::string>{} : std::vector<std::string>{warning});
    LoadSettings(Session, test::InputsOf(View));
    EXPECT_EQ(View.Text(TControl::EditLat1), "20");
    Save(Session, View);
    if (warning == text) {  // no settings file: kept as it is
      EXPECT_EQ(test::ReadBytes(Ini), bytes);
      continue;
    }
    TProfile p(Ini);
    ASSERT_TRUE(p.Load());
    EXPECT_EQ(p.Read("Option", "Version"), "Tessmar Ver2.05");
    EXPECT_EQ(p.Read("EGM2008_10", "nlon"), "21600");
  }
}

TEST_F(SettingsTest, JapaneseLocaleChangesTheFontDefaults) {
  if (test::OnWindows) {  // the system's user locale, not the environment
    LoadSettings(Session, test::InputsOf(View));
    EXPECT_EQ(View.FontName, UserLocaleIsJapanese() ? "Tahoma" : "Arial");
    TEnv lang("LANG", "ja_JP.UTF-8");
    EXPECT_EQ(UserLocaleIsJapanese(), View.FontName == "Tahoma");
  } else {
    {
      TEnv lang("LANG", "ja_JP.UTF-8"), all("LC_ALL", nullptr), messages("LC_MESSAGES", nullptr);
      LoadSettings(Session, test::InputsOf(View));
      EXPECT_EQ(View.FontName, "Tahoma");
      EXPECT_EQ(View.FontCharset, 128);
    }
    TEnv lang("LANG", "ja_JP.UTF-8"), all("LC_ALL", "C");  // LC_ALL comes first
    EXPECT_FALSE(UserLocaleIsJapanese());
  }
  Session.FontSize = 8;
  View.Dpi = 120;
  ApplyFonts(Session);
  EXPECT_EQ(View.FontSize, 6);  // 6.4
  View.Dpi = 144;
  ApplyFonts(Session);
  EXPECT_EQ(View.FontSize, 5);  // 5.33
  Session.FontSize = 5;
  View.Dpi = 192;
  ApplyFonts(Session);
  EXPECT_EQ(View.FontSize, 3);  // 2.5 goes away from zero
}

TEST_F(SettingsTest, NoPathMeansNoSave) {
  Session.SettingsPath.clear();
  Save(Session, View);
  EXPECT_EQ(std::distance(fs::directory_iterator(Dir.Path()), fs::directory_iterator()), 0);
}

struct SettingsPathTest : ::testing::Test {
  TTempDir Exe, User;
  TEnv AppData{"APPDATA", User.Path().c_str()};
  std::string ExePath = Exe.File("tessmar");
};

TEST_F(SettingsPathTest, BesideAWritableExecutable) {
  EXPECT_EQ(ResolveSettingsPath("", ExePath), Exe.File("tessmar.ini"));
  EXPECT_EQ(ResolveSettingsPath("", Exe.File("tool.bin")), Exe.File("tool.ini"));
  EXPECT_EQ(ResolveSettingsPath("other.ini", ExePath), Exe.File("other.ini"));
  EXPECT_EQ(std::distance(fs::directory_iterator(Exe.Path()), fs::directory_iterator()), 0);  // probe removed
  EXPECT_EQ(FindSettingsPath(ExePath), Exe.File("tessmar.ini"));
}

TEST_F(SettingsPathTest, UnwritableFolderFallsBackToThePerUserCopy) {
  // A folder that does not exist cannot be written, by root or anyone.
  const std::string gone = Exe.File("gone/tessmar");
  EXPECT_EQ(ResolveSettingsPath("", gone), User.File("tessmar/tessmar.ini"));
  EXPECT_TRUE(fs::is_directory(User.File("tessmar")));
  EXPECT_FALSE(fs::exists(User.File("tessmar/tessmar.ini")));  // no template, no copy
}

TEST_F(SettingsPathTest, TemplateIsCopiedWhenNewerThanTheUsersCopy) {
  const auto later = [] { std::this_thread::sleep_for(std::chrono::milliseconds(20)); };
  const std::string beside = Exe.File("tessmar.ini"), user = User.File("tessmar/tessmar.ini");
  WriteText(beside, "template");
  EXPECT_EQ(UserSettingsPath(beside, ExePath), user);
  EXPECT_EQ(test::ReadBytes(user).size(), 8u);  // first copy
  later();
  WriteText(user, "edited by the program");  // the user's copy is newer
  EXPECT_EQ(UserSettingsPath(beside, ExePath), user);
  EXPECT_EQ(test::ReadBytes(user).size(), 21u);
  EXPECT_EQ(FindSettingsPath(ExePath), beside);  // the executable's folder is writable here
  later();
  WriteText(beside, "template 2");  // the template changed since
  UserSettingsPath(beside, ExePath);
  EXPECT_EQ(test::ReadBytes(user).size(), 10u);
  EXPECT_EQ(FileStamp(Exe.File("none")), 0);
}

// The window chooses (and creates) its settings file, the CLI only finds one;
// both must land on the same file, or a setting made in the window would not
// reach the CLI.
TEST_F(SettingsPathTest, WindowAndCliChooseTheSameFile) {
  WriteText(Exe.File("tessmar.ini"), "");
  const struct {
    const char* why;
    std::string exePath;
  } cases[] = {
      {"writable folder", Exe.File("tessmar")},
      {"writable folder with no file yet", Exe.File("tool")},
      {"missing folder", Exe.File("gone/tessmar")},
      {"folder no one may write, root included", "/proc/tessmar"},
      {"installed: bin beside share/tessmar, writable as for root", Exe.File("usr/bin/tessmar")},
  };
  fs::create_directories(Exe.File("usr/share/tessmar"));
  fs::create_directories(Exe.File("usr/bin"));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    const std::string window = ResolveSettingsPath("", c.exePath);
    ASSERT_TRUE(TProfile::CreateIfMissing(window));  // as the window's first load does
    EXPECT_EQ(FindSettingsPath(c.exePath), window);
  }
  // (A Windows program is never installed so: unpacked, it is portable.)
  if (!test::OnWindows) {
    EXPECT_EQ(ResolveSettingsPath("", Exe.File("usr/bin/tessmar")), User.File("tessmar/tessmar.ini"));
  }
}

// An installed program reads and writes its grids in the user's data folder and
// finds the source grids in the system's too; a portable one keeps them beside itself.
TEST_F(SettingsPathTest, InstalledProgramsKeepTheirGridsWhereTheSystemSays) {
  fs::create_directories(Exe.File("usr/share/tessmar"));
  fs::create_directories(Exe.File("usr/bin"));
  fs::create_directories(Exe.File("usr/sbin"));  // where a portable program lies
  TEnv data("XDG_DATA_HOME", User.File("data").c_str()), dirs("XDG_DATA_DIRS", "/opt/share:/srv/share/");
  // A Windows program is never installed so: unpacked, it is portable.
  EXPECT_EQ(RunsInstalled(Exe.File("usr/bin/tessmar")), !test::OnWindows);
  if (!test::OnWindows) {
    EXPECT_EQ(ProgramDataFolders(Exe.File("usr/bin/tessmar")),
              (std::vector<std::string>{User.File("data/tessmar/"), "/opt/share/tessmar/", "/srv/share/tessmar/",
                                        Exe.File("usr/share/tessmar/")}));
    // Set but empty is not set: the system's folders are the usual two.
    TEnv empty("XDG_DATA_DIRS", "");
    EXPECT_EQ(ProgramDataFolders(Exe.File("usr/bin/tessmar")),
              (std::vector<std::string>{User.File("data/tessmar/"), "/usr/local/share/tessmar/", "/usr/share/tessmar/",
                                        Exe.File("usr/share/tessmar/")}));
  }
  for (const std::string& portable : {Exe.File("tessmar"), Exe.File("usr/tessmar"), Exe.File("usr/sbin/tessmar")}) {
    EXPECT_FALSE(RunsInstalled(portable)) << portable;
    EXPECT_EQ(ProgramDataFolders(portable), std::vector<std::string>{FolderOf(portable)});
  }
  // A portable program in a folder it cannot write (unpacked into Program
  // Files) writes into the user's data folder, and reads its own folder too.
  TEnv local("LOCALAPPDATA", User.File("data").c_str());
  EXPECT_EQ(ProgramDataFolders(Exe.File("gone/tessmar")),
            (std::vector<std::string>{User.File("data/tessmar/"), Exe.File("gone/")}));
}

TEST_F(SettingsPathTest, AppDataThatCannotBeCreated) {
  WriteText(User.File("file"), "");
  TEnv appData("APPDATA", User.File("file").c_str());  // a file where the folder should go
  try {
    ResolveSettingsPath("", Exe.File("gone/tessmar"));
    ADD_FAILURE() << "no error";
  } catch (const TError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create : " + User.File("file") + "/tessmar/");
  }
}

}  // namespace
}  // namespace tessmar
