#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>

#include "TestGrids.hpp"
#include "base/CoordText.hpp"
#include "convert/Conversion.hpp"
#include "convert/ConvertCommand.hpp"
#include "grid/Check.hpp"
#include "grid/Source.hpp"
#include "session/Grids.hpp"
#include "session/RunHandler.hpp"

namespace tessmar {
namespace {

namespace fs = std::filesystem;
using test::TRecorderView;
using test::TTempDir;

// Distinct values, so a node read from the wrong place shows.
float Field(int r, int c) { return static_cast<float>((r * 769 + c) % 4001) / 32 - 60; }

std::uint32_t Bits(float v) { return std::bit_cast<std::uint32_t>(v); }

struct ConversionTest : ::testing::Test {
  TTempDir Dir;
  TRecorderView View;
  TSession Session{View};

  TSelection Selection{0, "Tessmar.qdat"};
  TConversionPlan Plan{{20, 120, 50, 150}, 5};

  ConversionTest() { test::UseRegionSource(Session, Dir, Field); }

  // The corners as the window reads what was typed.
  void SetRegion(const char* south, const char* west, const char* north, const char* east) {
    Plan.Corners = {ParseCoordinate(south), ParseCoordinate(west), ParseCoordinate(north), ParseCoordinate(east)};
  }
  // The Convert button: an error that leaves the command is shown, and the result says Failed.
  TConvertResult Convert() {
    TConvertResult result;
    result.Outcome = TConvertOutcome::Failed;
    RunHandler(View, [&] { result = ConvertCustomGeoid(Session, Selection, Plan); });
    return result;
  }
  std::string Output() const { return Dir.File("Tessmar.qdat"); }
  TCustomTrailer Trailer() const {
    const auto bytes = test::ReadBytes(Output());
    return DecodeTrailer(bytes.data() + bytes.size() - CustomTrailerSize);
  }
  // What the folder holds besides the source grid: no temporary file may stay.
  std::vector<std::string> Leftovers() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(Dir.Path()))
      if (e.path().filename() != "source25") names.push_back(e.path().filename().string());
    return names;
  }
};

TEST_F(ConversionTest, SourceTruncatedDuringTheConversionIsAnErrorAndNothingIsWritten) {
  // Rows are sampled a block of rows ahead of the pumps: truncated at the pump
  // before the rows, while the grid is open, the sampling meets the change.
  int pumps = 0;
  View.OnPump = [&] {
    if (++pumps == 1) test::TruncateFromAnotherProcess(Dir.File("source25"));
  };
  const TConvertResult result = Convert();
  EXPECT_EQ(result.Outcome, TConvertOutcome::Failed);
  EXPECT_EQ(View.GeneralErrors, std::vector<std::string>{SourceChangedText});
  EXPECT_FALSE(Session.Busy);
  EXPECT_FALSE(Session.SourceOpen());
  EXPECT_EQ(Leftovers(), std::vector<std::string>{});

  // The program goes on: with the grid back, the same conversion is written.
  View.OnPump = nullptr;
  test::UseRegionSource(Session, Dir, Field);
  EXPECT_EQ(Convert().Outcome, TConvertOutcome::Written);
  EXPECT_EQ(Leftovers(), std::vector<std::string>{"Tessmar.qdat"});
}

TEST_F(ConversionTest, RegionAtFiveMinutesIsWrittenAndReported) {
  const TConvertResult result = Convert();
  EXPECT_EQ(result.Outcome, TConvertOutcome::Written);
  EXPECT_EQ(result.Path, Output());
  EXPECT_EQ(result.Size, 538796);
  EXPECT_EQ(fs::file_size(Output()), 538796u);
  EXPECT_EQ(View.Text(TControl::LabelMakeReport), "Output size: 538,796 bytes.");
  const std::vector<std::string> report = {"Source Geoid model: EGM2008 2.5'x2.5'", "Output file name: " + Output(),
                                           "Output resolution:  5.0 minute", "Output size: 538,796 bytes."};
  EXPECT_EQ(View.Lines, report);
  EXPECT_FALSE(View.ReportVisible);
  EXPECT_TRUE(View.Dialogs.empty());
  const TCustomTrailer t = Trailer();
  EXPECT_EQ(std::memcmp(&t, &result.Trailer, sizeof t), 0);  // the result is what the file says
  EXPECT_EQ(t.rows, 367);
  EXPECT_EQ(t.cols, 367);
  EXPECT_EQ(t.south, 19.75);
  EXPECT_EQ(t.west, 119.75);
  EXPECT_EQ(t.dlat, 1.0 / 12);
  EXPECT_EQ(t.dlon, 1.0 / 12);
  // Progress complete, the source closed again, nothing running.
  EXPECT_EQ(View.ProgressPosition, 1000);
  EXPECT_TRUE(View.ProgressVisible);
  EXPECT_EQ(View.TaskbarValue, 128);
  EXPECT_EQ(View.TaskbarState, TTaskBarProgressState::Normal);
  EXPECT_FALSE(Session.SourceOpen());
  EXPECT_FALSE(Session.Busy);
  EXPECT_EQ(View.Pumps, 1 + 367);  // once before the rows, once per row
  EXPECT_EQ(Leftovers(), std::vector<std::string>{"Tessmar.qdat"});
}

TEST_F(ConversionTest, EveryNodeIsTheNearestSourceNode) {
  Convert();
  ASSERT_TRUE(OpenCustomFile(Session, Output()));
  const TGeoidGrid& c = *Session.CustomGrid;
  EXPECT_EQ(c.north, 50.25);
  // Output node (i, j) lies on source node (2i + 12, 2j + 12): 50.25 N is row 12 of a
  // source whose row 0 is at 51 N, 119.75 E is column 18.
  for (int i = 0; i < c.nlat; ++i)
    for (int j = 0; j < c.nlon; ++j)
      ASSERT_EQ(Bits(c.ReadNode(i, j)), Bits(Field(2 * i + 18, 2 * j + 18))) << i << ',' << j;
}

TEST_F(ConversionTest, ResolutionLineFollowsTheButtons) {
  Plan.Resolution = 0;
  Convert();
  EXPECT_EQ(View.Lines[2], "Output resolution:  2.5 minute");
  EXPECT_EQ(Trailer().dlat, 1.0 / 24);
  Plan.Resolution = 10;
  View.Answers = {TModalResult::mrYes};
  Convert();
  EXPECT_EQ(View.Lines[2], "Output resolution: 10.0 minute");
  EXPECT_EQ(Trailer().rows, 187);  // 30 degrees and six cells of margin at 10'
}

TEST_F(ConversionTest, WholeCircleAndMarginsInLongitude) {
  struct TCase {
    const char *west, *east;
    double W;
    int cols;
  } cases[] = {
      {"10.5", "10", 0, 4320},                                  // west edge six cells east of the east edge
      {"0", "359.9", 0, 4320},                                  // misses less than eight cells of the circle
      {"-10", "10", 349.75, 247},                               // across 0 degrees: margins, west not brought back
      {"350", "10", 349.75, 247},    {"-180", "180", 0, 4320},  // "the whole world" as typed: not a strip at 180
      {"-179.7", "180", 0, 4320},                               // 359.7 degrees as typed: less than eight cells short
      {"-170", "180", 189.75, 4207},                            // 350: a region, across 180
  };
  for (const auto& c : cases) {
    SetRegion("30", c.west, "30", c.east);
    View.Answers = {TModalResult::mrYes};
    Convert();
    const TCustomTrailer t = Trailer();
    EXPECT_EQ(t.west, c.W) << c.west << ' ' << c.east;
    EXPECT_EQ(t.cols, c.cols) << c.west << ' ' << c.east;
    EXPECT_EQ(t.rows, 7);
  }
  // Typed -180 .. 180 writes what 0 .. 360 writes, byte for byte.
  SetRegion("30", "-180", "30", "180");
  View.Answers = {TModalResult::mrYes};
  Convert();
  const auto typedMinus180 = test::ReadBytes(Output());
  SetRegion("30", "0", "30", "360");
  View.Answers = {TModalResult::mrYes};
  Convert();
  EXPECT_EQ(test::ReadBytes(Output()), typedMinus180);
}

TEST_F(ConversionTest, LatitudesClampAtThePoles) {
  SetRegion("-90", "120", "-89", "121");
  Convert();
  EXPECT_EQ(Trailer().south, -90);
  EXPECT_EQ(Trailer().rows, 16);  // -90 .. -88.75
}

TEST_F(ConversionTest, NegativeCountIsARangeErrorAndTouchesNothing) {
  test::WriteCustomFile(Dir.File("open.qdat"), {2, 2, 10, 10, 0.25, 0.25}, Field);
  ASSERT_TRUE(OpenCustomFile(Session, Dir.File("open.qdat")));
  SetRegion("50.6", "120", "50", "150");  // more than six and a half cells north of the north edge
  EXPECT_EQ(Convert().Outcome, TConvertOutcome::RangeError);
  ASSERT_EQ(View.Dialogs.size(), 1u);
  EXPECT_EQ(View.Dialogs[0].Text, "Range specification error in latitude longitude.");
  EXPECT_EQ(View.Dialogs[0].Kind, TMsgDlgType::Error);
  EXPECT_FALSE(fs::exists(Output()));
  EXPECT_TRUE(CustomIsOpen(Session));
  EXPECT_EQ(View.Lines.back(), "Output resolution:  5.0 minute");
  EXPECT_EQ(View.Text(TControl::LabelMakeReport), "");
  EXPECT_EQ(View.ProgressPosition, 0);
  EXPECT_TRUE(View.ProgressVisible);
}

TEST_F(ConversionTest, CountsThatWouldOverflowAreRangeErrors) {
  SetRegion("20", "357914303.5", "50", "10");  // passes as 100 columns in 32 bits
  Convert();
  ASSERT_EQ(View.Dialogs.size(), 1u);
  EXPECT_EQ(View.Dialogs[0].Text, "Range specification error in latitude longitude.");
  EXPECT_TRUE(Leftovers().empty());

  // The whole globe at half a minute would be a 3.7 GB file.
  TGeoidModel& m = Session.GeoidModels[0];
  m.dgla = m.dglo = 1.0 / 120;
  Plan.Resolution = 0;
  SetRegion("-90", "0", "90", "360");
  Convert();
  EXPECT_EQ(View.Dialogs.size(), 2u);
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(ConversionTest, BlankCornerEndsWithTheGeneralErrorAndNoFile) {
  test::WriteCustomFile(Dir.File("open.qdat"), {2, 2, 10, 10, 0.25, 0.25}, Field);
  ASSERT_TRUE(OpenCustomFile(Session, Dir.File("open.qdat")));
  SetRegion("20", "120", "", "150");
  const TConvertResult failed = Convert();
  EXPECT_EQ(failed.Outcome, TConvertOutcome::Failed);
  EXPECT_EQ(View.GeneralErrors, std::vector<std::string>{"Invalid floating point operation"});
  EXPECT_EQ(View.Lines.size(), 3u);
  EXPECT_EQ(View.Lines.back(), "Output resolution:  5.0 minute");
  EXPECT_EQ(View.Text(TControl::LabelMakeReport), "");
  EXPECT_FALSE(fs::exists(Output()));
  EXPECT_TRUE(CustomIsOpen(Session));
  EXPECT_FALSE(Session.Busy);
  SetRegion("20", "120", "50", "150");  // and the next Convert works
  Convert();
  EXPECT_EQ(View.Text(TControl::LabelMakeReport), "Output size: 538,796 bytes.");
}

TEST_F(ConversionTest, EscapeAfterTheFirstRowErasesOnlyTheNewFile) {
  test::WriteBytes(Output(), {1, 2, 3});
  View.Answers = {TModalResult::mrYes};
  View.OnPump = [&] { Session.AbortRequested = true; };  // Escape in the pump before the rows
  EXPECT_EQ(Convert().Outcome, TConvertOutcome::Aborted);
  EXPECT_EQ(View.Pumps, 2);  // the first row was still written
  EXPECT_EQ(View.Text(TControl::LabelMakeReport), "Aborted by user.");
  EXPECT_EQ(View.Lines.back(), "Aborted by user.");
  EXPECT_EQ(View.ProgressPosition, 0);
  EXPECT_TRUE(View.ProgressVisible);
  EXPECT_EQ(View.TaskbarState, TTaskBarProgressState::None);
  EXPECT_EQ(test::ReadBytes(Output()), (std::vector<unsigned char>{1, 2, 3}));
  EXPECT_EQ(Leftovers(), std::vector<std::string>{"Tessmar.qdat"});
  EXPECT_FALSE(Session.SourceOpen());
}

TEST_F(ConversionTest, EscapeBeforeARangeErrorIsStillAnAbort) {
  SetRegion("50.6", "120", "50", "150");
  View.OnPump = [&] { Session.AbortRequested = true; };
  EXPECT_EQ(Convert().Outcome, TConvertOutcome::Aborted);
  EXPECT_TRUE(View.Dialogs.empty());
  EXPECT_EQ(View.Text(TControl::LabelMakeReport), "Aborted by user.");
}

TEST_F(ConversionTest, OverwriteRefusedChangesNothing) {
  test::WriteBytes(Output(), {7});
  View.Lines = {"old"};
  View.SetText(TControl::LabelMakeReport, "Output size: 1 bytes.");
  View.Answers = {TModalResult::mrNo};
  EXPECT_EQ(Convert().Outcome, TConvertOutcome::Declined);
  ASSERT_EQ(View.Dialogs.size(), 1u);
  EXPECT_EQ(View.Dialogs[0].Text, "File exist :\r\n" + Output() + "\r\n\n Overwrite?");
  EXPECT_EQ(View.Dialogs[0].Kind, TMsgDlgType::Warning);
  EXPECT_EQ(View.Dialogs[0].Buttons, mbYes | mbNo);
  EXPECT_EQ(View.Lines, std::vector<std::string>{"old"});
  EXPECT_EQ(View.Text(TControl::LabelMakeReport), "Output size: 1 bytes.");
  EXPECT_EQ(test::ReadBytes(Output()), std::vector<unsigned char>{7});
  EXPECT_FALSE(Session.SourceOpen());
}

TEST_F(ConversionTest, MissingSourceAppendsCannotOpen) {
  fs::remove(Dir.File("source25"));
  View.Lines = {"old"};
  View.SetText(TControl::LabelMakeReport, "Output size: 1 bytes.");
  EXPECT_EQ(Convert().Outcome, TConvertOutcome::SourceMissing);
  ASSERT_EQ(View.Dialogs.size(), 1u);
  EXPECT_EQ(View.Dialogs[0].Text, "Geoid file is not found: \r\nsource25");
  EXPECT_EQ(View.Lines, (std::vector<std::string>{"old", "Cannot open: EGM2008 2.5'x2.5'"}));
  EXPECT_FALSE(View.ReportVisible);
  EXPECT_EQ(View.Text(TControl::LabelMakeReport), "Output size: 1 bytes.");
  EXPECT_FALSE(Session.Busy);
}

TEST_F(ConversionTest, BusyOrNamelessDoesNothing) {
  Session.Busy = true;
  Session.AbortRequested = true;
  EXPECT_EQ(Convert().Outcome, TConvertOutcome::NotRun);
  EXPECT_TRUE(Session.Busy);
  EXPECT_FALSE(Session.AbortRequested);  // a click during a run forgets a pending Escape
  EXPECT_TRUE(View.Lines.empty());
  Session.Busy = false;
  Selection.CustomName = "  \t";
  Convert();
  EXPECT_FALSE(Session.Busy);
  EXPECT_TRUE(View.Lines.empty());
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(ConversionTest, CornersOffTheLatticeRecordTheLastRowWritten) {
  SetRegion("20.1", "120", "50", "150");  // 30.4 degrees with the margins: 364.8 cells
  Convert();
  const TCustomTrailer t = Trailer();
  EXPECT_EQ(t.rows, 366);
  EXPECT_EQ(t.south, 50.25 - 365 * (1.0 / 12));  // not 19.85, half a cell away from the last row
  ASSERT_TRUE(OpenCustomFile(Session, Output()));
  EXPECT_NEAR(Session.CustomGrid->north, 50.25, 1e-12);
  EXPECT_EQ(Bits(Session.CustomGrid->ReadNode(365, 0)), Bits(Field(18 + 2 * 365, 18)));

  // A corner typed between two points of its lattice (a sixtieth of the spacing)
  // snaps to the nearer one, above as well as below.
  const double res = 1.0 / 12;
  SetRegion("20", "120.001", "50", "150");  // 86400.72 sixtieths: up
  View.Answers = {TModalResult::mrYes};
  Convert();
  EXPECT_EQ(Trailer().west, 86401.0 * res / 60 - 3 * res);
  SetRegion("20", "120.0006", "50", "150");  // 86400.432: down
  View.Answers = {TModalResult::mrYes};
  Convert();
  EXPECT_EQ(Trailer().west, 119.75);
}

TEST_F(ConversionTest, SingleRowCompletes) {
  SetRegion("50.5", "120", "50", "150");  // six cells north: S = N after the margins
  Convert();
  EXPECT_EQ(Trailer().rows, 1);
  EXPECT_EQ(View.ProgressPosition, 1000);
  EXPECT_EQ(View.TaskbarValue, 128);
  EXPECT_EQ(View.Text(TControl::LabelMakeReport), "Output size: " + IntToGroupedStr(367 * 4 + 40) + " bytes.");
}

TEST_F(ConversionTest, FolderThatCannotBeWrittenIsDoneWithError) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
  fs::permissions(Dir.Path(), fs::perms::owner_write, fs::perm_options::remove);
  Convert();
  fs::permissions(Dir.Path(), fs::perms::owner_write, fs::perm_options::add);
  EXPECT_EQ(View.Lines.back(), "Done with error.");
  EXPECT_TRUE(View.ReportVisible);
  EXPECT_EQ(View.Text(TControl::LabelMakeReport), "");
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(ConversionTest, TargetThatCannotBeReplacedIsDoneWithError) {
  fs::create_directory(Output());  // a folder of that name
  View.Answers = {TModalResult::mrYes};
  Convert();
  EXPECT_EQ(View.Lines.back(), "Done with error.");
  EXPECT_TRUE(View.ReportVisible);
  EXPECT_TRUE(fs::is_directory(Output()));
  EXPECT_EQ(Leftovers(), std::vector<std::string>{"Tessmar.qdat"});
}

TEST_F(ConversionTest, FullDiskLeavesTheOldFileAndNoTemporaryFile) {
  test::WriteBytes(Output(), {9, 9});
  // In a child process: the file-size limit stands for a full disk.
  const auto convertWithLimit = [&] {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{100000, 100000};
    setrlimit(RLIMIT_FSIZE, &limit);
    View.Answers = {TModalResult::mrYes};
    Convert();
    const bool ok = View.Lines.back() == "Done with error." && View.ReportVisible &&
                    test::ReadBytes(Output()) == std::vector<unsigned char>{9, 9} && Leftovers().size() == 1;
    std::exit(ok ? 0 : 1);
  };
  EXPECT_EXIT(convertWithLimit(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace tessmar
