#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>

#include "TestGrids.hpp"
#include "base/CoordText.hpp"
#include "base/Numeric.hpp"
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

  // The 2.5' model of the whole globe, every node 0: each region has values.
  void UseGlobeSource() {
    Session.GeoidModels[0] = DefaultGeoidModels()[0];
    test::WriteSparseFile(Dir.File(Session.GeoidModels[0].fname), std::int64_t{4321} * 8642 * 4);
  }
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
      if (e.path().filename() != "source25" && e.path().filename() != Session.GeoidModels[0].fname)
        names.push_back(e.path().filename().string());
    return names;
  }
};

TEST_F(ConversionTest, SourceTruncatedDuringTheConversionIsAnErrorAndNothingIsWritten) {
  // Rows are sampled a block of rows ahead of the pumps: truncated at the pump
  // before the rows, while the grid is open, the sampling meets the change.
  int pumps = 0;
  bool truncated = false;
  View.OnPump = [&] {
    if (++pumps == 1) truncated = test::TruncateFromAnotherProcess(Dir.File("source25"));
  };
  const TConvertResult result = Convert();
  if (!truncated) {  // Windows refuses while the grid is open: the cut goes on over the nodes it opened
    EXPECT_TRUE(test::OpenFilesAreLocked);
    EXPECT_EQ(result.Outcome, TConvertOutcome::Written);
    EXPECT_EQ(Leftovers(), std::vector<std::string>{"Tessmar.qdat"});
    return;
  }
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
  const std::vector<std::string> report = {
      "Source Geoid model: EGM2008 2.5'x2.5'", "Output file name: " + Output(), "Output resolution:  5.0 minute",
      "Output size: 538,796 bytes.",
      // The corner nodes written, margins included: as a scan's "Range: " line shows them.
      "Region written: 19.750000N,119.750000E to 50.250000N,150.250000E (367 rows of 367 nodes)"};
  EXPECT_EQ(View.Lines, report);
  EXPECT_EQ(result.Cut.NoValueNodes, 0);
  EXPECT_FALSE(result.Cut.WideAcross180);
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

// FNV-1a of a file's bytes: a fingerprint to pin a file to the bytes an earlier
// build wrote.
std::uint64_t Fingerprint(const std::vector<unsigned char>& bytes) {
  std::uint64_t h = 14695981039346656037u;
  for (const unsigned char b : bytes) h = (h ^ b) * 1099511628211u;
  return h;
}

TEST_F(ConversionTest, CornersOnTheLatticeWriteTheSameBytesAsEver) {
  // Corners on whole multiples of the output spacing: each file is the bytes
  // the conversion has always written for them.
  struct TCase {
    const char *south, *west, *north, *east;
    int minutes;
    std::uint64_t bytes;
  } cases[] = {
      {"20", "120", "50", "150", 5, 5805941850388410755u},
      {"30", "10.5", "30", "10", 5, 8744234247763140827u},  // the whole circle
      {"35.25", "139.25", "35.875", "139.875", 0, 12228662745988671764u},
      {"30", "-180", "30", "180", 5, 8744234247763140827u},
      {"50.5", "120", "50", "150", 5, 12082761779545162604u},  // a single row
      {"35 30 N", "139 45", "36 15", "140 30 E", 15, 15355256521796206720u},
      {"40 20", "130 40", "45", "140", 20, 16768143683896975074u},
  };
  for (const auto& c : cases) {
    SetRegion(c.south, c.west, c.north, c.east);
    Plan.Resolution = c.minutes;
    View.Answers = {TModalResult::mrYes};
    ASSERT_EQ(Convert().Outcome, TConvertOutcome::Written) << c.south << ' ' << c.west;
    EXPECT_EQ(Fingerprint(test::ReadBytes(Output())), c.bytes)
        << c.south << ' ' << c.west << ' ' << c.north << ' ' << c.east;
  }
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
    bool wide = false;   // across 180 degrees and wider than 180: the report warns
    int resolution = 5;  // minutes; 0: the source's own spacing
  } cases[] = {
      {"10.5", "10", 0, 4320},     // west edge six cells east of the east edge
      {"0", "359.9", 0, 4320},     // misses less than eight cells of the circle
      {"-10", "10", 349.75, 247},  // across 0 degrees: margins, west not brought back
      {"350", "10", 349.75, 247},
      {"-180", "180", 0, 4320},             // "the whole world" as typed: not a strip at 180
      {"-179.7", "180", 0, 4320},           // 359.7 degrees as typed: less than eight cells short
      {"-170", "180", 189.75, 4207, true},  // 350: a region, across 180
      {"10", "-8", 9.75, 4111, true},       // 342 degrees east across 180: the other way round?
      {"170", "-170", 169.75, 247},         // across 180, 20 degrees wide
      {"-100", "100", 259.75, 2407},        // 200 degrees wide, across 0 but not 180
      {"100", "90", 99.75, 4207, true},     // 350 degrees, across 0 and 180
      // Below 0 a corner snaps to its nearest node as above 0: -10.001 to -10, -10.03 to -10 1/24.
      {"-10.001", "10", 349.875, 487, false, 0},
      {"-10.03", "10", 350 - 4.0 / 24, 488, false, 0},
  };
  UseGlobeSource();
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.west) + " " + c.east);
    SetRegion("30", c.west, "30", c.east);
    Plan.Resolution = c.resolution;
    View.Answers = {TModalResult::mrYes};
    EXPECT_EQ(Convert().Cut.WideAcross180, c.wide);
    const TCustomTrailer t = Trailer();
    EXPECT_EQ(t.west, c.W);
    EXPECT_EQ(t.cols, c.cols);
    EXPECT_EQ(t.rows, 7);
    EXPECT_EQ(View.Lines.back().rfind("Warning: the region runs east from ", 0) == 0, c.wide) << View.Lines.back();
  }
  Plan.Resolution = 5;
  SetRegion("30", "10", "30", "-8");
  View.Answers = {TModalResult::mrYes};
  Convert();
  EXPECT_EQ(View.Lines.back(),
            "Warning: the region runs east from 10.000000E across 180 degrees to 8.000000W, 342 degrees of longitude: "
            "were west and east meant the other way round?");
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
  UseGlobeSource();
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
  // The dialog's text as it stands; the report's next line names the corners.
  ASSERT_EQ(View.Lines.size(), 4u);
  EXPECT_EQ(View.Lines[2], "Output resolution:  5.0 minute");
  EXPECT_EQ(View.Lines[3],
            "The south corner 50.600000N lies north of the north corner 50.000000N: the region has no rows.");
  EXPECT_EQ(View.Text(TControl::LabelMakeReport), "");
  EXPECT_EQ(View.ProgressPosition, 0);
  EXPECT_TRUE(View.ProgressVisible);
}

TEST_F(ConversionTest, CountsThatWouldOverflowAreRangeErrors) {
  SetRegion("20", "357914303.5", "50", "10");  // passes as 100 columns in 32 bits
  EXPECT_EQ(Convert().Reason,
            "The west corner 357914303.5 and the east corner 10 lie more than a turn apart: the region has no columns. "
            "Give longitudes within -360..360.");
  EXPECT_EQ(View.Lines.back(), Convert().Reason);
  ASSERT_EQ(View.Dialogs.size(), 2u);
  EXPECT_EQ(View.Dialogs[0].Text, "Range specification error in latitude longitude.");
  EXPECT_TRUE(Leftovers().empty());

  // The whole globe at half a minute would be a 3.7 GB file.
  TGeoidModel& m = Session.GeoidModels[0];
  m.dgla = m.dglo = 1.0 / 120;
  Plan.Resolution = 0;
  SetRegion("-90", "0", "90", "360");
  Convert();
  EXPECT_EQ(View.Dialogs.size(), 3u);
  EXPECT_EQ(
      View.Lines.back(),
      "The file would be 3,732,652,840 bytes: a custom geoid file stays below 2 GiB (2,147,483,648 bytes). Choose "
      "a smaller region or a coarser resolution.");
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

// Corners between the nodes of the output lattice snap to the nearest whole
// cell (an exact half to the even cell), so every node of the cut lies on a
// source node and carries its value to the bit. (They once snapped to a
// sixtieth of a cell, and the nodes took values up to half a cell away.)
TEST_F(ConversionTest, CornersOffTheLatticeSnapToWholeCells) {
  struct TCase {
    const char *south, *west, *north, *east;
    int minutes;
    double S, W;  // the corners snapped, before the three-cell margins
    int rows, cols;
    std::vector<std::string> moved;  // the report's lines after the region written
  } cases[] = {
      {"20.1",
       "120",
       "50",
       "150",
       5,
       20 + 1.0 / 12,
       120,
       366,
       367,  // 241.2 cells: down
       {"South corner moved to a whole cell: 20.100000N to 20.083333N (60.000\" south)"}},
      {"20",
       "120.001",
       "50",
       "150",
       5,
       20,
       120,
       367,
       367,  // 1440.012: down
       {"West corner moved to a whole cell: 120.001000E to 120.000000E (3.600\" west)"}},
      {"20",
       "120 02 30",
       "50",
       "150",
       5,
       20,
       120,
       367,
       367,  // 1440.5: to the even cell
       {"West corner moved to a whole cell: 120.041667E to 120.000000E (150.000\" west)"}},
      {"20",
       "120 07 30",
       "50",
       "150",
       5,
       20,
       120 + 2.0 / 12,
       367,
       365,  // 1441.5: to the even cell
       {"West corner moved to a whole cell: 120.125000E to 120.166667E (150.000\" east)"}},
      {"35.3",
       "139.3",
       "35.9",
       "139.9",
       0,
       35 + 7.0 / 24,
       139 + 7.0 / 24,
       22,
       22,  // the 2.5' cut of a user's report
       {"South corner moved to a whole cell: 35.300000N to 35.291667N (30.000\" south)",
        "West corner moved to a whole cell: 139.300000E to 139.291667E (30.000\" west)",
        "North corner moved to a whole cell: 35.900000N to 35.916667N (60.000\" north)",
        "East corner moved to a whole cell: 139.900000E to 139.916667E (60.000\" east)"}},
      {"35 36 10 N",
       "139 42 20 E",
       "35 50",
       "140 10",
       15,
       35.5,
       139.75,
       8,
       9,
       {"South corner moved to a whole cell: 35.602778N to 35.500000N (370.000\" south)",
        "West corner moved to a whole cell: 139.705556E to 139.750000E (160.000\" east)",
        "North corner moved to a whole cell: 35.833333N to 35.750000N (300.000\" south)",
        "East corner moved to a whole cell: 140.166667E to 140.250000E (300.000\" east)"}},
      {"20.0000001", "120", "50", "150", 5, 20, 120, 367, 367, {}},  // 0.00036": no move worth a line
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.south) + " " + c.west);
    SetRegion(c.south, c.west, c.north, c.east);
    Plan.Resolution = c.minutes;
    View.Answers = {TModalResult::mrYes};
    ASSERT_EQ(Convert().Outcome, TConvertOutcome::Written);
    const TCustomTrailer t = Trailer();
    const double res = OutputResolution(c.minutes, 1.0 / 24);
    EXPECT_DOUBLE_EQ(t.south, c.S - 3 * res);
    EXPECT_DOUBLE_EQ(t.west, c.W - 3 * res);
    EXPECT_EQ(t.rows, c.rows);
    EXPECT_EQ(t.cols, c.cols);
    ASSERT_GE(View.Lines.size(), 5u);
    EXPECT_EQ(View.Lines[4].rfind("Region written: ", 0), 0u);
    EXPECT_EQ(std::vector<std::string>(View.Lines.begin() + 5, View.Lines.end()), c.moved);
    ASSERT_TRUE(OpenCustomFile(Session, Output()));
    const TGeoidGrid& g = *Session.CustomGrid;
    const int step = static_cast<int>(std::lround(res * 24));
    const int row0 = static_cast<int>(std::lround((51 - g.north) * 24)),
              col0 = static_cast<int>(std::lround((g.west - 119) * 24));
    EXPECT_NEAR((51 - g.north) * 24, row0, 1e-9);  // on a source row
    EXPECT_NEAR((g.west - 119) * 24, col0, 1e-9);  // on a source column
    for (int i = 0; i < g.nlat; ++i)
      for (int j = 0; j < g.nlon; ++j)
        ASSERT_EQ(Bits(g.ReadNode(i, j)), Bits(Field(row0 + step * i, col0 + step * j))) << i << ',' << j;
    CloseCustomFile(Session);
  }
}

TEST_F(ConversionTest, SingleRowCompletes) {
  SetRegion("50.5", "120", "50", "150");  // six cells north: S = N after the margins
  Convert();
  EXPECT_EQ(Trailer().rows, 1);
  EXPECT_EQ(View.ProgressPosition, 1000);
  EXPECT_EQ(View.TaskbarValue, 128);
  EXPECT_EQ(View.Text(TControl::LabelMakeReport), "Output size: " + IntToGroupedStr(367 * 4 + 40) + " bytes.");
}

// A conversion that cannot be written is "Done with error." and the report's
// next line says why, in the system's words, with the path; the report shows;
// nothing is left behind and an existing file stays as it was.
TEST_F(ConversionTest, FailuresAreDoneWithErrorAndSayWhy) {
  const std::string tooLong(300, 'n');
  struct TCase {
    const char* name;
    std::function<void()> before;
    std::string name_, reason;
    std::vector<std::string> left;
  } cases[] = {
      {"a folder of that name",
       [&] { fs::create_directory(Output()); },
       "Tessmar.qdat",
       "Cannot write " + Output() + ": it is a folder",
       {"Tessmar.qdat"}},
      // Windows finds no path for a name beyond its 255 characters.
      {"a name too long",
       [] {},
       tooLong,
       "Cannot write " + Dir.File(tooLong + ".qdat") +
           (test::OnWindows ? ": No such file or directory" : ": File name too long"),
       {}},
      {"no value in the region",
       [&] { SetRegion("-10", "350", "10", "10"); },
       "Tessmar.qdat",
       "Nothing written to " + Output() + ": no node of the region has a value in the source grid",
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    View.Lines.clear();
    View.ReportVisible = false;
    SetRegion("20", "120", "50", "150");
    Selection.CustomName = c.name_;
    c.before();
    View.Answers = {TModalResult::mrYes};
    const TConvertResult r = Convert();
    EXPECT_EQ(r.Outcome, TConvertOutcome::Failed);
    ASSERT_GE(View.Lines.size(), 2u);
    EXPECT_EQ(View.Lines[View.Lines.size() - 2], "Done with error.");
    EXPECT_EQ(View.Lines.back(), c.reason);
    EXPECT_EQ(r.Reason, c.reason);
    EXPECT_TRUE(View.ReportVisible);
    EXPECT_EQ(View.Text(TControl::LabelMakeReport), "");
    EXPECT_EQ(Leftovers(), c.left);
    std::error_code ignored;
    fs::remove_all(Output(), ignored);
  }
}

// A cut at the edge of a regional source has nodes without a value in its
// margin: the report says how many, as many as the file holds.
TEST_F(ConversionTest, CutAtTheSourceEdgeSaysHowManyNodesHoldNoValue) {
  const struct {
    const char *south, *west, *north, *east;
    std::int64_t none;
  } cases[] = {
      {"19", "119", "30", "130", 3 * 139 + 3 * 136},  // three rows and three columns of the margin off the grid
      {"40", "140", "51", "151", 3 * 139 + 3 * 136},
      {"40", "140", "51", "150", 3 * 127},  // off the grid to the north only
      {"20", "120", "50", "150", 0},        // the margin inside the grid: no line
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.south) + " " + c.west);
    SetRegion(c.south, c.west, c.north, c.east);
    View.Answers = {TModalResult::mrYes};
    const TConvertResult r = Convert();
    ASSERT_EQ(r.Outcome, TConvertOutcome::Written);
    const auto bytes = test::ReadBytes(Output());
    std::int64_t none = 0;
    for (std::size_t k = 0; k + CustomTrailerSize < bytes.size(); k += 4) {
      std::uint32_t bits = 0;
      std::memcpy(&bits, &bytes[k], 4);
      none += bits == NoValueBits ? 1 : 0;
    }
    EXPECT_EQ(none, c.none);
    EXPECT_EQ(r.Cut.NoValueNodes, c.none);
    const TCustomTrailer t = Trailer();
    const std::string line = "Nodes without a value: " + IntToGroupedStr(c.none) + " of " +
                             IntToGroupedStr(std::int64_t{t.rows} * t.cols) +
                             " (outside the source grid, or without a value there)";
    EXPECT_EQ(View.Lines.back() == line, c.none > 0) << View.Lines.back();
  }
}

TEST_F(ConversionTest, FolderThatCannotBeWrittenIsDoneWithError) {
  if (const char* why = test::FolderPermissionsDoNotBind()) GTEST_SKIP() << why;
  fs::permissions(Dir.Path(), fs::perms::owner_write, fs::perm_options::remove);
  Convert();
  fs::permissions(Dir.Path(), fs::perms::owner_write, fs::perm_options::add);
  EXPECT_EQ(View.Lines.back(), "Cannot write " + Output() + ": Permission denied");
  EXPECT_TRUE(View.ReportVisible);
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(ConversionTest, FullDiskLeavesTheOldFileAndNoTemporaryFile) {
  if (test::OnWindows) GTEST_SKIP() << "Windows has no file-size limit to stand for a full disk";
  test::WriteBytes(Output(), {9, 9});
  // In a child process: the file-size limit stands for a full disk.
  const auto convertWithLimit = [&] {
    if (!test::LimitFileSize(100000)) std::exit(2);
    View.Answers = {TModalResult::mrYes};
    Convert();
    const bool ok = View.Lines[View.Lines.size() - 2] == "Done with error." &&
                    View.Lines.back() == "Cannot write " + Output() + ": File too large" && View.ReportVisible &&
                    test::ReadBytes(Output()) == std::vector<unsigned char>{9, 9} && Leftovers().size() == 1;
    std::exit(ok ? 0 : 1);
  };
  EXPECT_EXIT(convertWithLimit(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace tessmar
