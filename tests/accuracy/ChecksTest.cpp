#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "TestGrids.hpp"
#include "accuracy/PointCheck.hpp"
#include "accuracy/Scan.hpp"
#include "base/CoordText.hpp"
#include "convert/ConvertCommand.hpp"
#include "grid/Check.hpp"
#include "grid/Interpolation.hpp"
#include "grid/Source.hpp"
#include "session/Grids.hpp"
#include "session/RunHandler.hpp"

namespace tessmar {
namespace {

namespace fs = std::filesystem;
using test::TRecorderView;
using test::TTempDir;

// A smooth field, so that a 5' grid cut from it departs from it between nodes.
float Smooth(int r, int c) {
  return static_cast<float>(30 * std::sin(r * 0.05) * std::cos(c * 0.07) + 5 * std::sin(c * 0.3));
}

// A 2.5' source over 19..51 N, 119..151 E (entry 0, with the real title) and the
// 5' custom file of 20..50 N, 120..150 E cut from it.
struct ChecksTest : ::testing::Test {
  TTempDir Dir;
  TRecorderView View;
  TSession Session{View};

  TSelection Selection{0, "Tessmar.qdat"};

  ChecksTest() {
    test::UseRegionSource(Session, Dir, Smooth);
    ConvertCustomGeoid(Session, Selection, {{20, 120, 50, 150}, 5});
    View.Lines.clear();
  }
  // The scan and the point check on what the fields hold, read as the window reads them.
  TScanResult Scan(TScanRowSink* sink = nullptr) {
    return MaximumErrorScan(Session, Selection, ParseNumber(View.Text(TControl::ComboBoxPrecision)), sink);
  }
  // The button: an error that leaves the scan is shown, and the result says Failed.
  TScanResult ScanClick() {
    TScanResult result;
    result.Outcome = TScanOutcome::Failed;
    RunHandler(View, [&] { result = Scan(); });
    return result;
  }
  TPointCheck Calc() {
    return PointCheck(Session, Selection, ParseCoordinate(View.Text(TControl::EditLat)),
                      ParseCoordinate(View.Text(TControl::EditLon)));
  }
  std::string Path() const { return Dir.File("Tessmar.qdat"); }
  // A custom file of the given spacing in place of the converted one.
  void WriteCustom(double spacing, int rows, int cols, double south = 30, double west = 130) {
    test::WriteCustomFile(Path(), {rows, cols, south, west, spacing, spacing}, [](int, int) { return 1.0f; });
  }
  void SetPoint(const std::string& lat, const std::string& lon) {
    View.SetText(TControl::EditLat, lat);
    View.SetText(TControl::EditLon, lon);
  }
  std::string Field(TControl c) const { return View.Text(c); }
};

TEST_F(ChecksTest, PointOnACommonNodeHasNoError) {
  SetPoint("35 30", "139 45");  // a node of both grids
  Calc();
  const float node = Smooth((51 - 35.5) * 24, (139.75 - 119) * 24);
  EXPECT_EQ(Field(TControl::EditGeoid), FormatFixed(node, 6, 4));
  EXPECT_EQ(Field(TControl::EditCustomGeoid), FormatFixed(node, 6, 4));
  EXPECT_EQ(Field(TControl::EditError), "0.0000");
  EXPECT_TRUE(Session.SourceOpen());
  EXPECT_TRUE(CustomIsOpen(Session));
}

TEST_F(ChecksTest, PointBetweenNodesShowsFloatCustomMinusSource) {
  SetPoint("35 40 37.8", "139 44 52.3");
  Calc();
  const double lat = 35.677166666666665, lon = 139.74786111111112;
  const double src = SourceValue(Session, lat, lon);
  const double cus = CustomValue(Session, lat, lon);
  EXPECT_EQ(Field(TControl::EditGeoid), FormatFixed(src, 6, 4));
  EXPECT_EQ(Field(TControl::EditCustomGeoid), FormatFixed(cus, 6, 4));
  EXPECT_EQ(Field(TControl::EditError), FormatFixed(cus - src, 6, 4));
  EXPECT_NE(Field(TControl::EditError), "0.0000");
  const TPointValues v = CheckPoint(Session, lat, lon);
  EXPECT_EQ(v.SourceText, Field(TControl::EditGeoid));
  EXPECT_EQ(v.ErrorText, Field(TControl::EditError));
}

TEST_F(ChecksTest, UnreadableOrOutsidePointsAreOutOfRange) {
  SetPoint("", "139");
  Calc();
  EXPECT_EQ(Field(TControl::EditGeoid), "Out of range.");
  EXPECT_EQ(Field(TControl::EditCustomGeoid), "Out of range.");
  EXPECT_EQ(Field(TControl::EditError), "");
  SetPoint("50.8", "139");  // inside the source, outside the custom grid
  Calc();
  EXPECT_NE(Field(TControl::EditGeoid), "Out of range.");
  EXPECT_EQ(Field(TControl::EditCustomGeoid), "Out of range.");
  EXPECT_EQ(Field(TControl::EditError), "");
  EXPECT_TRUE(View.Dialogs.empty());
}

TEST_F(ChecksTest, MissingCustomFileIsReportedAtEveryCheck) {
  fs::remove(Path());
  View.SetText(TControl::EditCustomGeoid, "old");
  View.SetText(TControl::EditError, "old");
  Calc();
  Calc();
  ASSERT_EQ(View.Dialogs.size(), 2u);
  EXPECT_EQ(View.Dialogs[1].Text, "Geoid file is not found: \r\n" + Path());
  EXPECT_NE(Field(TControl::EditGeoid), "");
  EXPECT_EQ(Field(TControl::EditCustomGeoid), "");
  EXPECT_EQ(Field(TControl::EditError), "");
}

TEST_F(ChecksTest, SourceThatDoesNotOpenLeavesTheFields) {
  fs::remove(Dir.File("source25"));
  View.SetText(TControl::EditGeoid, "1.0000");
  Calc();
  EXPECT_EQ(Field(TControl::EditGeoid), "1.0000");
  EXPECT_EQ(View.Dialogs.size(), 1u);
  EXPECT_FALSE(CustomIsOpen(Session));
}

TEST_F(ChecksTest, ScanOfTheFiveMinuteRegion) {
  const TScanResult r = Scan();
  EXPECT_EQ(r.Precision, 1);
  EXPECT_EQ(r.LastRow, 720);
  EXPECT_EQ(r.LastColumn, 720);
  EXPECT_EQ(r.Points, 721 * 721);
  EXPECT_EQ(r.RowsScanned, 721);
  EXPECT_EQ(r.ScannedFraction(), 1);
  ASSERT_TRUE(r.Max && r.Min);
  EXPECT_GT(r.Max->Diff, 0);
  EXPECT_LT(r.Min->Diff, 0);
  const std::vector<std::string> head = {"File name: " + Path(),
                                         "Range: 19.750000N,119.750000E to 50.250000N,150.250000E",
                                         "Resolution:  5.0 minute    Size: 538,796 bytes."};
  ASSERT_EQ(View.Lines.size(), 5u);
  EXPECT_EQ(std::vector<std::string>(View.Lines.begin(), View.Lines.begin() + 3), head);
  EXPECT_EQ(View.Lines[3], Field(TControl::LabelMinG));
  EXPECT_EQ(View.Lines[4], Field(TControl::LabelMaxG));
  EXPECT_EQ(Field(TControl::LabelReso), head[2]);
  EXPECT_EQ(Field(TControl::LabelMaxG).rfind("Max: ", 0), 0u);
  EXPECT_EQ(Field(TControl::ComboBoxPrecision), "1.0");
  EXPECT_EQ(View.ProgressPosition, 1000);
  EXPECT_TRUE(View.ProgressVisible);
  EXPECT_FALSE(Session.Busy);
  EXPECT_TRUE(CustomIsOpen(Session));
}

// Every point one after the other with fresh evaluations, as the rules read.
TScanResult SequentialScan(const TSession& s, double precision, std::int64_t lastRow, std::int64_t lastColumn) {
  const TGeoidGrid &src = *s.SourceGrid, &cus = *s.CustomGrid;
  TScanResult r;
  double max = -100, min = 100;
  for (std::int64_t i = 0; i <= lastRow; ++i)
    for (std::int64_t j = 0; j <= lastColumn; ++j) {
      const double lat = (cus.north - cus.dlat * 3) - src.dlat * i / precision;
      const double lon = (cus.west + cus.dlon * 3) + src.dlon * j / precision;
      const double a = SourceValue(s, lat, lon), b = CustomValue(s, lat, lon);
      if (std::isnan(a) || std::isnan(b)) continue;
      ++r.Points;
      if (b - a > max) r.Max = TScanExtreme{max = b - a, lat, lon};
      if (b - a < min) r.Min = TScanExtreme{min = b - a, lat, lon};
    }
  return r;
}

TEST_F(ChecksTest, ParallelScanFindsWhatTheSequentialOneFinds) {
  // Holes in both grids: points next to them fall back to the bilinear value or
  // have none.
  TCustomTrailer t = DecodeTrailer(test::ReadBytes(Path()).data() + 538756);
  test::WriteCustomFile(
      Path(), t, [](int r, int c) { return (r * 7 + c * 3) % 41 == 0 ? NoValue() : Smooth(2 * r + 18, 2 * c + 18); });
  for (const auto& [row, col] : {std::pair{100, 200}, {400, 401}, {18, 18}})
    test::PokeWord(Dir.File("source25"), std::int64_t{row} * 771 + col + 1, NoValue());
  View.SetText(TControl::ComboBoxPrecision, "2.0");
  const TScanResult parallel = Scan();
  const TScanResult sequential = SequentialScan(Session, 2, parallel.LastRow, parallel.LastColumn);
  EXPECT_EQ(parallel.Points, sequential.Points);
  EXPECT_LT(parallel.Points, (parallel.LastRow + 1) * (parallel.LastColumn + 1));
  ASSERT_TRUE(parallel.Max && sequential.Max && parallel.Min && sequential.Min);
  EXPECT_EQ(parallel.Max->Diff, sequential.Max->Diff);
  EXPECT_EQ(parallel.Max->Lat, sequential.Max->Lat);
  EXPECT_EQ(parallel.Max->Lon, sequential.Max->Lon);
  EXPECT_EQ(parallel.Min->Diff, sequential.Min->Diff);
  EXPECT_EQ(parallel.Min->Lat, sequential.Min->Lat);
  EXPECT_EQ(parallel.Min->Lon, sequential.Min->Lon);
  EXPECT_EQ(Field(TControl::LabelMaxG), "Max: " + FormatFixed(sequential.Max->Diff, 5, 3) + "m  " +
                                            FormatLatLon(sequential.Max->Lat, true) + "  " +
                                            FormatLatLon(sequential.Max->Lon, false));
}

TEST_F(ChecksTest, FirstOfEqualExtremesWins) {
  // Every difference is the same: the first point of the lattice holds both.
  WriteCustom(1.0 / 12, 20, 20, 30, 130);
  Session.GeoidModels[0].fname = "flat";
  TGeoidModel flat = Session.GeoidModels[0];
  test::WriteSourceGrid(Dir.File("flat"), flat, [](int, int) { return 0.5f; });
  const TScanResult r = Scan();
  ASSERT_TRUE(r.Max && r.Min);
  EXPECT_EQ(r.Max->Diff, 0.5);
  EXPECT_EQ(r.Max->Lat, r.Min->Lat);
  EXPECT_EQ(r.Max->Lon, 130.25);
  EXPECT_EQ(r.Max->Lat, 30 + 19.0 / 12 - 0.25);
}

TEST_F(ChecksTest, PlanOfTheLattice) {
  // The precision rules and the lattice of a custom grid against the 2.5'
  // source, without a scan. shown: the precision box's new text (none: as typed).
  struct TCase {
    double spacing;
    int rows, cols;
    double west;
    const char* typed;
    double precision;
    const char* shown;
    std::int64_t lastRow, lastColumn;
    double north, lonOf1;  // the north-west point; the longitude of column 1
  } cases[] = {
      {1.0 / 12, 40, 40, 130, "0.25", 1, "1.0", 66, 66, 30 + 39.0 / 12 - 0.25, 130.25 + 1.0 / 24},
      {1.0 / 12, 40, 40, 130, "", 1, "1.0", 66, 66, 30 + 39.0 / 12 - 0.25, 130.25 + 1.0 / 24},
      {1.0 / 12, 40, 40, 130, "0", 1, "1.0", 66, 66, 30 + 39.0 / 12 - 0.25, 130.25 + 1.0 / 24},
      {1.0 / 12, 40, 40, 130, "abc", 1, "1.0", 66, 66, 30 + 39.0 / 12 - 0.25, 130.25 + 1.0 / 24},
      {1.0 / 12, 40, 40, 130, "-1", 1, "1.0", 66, 66, 30 + 39.0 / 12 - 0.25, 130.25 + 1.0 / 24},
      {1.0 / 12, 40, 40, 130, "4.0", 4, nullptr, 264, 264, 30 + 39.0 / 12 - 0.25, 130.25 + 1.0 / 96},
      // The finest precision, and a finer one coarsened to it.
      {1.0 / 12, 40, 40, 130, "100", 100, nullptr, 6600, 6600, 30 + 39.0 / 12 - 0.25, 130.25 + 1.0 / 2400},
      {1.0 / 12, 40, 40, 130, "250", 100, "100.0", 6600, 6600, 30 + 39.0 / 12 - 0.25, 130.25 + 1.0 / 2400},
      {1.0 / 6, 40, 40, 130, "0.25", 0.5, "0.5", 66, 66, 30 + 39.0 / 6 - 0.5, 130.5 + 1.0 / 12},
      {1.0 / 6, 40, 40, 130, "1.0", 1, nullptr, 132, 132, 30 + 39.0 / 6 - 0.5, 130.5 + 1.0 / 24},
      {0.25, 40, 40, 130, "0.25", 0.25, nullptr, 50, 50, 30 + 39.0 / 4 - 0.75, 130.75 + 1.0 / 6},
      {1.0 / 3, 40, 40, 130, "0.25", 0.25, nullptr, 66, 66, 30 + 13 - 1, 131 + 1.0 / 6},
      {1.0 / 60, 40, 40, 130, "0.25", 4, "4.0", 53, 53, 30 + 39.0 / 60 - 0.05, 130.05 + 1.0 / 96},
      {0.25, 40, 40, 130, "-1", -1, nullptr, -198, -198, 30 + 39.0 / 4 - 0.75, 130.75 - 1.0 / 24},
      // The source's spacing with the nodes between the source's (a cut of an
      // older version): scanned, twice as finely as the source.
      {1.0 / 24, 40, 40, 130 + 1.0 / 48, "1.0", 2, "2.0", 66, 66, 30 + 36.0 / 24, 130 + 8.0 / 48},
      // The whole circle: no margin in longitude, its columns from west to west + 360.
      {1.0 / 12, 40, 4320, 0, "1.0", 1, nullptr, 66, 8640, 30 + 39.0 / 12 - 0.25, 1.0 / 24},
  };
  for (const auto& c : cases) {
    WriteCustom(c.spacing, c.rows, c.cols, 30, c.west);
    const TCustomOpen custom = OpenCustomGrid(Path());
    ASSERT_TRUE(custom.Grid);
    OpenSelectedModel(Session, 0);
    const TScanPlan plan = PlanScan(*Session.SourceGrid, *custom.Grid, ParseNumber(c.typed));
    SCOPED_TRACE(std::to_string(c.spacing) + " " + c.typed);
    EXPECT_FALSE(plan.Unnecessary);
    EXPECT_EQ(plan.Precision, c.precision);
    EXPECT_STREQ(plan.PrecisionText, c.shown);
    EXPECT_EQ(plan.LastRow, c.lastRow);
    EXPECT_EQ(plan.LastColumn, c.lastColumn);
    EXPECT_DOUBLE_EQ(plan.Lat(0), c.north);
    EXPECT_DOUBLE_EQ(plan.Lon(1), c.lonOf1);
    EXPECT_DOUBLE_EQ(plan.Lattice().DLat, 1.0 / 24 / c.precision);
  }
  // The source's own spacing and nodes (to within a micro-degree): nothing to
  // scan, but an unreadable precision still shows as 1.0.
  for (const double west : {130.0, 130 + 1e-8, 130 - 1e-8 - 360}) {
    WriteCustom(1.0 / 24, 40, 40, 30, west);
    const TScanPlan same = PlanScan(*Session.SourceGrid, *OpenCustomGrid(Path()).Grid, 0);
    EXPECT_TRUE(same.Unnecessary) << west;
    EXPECT_STREQ(same.PrecisionText, "1.0");
  }
  WriteCustom(1.0 / 24, 40, 40, 30 + 1.0 / 48);
  EXPECT_FALSE(PlanScan(*Session.SourceGrid, *OpenCustomGrid(Path()).Grid, 1).Unnecessary);

  // What the scan shows of its plan: the box's new text.
  WriteCustom(1.0 / 60, 40, 40);
  View.SetText(TControl::ComboBoxPrecision, "0.25");
  EXPECT_EQ(Scan().Precision, 4);
  EXPECT_EQ(Field(TControl::ComboBoxPrecision), "4.0");
}

TEST_F(ChecksTest, NegativeLatticeScansNothingAndEndsWithEmptyLines) {
  WriteCustom(0.25, 40, 40);
  View.SetText(TControl::ComboBoxPrecision, "-1");
  const TScanResult r = Scan();
  EXPECT_LT(r.LastRow, 0);
  EXPECT_LT(r.LastColumn, 0);
  EXPECT_EQ(r.Points, 0);
  ASSERT_EQ(View.Lines.size(), 5u);
  EXPECT_EQ(View.Lines[3], "");
  EXPECT_EQ(View.Lines[4], "");
}

TEST_F(ChecksTest, FourTimesThePrecisionAndTheWholeCircle) {
  View.SetText(TControl::ComboBoxPrecision, "4.0");
  View.OnPump = [&] { Session.AbortRequested = Session.Busy && View.ProgressVisible; };
  TScanResult r = Scan();
  EXPECT_EQ(r.LastRow, 2880);
  EXPECT_EQ(r.LastColumn, 2880);

  // 2161 rows of 4320 columns at 5': read as a sparse file, scanned one row.
  CloseCustomFile(Session);  // Windows keeps an open file from being rewritten
  test::WriteSparseFile(Path(), std::int64_t{2161} * 4320 * 4 + 40);
  std::vector<unsigned char> trailer(40);
  EncodeTrailer({2161, 4320, -90, 0, 1.0 / 12, 1.0 / 12}, trailer.data());
  {
    std::FILE* f = std::fopen(Path().c_str(), "r+b");
    std::fseek(f, -40, SEEK_END);
    std::fwrite(trailer.data(), 1, 40, f);
    std::fclose(f);
  }
  View.SetText(TControl::ComboBoxPrecision, "1.0");
  r = Scan();
  EXPECT_EQ(r.LastColumn, 8640);
  EXPECT_EQ(r.LastRow, 4308);
  EXPECT_EQ(View.Lines[1], "Range: 90.000000S,  0.000000E to 90.000000N,  0.083333W");
}

TEST_F(ChecksTest, SingleRowLatticeEndsNormally) {
  WriteCustom(1.0 / 12, 7, 40);  // LastRow = 0
  const TScanResult r = Scan();
  EXPECT_EQ(r.LastRow, 0);
  EXPECT_GT(r.Points, 0);
  EXPECT_EQ(View.ProgressPosition, 1000);
  ASSERT_EQ(View.Lines.size(), 5u);
  EXPECT_EQ(View.Lines[3].rfind("Min: ", 0), 0u);
  EXPECT_EQ(View.Lines[4].rfind("Max: ", 0), 0u);
}

TEST_F(ChecksTest, EscapeStopsAfterTheRow) {
  int rows = 0;
  View.OnPump = [&] {
    if (View.ProgressPosition > 0 || ++rows > 40) Session.AbortRequested = true;
  };
  const TScanResult r = Scan();
  EXPECT_EQ(Field(TControl::LabelReso), "Aborted.");
  // No Min and Max lines: "Aborted by user.", then how much was scanned and
  // the extremes of that part, each marked partial.
  ASSERT_EQ(View.Lines.size(), 7u);
  EXPECT_EQ(View.Lines[3], "Aborted by user.");
  EXPECT_EQ(r.Outcome, TScanOutcome::Aborted);
  EXPECT_EQ(r.LastRow, 720);
  ASSERT_GE(r.RowsScanned, 1);
  ASSERT_LT(r.RowsScanned, 721);
  EXPECT_EQ(r.ScannedFraction(), r.RowsScanned / 721.0);
  EXPECT_EQ(View.Lines[4], "Partial scan: " + std::to_string(r.RowsScanned) + " of 721 rows of the lattice (" +
                               FormatFixed(100 * r.RowsScanned / 721.0, 0, 1) + "%)");
  ASSERT_TRUE(r.Min && r.Max);
  EXPECT_EQ(View.Lines[5], ExtremeText("Min: ", *r.Min) + "  (partial)");
  EXPECT_EQ(View.Lines[6], ExtremeText("Max: ", *r.Max) + "  (partial)");
  EXPECT_EQ(Field(TControl::LabelMaxG), ExtremeText("Max: ", *r.Max));  // the labels as they were
  EXPECT_FALSE(View.ProgressVisible);
  EXPECT_EQ(View.TaskbarState, TTaskBarProgressState::None);
  EXPECT_FALSE(Session.Busy);
}

TEST_F(ChecksTest, GridTruncatedDuringTheScanIsAnError) {
  for (const bool source : {true, false}) {
    SCOPED_TRACE(source ? "source" : "custom");
    const std::string path = source ? Dir.File("source25") : Path();
    const std::vector<unsigned char> bytes = test::ReadBytes(path);
    int pumps = 0;
    bool truncated = false;
    View.OnPump = [&] {
      if (++pumps == 20) truncated = test::TruncateFromAnotherProcess(path);
    };
    View.GeneralErrors.clear();
    const TScanResult r = ScanClick();
    if (!truncated) {  // Windows refuses while the grid is open: the scan reads the nodes it opened
      EXPECT_TRUE(test::OpenFilesAreLocked);
      EXPECT_EQ(r.Outcome, TScanOutcome::Done);
      EXPECT_EQ(test::ReadBytes(path), bytes);
      continue;
    }
    EXPECT_EQ(r.Outcome, TScanOutcome::Failed);
    EXPECT_EQ(View.GeneralErrors, std::vector<std::string>{source ? SourceChangedText : CustomChangedText});
    EXPECT_FALSE(Session.Busy);
    EXPECT_FALSE(Session.SourceOpen());
    EXPECT_FALSE(CustomIsOpen(Session));

    // With the file back, the scan runs to its end.
    View.OnPump = nullptr;
    test::WriteBytes(path, bytes);
    EXPECT_EQ(ScanClick().Outcome, TScanOutcome::Done);
  }
}

TEST_F(ChecksTest, NothingToScan) {
  WriteCustom(1.0 / 24, 40, 40);  // the source's own spacing
  View.Lines = {"old"};
  Scan();
  ASSERT_EQ(View.Dialogs.size(), 1u);
  EXPECT_EQ(View.Dialogs[0].Text, "Check is unnecessary.\r\n\r\nBecause it is the same to original resolution.");
  EXPECT_EQ(View.Dialogs[0].Kind, TMsgDlgType::Information);
  EXPECT_EQ(View.Lines, std::vector<std::string>{"old"});

  fs::remove(Path());
  Scan();
  EXPECT_EQ(View.Lines, (std::vector<std::string>{"old", "Can not found: " + Path()}));
  EXPECT_EQ(View.Dialogs.size(), 2u);

  Session.Busy = true;
  Session.AbortRequested = true;
  ScanClick();
  EXPECT_TRUE(Session.AbortRequested);  // a click during a run changes nothing
  EXPECT_EQ(View.Dialogs.size(), 2u);
}

TEST(ExtremeText, ShowsTheDifferenceAndItsPlace) {
  EXPECT_EQ(ExtremeText("Max: ", {0.0123, 35.675, 139.725}), "Max: 0.012m  35.675000N  139.725000E");
  EXPECT_EQ(ExtremeText("Min: ", {-0.0123, 35.675, 139.725}), "Min: -0.012m  35.675000N  139.725000E");
}

}  // namespace
}  // namespace tessmar
