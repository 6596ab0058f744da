#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>

#include "TestGrids.hpp"
#include "accuracy/Scan.hpp"
#include "base/CoordText.hpp"
#include "convert/ConvertCommand.hpp"
#include "grid/Source.hpp"
#include "picture/HeatMap.hpp"
#include "picture/Map.hpp"
#include "session/Grids.hpp"

namespace tessmar {
namespace {

namespace fs = std::filesystem;
using test::TRecorderView;
using test::TTempDir;

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

std::array<std::uint8_t, 4> Bytes(const TRgba& c) { return {c.r, c.g, c.b, c.a}; }

TEST(HeatMap, OnePixelAPointUpTo4096ThenTheSmallestBlockThatFits) {
  const struct {
    std::int64_t lastRow, lastColumn;
    int block, width, height;
  } cases[] = {
      {0, 0, 1, 1, 1},       {10, 4095, 1, 4096, 11},     {10, 4096, 2, 2049, 6}, {8191, 100, 2, 51, 4096},
      {8192, 0, 3, 1, 2731}, {4308, 8640, 3, 2881, 1437},  // the whole circle at 5' against 2.5'
      {-1, 10, 1, 0, 0},                                   // no points
  };
  for (const auto& c : cases) {
    THeatMap heat;
    heat.Begin({c.lastRow, c.lastColumn, 50, 120, 0.5, 0.25});
    EXPECT_EQ(heat.Block(), c.block) << c.lastRow << " " << c.lastColumn;
    EXPECT_EQ(heat.Width(), c.width) << c.lastRow << " " << c.lastColumn;
    EXPECT_EQ(heat.Height(), c.height) << c.lastRow << " " << c.lastColumn;
    if (c.width > 0) {
      EXPECT_EQ(heat.PixelDLat(), 0.5 * c.block);
      EXPECT_EQ(heat.PixelDLon(), 0.25 * c.block);
      // The picture says the same, so that software reading it places a pixel right.
      const TPngText text = HeatMapText(heat);
      const auto chunk = [&](const char* key) {
        return std::find_if(text.begin(), text.end(), [&](const auto& kv) { return kv.first == key; })->second;
      };
      EXPECT_EQ(chunk("DLat"), ShortestText(0.5 * c.block));
      EXPECT_EQ(chunk("DLon"), ShortestText(0.25 * c.block));
    }
  }
}

TEST(HeatMap, ABlockKeepsItsDifferenceOfLargestMagnitude) {
  THeatMap heat;
  heat.Begin({4096, 5, 10, 20, 0.1, 0.1});  // 4097 rows: blocks of 2 x 2
  ASSERT_EQ(heat.Block(), 2);
  ASSERT_EQ(heat.Width(), 3);
  // 0.25 then -0.25, a tie also once stored as float: the first stays.
  const double row0[] = {0.1, -0.3, 0.25, NaN, NaN, NaN};
  const double row1[] = {-0.2, 0.25, -0.25, 0.1, NaN, NaN};
  heat.Row(0, row0, 6);
  heat.Row(1, row1, 6);
  EXPECT_FLOAT_EQ(heat.Value(0, 0), -0.3f);
  EXPECT_EQ(heat.Value(1, 0), 0.25f);
  EXPECT_TRUE(std::isnan(heat.Value(2, 0)));  // no value in the block
  EXPECT_TRUE(std::isnan(heat.Value(0, 1)));  // rows not yet come
  EXPECT_DOUBLE_EQ(heat.Scale(), 0.3);
}

// The colour ends: by default the 99.5th percentile of |difference|, so a few
// large errors do not wash the rest out to white; or the largest, or metres.
TEST(HeatMap, TheScaleByItsRule) {
  std::vector<double> row(1000);
  for (std::size_t k = 0; k < row.size(); ++k) row[k] = (k % 2 ? -1.0 : 1.0) * static_cast<double>(k + 1) / 1000;
  row[7] = 40;  // one outlier
  const struct {
    const char* rule;
    double scale;
  } cases[] = {{"p99.5", 0.995}, {"p50", 0.5}, {"p100", 40}, {"max", 40}, {"0.25", 0.25}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rule);
    const std::optional<THeatScale> rule = ReadHeatScale(c.rule);
    ASSERT_TRUE(rule);
    EXPECT_EQ(HeatScaleText(*rule), c.rule);
    THeatMap heat(*rule);
    heat.Begin({0, 999, 0, 0, 1, 1});
    heat.Row(0, row.data(), row.size());
    EXPECT_NEAR(heat.Scale(), c.scale, c.scale * 0.01);  // a class is 1/128 of an octave
    EXPECT_LE(heat.Scale(), std::max(heat.MaxMagnitude(), rule->Value));
    EXPECT_EQ(heat.Highest(), 40);
    EXPECT_EQ(heat.Lowest(), -1);
  }
  for (const char* refused : {"p0", "p101", "p", "0", "-1", "abc", "pmax", "nan", "inf"})
    EXPECT_FALSE(ReadHeatScale(refused)) << refused;
  THeatMap zeros;  // all differences zero: all white, not a tiny scale
  zeros.Begin({0, 2, 0, 0, 1, 1});
  const double none[3] = {0, 0, 0};
  zeros.Row(0, none, 3);
  EXPECT_EQ(zeros.Scale(), 0);
}

TEST(HeatMap, RampFromBlueThroughWhiteToRed) {
  EXPECT_EQ(DivergingColour(2, 2), RedEnd);
  EXPECT_EQ(DivergingColour(-2, 2), BlueEnd);
  EXPECT_EQ(DivergingColour(0, 2), White);
  EXPECT_EQ(DivergingColour(1, 2), (TRgba{216, 140, 149, 255}));  // halfway: 216.5, 139.5, 149 to even
  EXPECT_EQ(DivergingColour(NaN, 2), TRgba{});                    // transparent
  EXPECT_EQ(DivergingColour(0, 0), White);
  // Any double, infinities included, gives a colour (a sanitized build says if it is undefined).
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(DivergingColour(inf, inf), RedEnd);
  EXPECT_EQ(DivergingColour(-inf, inf), BlueEnd);
  EXPECT_EQ(DivergingColour(inf, 2), RedEnd);
  EXPECT_EQ(DivergingColour(1, inf), White);
  EXPECT_EQ(DivergingColour(1, NaN), White);
}

// The 5' custom file of 20..50 N, 120..150 E cut from a smooth 2.5' source,
// scanned with a heat map.
struct ScanPicture : ::testing::Test {
  TTempDir Dir;
  TRecorderView View;
  TSession Session{View};
  THeatMap Heat;

  ScanPicture() {
    test::UseRegionSource(Session, Dir, [](int r, int c) {
      return static_cast<float>(30 * std::sin(r * 0.05) * std::cos(c * 0.07) + 5 * std::sin(c * 0.3));
    });
    ConvertCustomGeoid(Session, Selection, {{20, 120, 50, 150}, 5});
  }
  TSelection Selection{0, "Tessmar.qdat"};
  TScanResult Scan() { return MaximumErrorScan(Session, Selection, 1, &Heat); }
};

TEST_F(ScanPicture, ThePictureOfAScanHoldsItsExtremesAndGeometry) {
  const TScanResult r = Scan();
  ASSERT_EQ(r.Outcome, TScanOutcome::Done);
  ASSERT_TRUE(r.Max && r.Min);
  EXPECT_EQ(Heat.Width(), 721);
  EXPECT_EQ(Heat.Height(), 721);
  EXPECT_EQ(Heat.Lattice().North, 50);
  EXPECT_EQ(Heat.Lattice().West, 120);
  EXPECT_DOUBLE_EQ(Heat.MaxMagnitude(), std::max(r.Max->Diff, -r.Min->Diff));
  EXPECT_EQ(Heat.Highest(), r.Max->Diff);
  EXPECT_EQ(Heat.Lowest(), r.Min->Diff);
  // By default the 99.5th percentile: the typical error, below the extremes.
  EXPECT_GT(Heat.Scale(), 0);
  EXPECT_LT(Heat.Scale(), Heat.MaxMagnitude());

  const std::string png = Dir.File("scan.png");
  WriteHeatMap(Heat, png);
  const test::TPng read = test::ReadPng(png);
  ASSERT_EQ(read.Width, 721);
  ASSERT_EQ(read.Height, 721);
  const auto pixelOf = [&](const TScanExtreme& e) {
    return read.At(static_cast<int>(std::lround((e.Lon - 120) * 24)), static_cast<int>(std::lround((50 - e.Lat) * 24)));
  };
  EXPECT_EQ(pixelOf(*r.Max), Bytes(RedEnd));
  EXPECT_EQ(pixelOf(*r.Min), Bytes(DivergingColour(r.Min->Diff, Heat.Scale())));
  // The reddest pixel is the maximum's.
  int reddest = 255;
  for (const auto& p : read.Pixels) reddest = std::min<int>(reddest, p[1]);
  EXPECT_EQ(reddest, std::min(pixelOf(*r.Max)[1], pixelOf(*r.Min)[1]));
  EXPECT_EQ(read.Text.at("North"), "50");
  EXPECT_EQ(read.Text.at("West"), "120");
  EXPECT_EQ(read.Text.at("DLat"), ShortestText(1.0 / 24));
  EXPECT_EQ(read.Text.at("DLon"), ShortestText(1.0 / 24));
  EXPECT_EQ(read.Text.at("Block"), "1");
  EXPECT_EQ(read.Text.at("Scale"), ShortestText(Heat.Scale()));
  EXPECT_EQ(read.Text.at("ScaleRule"), "p99.5");
  EXPECT_EQ(read.Text.at("Lowest"), ShortestText(r.Min->Diff));
  EXPECT_EQ(read.Text.at("Highest"), ShortestText(r.Max->Diff));
  EXPECT_EQ(HeatMapReport(Heat, png)[0], "Heat map: " + png);
  EXPECT_EQ(HeatMapPathFor(Dir.File("Tessmar.qdat")), Dir.File("Tessmar_error.png"));
}

TEST_F(ScanPicture, PointsWithoutAValueAreTransparent) {
  // A source hole: lattice points near it have no source value.
  const TGeoidModel& m = Session.GeoidModels[0];
  for (int r = 300; r < 320; ++r)
    for (int c = 300; c < 320; ++c)
      test::PokeWord(Dir.File(m.fname), static_cast<std::int64_t>(r) * m.ncols + c + m.PrePad, NAN);
  Scan();
  WriteHeatMap(Heat, Dir.File("holes.png"));
  const test::TPng read = test::ReadPng(Dir.File("holes.png"));
  // Node (310, 310) lies at 51 - 310/24 N, 119 + 310/24 E: lattice point ((50 - lat) * 24, (lon - 120) * 24).
  const int x = 310 - 24, y = 310 - 24;
  EXPECT_EQ(read.At(x, y)[3], 0);
  EXPECT_TRUE(std::isnan(Heat.Value(x, y)));
  EXPECT_EQ(read.At(0, 0)[3], 255);
}

TEST(HeatMap, WritingIntoAFolderThatIsNotThereFailsAndLeavesNothing) {
  THeatMap heat;
  heat.Begin({0, 0, 0, 0, 1, 1});
  const double d = 1;
  heat.Row(0, &d, 1);
  TTempDir dir;
  EXPECT_THROW(WriteHeatMap(heat, dir.File("no/such.png")), TError);
  THeatMap empty;
  empty.Begin({-1, -1, 0, 0, 1, 1});
  EXPECT_THROW(WriteHeatMap(empty, dir.File("empty.png")), TError);
  EXPECT_FALSE(fs::exists(dir.File("empty.png")));
}

// The map at 720 pixels: two a degree, row 0 at 90 N.
struct MapTest : ::testing::Test {
  TTempDir Dir;
  std::string North = "20";
  // The region of 10 .. 20 N between the longitudes typed, at 5': a margin of
  // three 5' cells, 0.25 degrees.
  TImage Render(const std::string& west, const std::string& east, TMapScene* scene = nullptr) {
    const TConversionPlan plan{{10, ParseCoordinate(west), ParseCoordinate(North), ParseCoordinate(east)}, 5};
    TMapScene s;
    s.Furniture = false;  // the geometry alone
    s.Region = MapScene(plan, 1.0 / 24, Dir.File("none.qdat"), NoValue(), NoValue()).Region;
    if (scene) *scene = s;
    return RenderMap(s, 720);
  }
};

TEST_F(MapTest, TheRegionWithItsMarginAtItsPixels) {
  // Across 0 in a frame from -180; across 180 in a frame from 0: one rectangle
  // each, from 9.75 to 20.25 N and 0.25 degrees wider than the corners.
  const struct {
    const char *west, *east;
    double frameWest;
  } cases[] = {{"-10", "10", -180}, {"170", "-170", 0}, {"10 W", "10 E", -180}};
  for (const auto& c : cases) {
    TMapScene scene;
    const TImage image = Render(c.west, c.east, &scene);
    SCOPED_TRACE(c.west);
    ASSERT_TRUE(scene.Region);
    EXPECT_EQ(FrameWest(scene), c.frameWest);
    ASSERT_EQ(image.Width, 720);
    ASSERT_EQ(image.Height, 360);
    // Columns 339 (169.75 degrees into the frame) and 380 (190.25); rows 139 (20.25 N) and 160 (9.75 N).
    for (int y : {139, 150, 160}) {
      EXPECT_EQ(image.At(339, y), RegionColour);
      EXPECT_EQ(image.At(380, y), RegionColour);
    }
    for (int x : {339, 360, 380}) {
      EXPECT_EQ(image.At(x, 139), RegionColour);
      EXPECT_EQ(image.At(x, 160), RegionColour);
    }
    EXPECT_EQ(image.At(340, 150), RegionHalo);
    EXPECT_EQ(image.At(338, 150), NoDataColour);
    EXPECT_EQ(image.At(381, 150), NoDataColour);
    EXPECT_EQ(image.At(360, 138), NoDataColour);
    EXPECT_EQ(image.At(360, 161), NoDataColour);
    EXPECT_EQ(image.At(360, 150), NoDataColour);  // inside: the relief
  }
}

TEST_F(MapTest, UnreadableCornersDrawNoRegion) {
  North = "abc";
  TMapScene scene;
  const TImage image = Render("120", "150", &scene);
  EXPECT_FALSE(scene.Region);
  for (const TRgba& p : image.Pixels) ASSERT_EQ(p, NoDataColour);
}

TEST_F(MapTest, TheWholeCircleIsItsTwoRows) {
  TMapScene scene;
  const TImage image = Render("0", "360", &scene);
  ASSERT_TRUE(scene.Region && scene.Region->WholeCircle);
  for (int x : {0, 359, 719}) {
    EXPECT_EQ(image.At(x, 139), RegionColour);
    EXPECT_EQ(image.At(x, 160), RegionColour);
    EXPECT_EQ(image.At(x, 150), NoDataColour);
  }
}

TEST_F(MapTest, ReliefFromLowestToHighestWithTheCustomExtentTheScanAndThePoint) {
  const TGeoidModel m = test::SmallModel("world", 1, -90, 0, 181, 360);
  test::WriteSourceGrid(Dir.File("world"), m, [](int r, int) { return static_cast<float>(r) - 90; });
  const auto grid = OpenSourceGrid(Dir.Path(), m);
  ASSERT_TRUE(grid);
  const TRelief relief = MakeRelief(*grid, TMapFrame::World(720));
  // Half-degree pixels on a one-degree grid: bilinear between the nodes.
  EXPECT_EQ(relief.Low, -89.75);
  EXPECT_EQ(relief.High, 89.75);
  const TRelief coarse = MakeRelief(*grid, TMapFrame::World(180));  // nearest nodes
  EXPECT_EQ(coarse.Low, -89);
  EXPECT_EQ(coarse.High, 89);
  EXPECT_NE(relief.Image.At(0, 0), relief.Image.At(0, 359));      // north and south differ
  EXPECT_EQ(relief.Image.At(0, 100), relief.Image.At(500, 100));  // along a parallel the same

  // A regional model leaves the rest of the earth without data.
  const TGeoidModel small = test::SmallModel("small", 1.0 / 24, 19, 119, 769, 769);
  test::WriteSourceGrid(Dir.File("small"), small, [](int, int) { return 5.0f; });
  const TRelief regional = MakeRelief(*OpenSourceGrid(Dir.Path(), small), TMapFrame::World(720));
  EXPECT_EQ(regional.Image.At(0, 0), NoDataColour);
  EXPECT_NE(regional.Image.At((135 + 180) * 2, (90 - 35) * 2), NoDataColour);

  TMapScene scene;
  scene.Furniture = false;
  scene.Relief = &relief;
  scene.Custom = TLatLonBox{30, 130, 40, 140};
  scene.Point = std::pair(-45.0, -90.0);
  scene.Max = TScanExtreme{0.1, 0, 0};
  const TImage image = RenderMap(scene, 720);
  EXPECT_EQ(image.At((130 + 180) * 2, 110), CustomColour);
  EXPECT_EQ(image.At(180, 270), RegionColour);  // the cross's centre
  EXPECT_EQ(image.At(360, 180), RedEnd);        // the maximum's marker
  EXPECT_EQ(image.At(100, 100), relief.Image.At(100, 100));
}

TEST_F(MapTest, TheHeatMapOverItsLattice) {
  THeatMap heat;
  heat.Begin({40, 80, 20, 130, 0.25, 0.25});  // 20 .. 10 N, 130 .. 150 E
  std::vector<double> row(81, 0.0);
  for (int i = 0; i <= 40; ++i) {
    row[40] = i == 20 ? 1.0 : 0.0;  // one extreme at 15 N, 140 E
    heat.Row(i, row.data(), row.size());
  }
  TMapScene scene;
  scene.Furniture = false;
  scene.Heat = &heat;
  const TImage image = RenderMap(scene, 720);
  EXPECT_EQ(image.At((140 + 180) * 2, (90 - 15) * 2), RedEnd);  // its pixel, however small the map
  EXPECT_EQ(image.At((135 + 180) * 2, (90 - 12) * 2), White);
  EXPECT_EQ(image.At((125 + 180) * 2, (90 - 12) * 2), NoDataColour);
}

// Frames: the region whole and centred with room around it; the wheel keeps
// the place under the pointer; a drag moves by pixels; never past the poles,
// never closer than a tenth of a second or farther than the earth.
TEST(MapFrame, AroundTheRegionZoomedAndPanned) {
  const TLatLonBox japan{30, 128, 46, 146};
  const TMapFrame f = FrameAround(japan, 800, FittingHeight(japan, 800));
  EXPECT_DOUBLE_EQ(f.Step, (18 + 2 * 3.6) / 800);  // a fifth of its width on each side
  EXPECT_DOUBLE_EQ(f.X(137), 400);
  EXPECT_NEAR(f.Y(38), f.Height / 2.0, 1);
  EXPECT_GT(f.Y(46), 0);
  EXPECT_LT(f.Y(30), f.Height);
  const TMapFrame closer = Zoomed(f, 100, 50, 2);
  EXPECT_DOUBLE_EQ(closer.Step, f.Step / 2);
  EXPECT_NEAR(closer.West + 100 * closer.Step, f.West + 100 * f.Step, 1e-9);
  EXPECT_NEAR(closer.North - 50 * closer.Step, f.North - 50 * f.Step, 1e-9);
  EXPECT_DOUBLE_EQ(Zoomed(f, 0, 0, 1e-9).Step, 360.0 / 800);
  EXPECT_DOUBLE_EQ(Zoomed(f, 0, 0, 1e9).Step, 1.0 / 36000);
  const TMapFrame moved = Panned(f, 10, -20);
  EXPECT_DOUBLE_EQ(moved.West, f.West - 10 * f.Step);
  EXPECT_DOUBLE_EQ(moved.North, f.North - 20 * f.Step);
  EXPECT_EQ(Panned(f, 0, 1e6).North, 90);
  EXPECT_DOUBLE_EQ(Panned(f, 0, -1e6).North, -90 + f.Height * f.Step);
  // A polar cap reaches the pole and no further; a region across 180 is centred there.
  EXPECT_EQ(FrameAround(TLatLonBox{60, 0, 90, 360, true}, 1000, 300).North, 90);
  EXPECT_DOUBLE_EQ(FrameAround(TLatLonBox{10, 170, 20, -170}, 400, 200).X(180), 200);
  EXPECT_DOUBLE_EQ(FrameAround(TLatLonBox{10, 170, 20, -170}, 400, 200).X(-180), 200);
  // The whole circle is centred on 0 degrees, whichever longitude it was typed from.
  EXPECT_DOUBLE_EQ(FrameAround(TLatLonBox{60, 0, 90, 360, true}, 1000, 300).X(0), 500);
  // The room around a box ends at the poles: the whole earth fits as it is,
  // and the frame says what it shows as a person reads it off the picture.
  const struct {
    TLatLonBox box;
    int width, height;
    const char* text;
  } frames[] = {
      {{-90, 0, 90, 360, true},
       1024,
       512,
       "90\u00b0N to 90\u00b0S, every longitude from 180\u00b0, 0.3515625 degrees a pixel"},
      {{60, 0, 90, 360, true},
       1024,
       256,
       "90\u00b0N to 0\u00b0, every longitude from 180\u00b0, 0.3515625 degrees a pixel"},
      {{-89.5, 0, -70, 360, true},
       1000,
       250,
       "0\u00b0 to 90\u00b0S, every longitude from 180\u00b0, 0.36 degrees a pixel"},
      {{30, 128, 46, 146},
       800,
       712,
       "49\u00b013'N to 26\u00b047'N, 124\u00b024'E to 149\u00b036'E, 0.0315 degrees a pixel"},
  };
  for (const auto& c : frames) {
    const int height = FittingHeight(c.box, c.width);
    EXPECT_EQ(height, c.height) << c.text;
    EXPECT_EQ(FrameText(FrameAround(c.box, c.width, height)), c.text);
  }
}

TEST(MapFrame, GraticuleEveryFewScoresOfPixelsWithDegreeLabels) {
  EXPECT_EQ(GraticuleSpacing(0.5), 45);  // 90 pixels apart
  EXPECT_EQ(GraticuleSpacing(360.0 / 1024), 30);
  EXPECT_EQ(GraticuleSpacing(0.01), 1);
  EXPECT_EQ(GraticuleSpacing(0.001), 5.0 / 60);
  EXPECT_EQ(GraticuleSpacing(1e-5), 1.0 / 60);
  const struct {
    double value;
    bool latitude;
    const char* text;
  } labels[] = {{30, true, "30\u00b0N"},
                {-30.5, true, "30\u00b030'S"},
                {0, true, "0\u00b0"},
                {140, false, "140\u00b0E"},
                {-60, false, "60\u00b0W"},
                {180, false, "180\u00b0"},
                {-180, false, "180\u00b0"},
                {200, false, "160\u00b0W"},
                {360, false, "0\u00b0"},
                {0.25, false, "0\u00b015'E"},
                {10 + 5.0 / 60, true, "10\u00b005'N"}};
  for (const auto& l : labels) EXPECT_EQ(DegreeLabel(l.value, l.latitude), l.text) << l.value;
}

// Coastlines in their dark colour wherever they run, also across the frame's
// edge; the graticule, its labels and the legends over the picture.
TEST_F(MapTest, CoastlinesGraticuleAndLegend) {
  const TPolylines coast = {{{179.0f, 10.0f}, {181.0f, 10.0f}}, {{10.0f, -20.0f}, {10.0f, -40.0f}}};
  TMapScene scene;
  scene.Furniture = false;
  scene.Coast = &coast;
  const TImage image = RenderMap(scene, 720);
  const auto dark = [&](int x, int y) { return image.At(x, y).r < 200; };  // a line between two rows darkens both
  const int row = 160;                                                     // 10 N, two pixels a degree
  EXPECT_TRUE(dark(718, row) || dark(718, row - 1));
  EXPECT_TRUE(dark(1, row) || dark(1, row - 1));
  EXPECT_FALSE(dark(360, row));
  EXPECT_TRUE(dark(380, 250) || dark(379, 250));  // 10 E, 35 S
  EXPECT_FALSE(dark(384, 250));

  TFont font;
  scene.Coast = nullptr;
  scene.Furniture = true;
  scene.Font = &font;
  THeatMap heat;
  heat.Begin({40, 80, 20, 130, 0.25, 0.25});
  std::vector<double> diffs(81, 0.5);
  for (int i = 0; i <= 40; ++i) heat.Row(i, diffs.data(), diffs.size());
  scene.Heat = &heat;
  const TImage furnished = RenderMap(scene, 720);
  EXPECT_NE(furnished.At(100, 180), NoDataColour);  // the equator, a graticule line at 30 degrees
  EXPECT_EQ(furnished.At(100, 170), NoDataColour);
  // The legend of the heat map at the foot on the right: its colour bar runs from blue to red.
  bool blue = false, red = false;
  for (int x = 520; x < 720; ++x)
    for (int y = 300; y < 360; ++y) {
      const TRgba& p = furnished.At(x, y);
      blue = blue || p.b > p.r + 100;
      red = red || p.r > p.b + 100;
    }
  EXPECT_TRUE(blue && red);
  if (!font.Loaded()) GTEST_SKIP() << "no typeface: the degrees and numbers are left out";
  EXPECT_GT(font.Width("30\u00b0N", 11), font.Width("30", 11));
  // Degrees where they are looked for: on every edge the frame touches, a
  // pole's too, and never under a legend (the relief's, at the foot on the left).
  const TMapFrame polar = FrameAround(TLatLonBox{60, 0, 90, 360, true}, 1000, 300);  // 0.36 a pixel from 180
  const TMapFrame world = TMapFrame::World(720);
  const struct {
    const char* what;
    TMapFrame frame;
    int x0, y0, x1, y1, ink;  // at least this many dark pixels in [x0, x1) x [y0, y1)
  } labels[] = {
      {"the meridians' degrees along the top", world, 0, 0, 720, 14, 50},
      {"90\u00b0N at the pole's edge, beside the 180\u00b0 of the corner", polar, 36, 0, 80, 16, 10},
      {"90\u00b0S at the foot, beside the legend", world, 199, 340, 260, 360, 10},
  };
  for (const auto& l : labels) {
    SCOPED_TRACE(l.what);
    TRelief relief{l.frame, -10, 10, TImage(l.frame.Width, l.frame.Height, NoDataColour)};
    scene.Relief = &relief;
    scene.Heat = nullptr;
    const TImage picture = RenderMap(scene, l.frame);
    int ink = 0;
    for (int x = l.x0; x < l.x1; ++x)
      for (int y = l.y0; y < l.y1; ++y) ink += picture.At(x, y).r < 100;
    EXPECT_GE(ink, l.ink);
  }
}

}  // namespace
}  // namespace tessmar
