#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "TestGrids.hpp"
#include "grid/Check.hpp"
#include "grid/Interpolation.hpp"
#include "grid/PlainSpline.hpp"
#include "grid/Source.hpp"
#include "grid/Spline.hpp"
#include "grid/WindowSpline.hpp"
#include "session/Grids.hpp"

namespace tessmar {
namespace {

using test::TRecorderView;
using test::TTempDir;

// A curved field of exactly representable values, so that the window and the
// bilinear value differ everywhere between nodes.
float Field(int r, int c) { return static_cast<float>(((r * r * 7 + c * c * 3 + r * c) % 97) / 8.0 - 6.0); }

struct InterpolationTest : ::testing::Test {
  TTempDir Dir;
  TRecorderView View;
  TSession Session{View};

  InterpolationTest() { Session.DataDir = Dir.Path(); }

  // The grid open before is closed first: Windows refuses to rewrite a file in use.
  const TGeoidGrid& OpenSource(const TGeoidModel& m, const test::TNodeFunction& f = Field) {
    CloseSource(Session);
    test::WriteSourceGrid(Dir.File(m.fname), m, f);
    EXPECT_TRUE(OpenModel(Session, m));
    return *Session.SourceGrid;
  }
  const TGeoidGrid& OpenCustom(const TCustomTrailer& t, const test::TNodeFunction& f = Field) {
    Session.CustomGrid.reset();  // the source stays open
    test::WriteCustomFile(Dir.File("c.qdat"), t, f);
    EXPECT_TRUE(OpenCustomFile(Session, Dir.File("c.qdat")));
    return *Session.CustomGrid;
  }
  bool IsBilinear(const TGeoidGrid& g, double lat, double lon) {
    return WindowSpline(g, 6, lat, lon) == BilinearValue(g, g.RowPosition(lat), g.ColPosition(lon));
  }
};

// Values from an independent float32-store reference of the same arithmetic:
// any change in the order of operations or in where results are rounded to
// float32 moves the last bits.
TEST_F(InterpolationTest, WindowSplineIsBitExact) {
  const TGeoidGrid& g = OpenCustom({20, 20, 35, 139, 1.0 / 12, 1.0 / 12});
  EXPECT_EQ(WindowSpline(g, 6, 36.0123, 139.8765), -0x1.5309cdcce861ap+2);
  EXPECT_EQ(WindowSpline(g, 6, 35.9, 139.5), -0x1.64356c926e87ep+1);
  EXPECT_EQ(test::TPlainSpline(g, test::GridNodes(g))(6, 35.9, 139.5), -0x1.64356c926e87ep+1);
  EXPECT_EQ(CustomValue(Session, 36.0123, 139.8765), -5.297473430633545f);
}

TEST_F(InterpolationTest, PointOnANodeGivesTheNodeOnBothPaths) {
  const TGeoidModel m = DefaultGeoidModels()[0];
  const std::string path = Dir.File(m.fname);
  test::WriteSparseFile(path, std::int64_t{4321} * 8642 * 4);
  for (int r = 1300; r < 1316; ++r)
    for (int c = 3346; c < 3362; ++c) test::PokeWord(path, std::int64_t{r} * 8642 + c + 1, Field(r, c));
  ASSERT_TRUE(OpenModel(Session, m));
  const TGeoidGrid& g = *Session.SourceGrid;
  EXPECT_EQ(g.RowPosition(35.5), 1308);
  EXPECT_EQ(g.ColPosition(139.75), 3354);
  EXPECT_EQ(SourceValue(Session, 35.5, 139.75), Field(1308, 3354));
  EXPECT_EQ(BilinearValue(g, 1308, 3354), Field(1308, 3354));
  EXPECT_NE(SourceValue(Session, 35.51, 139.76), BilinearValue(g, g.RowPosition(35.51), g.ColPosition(139.76)));
}

TEST_F(InterpolationTest, WindowNeedsFourRowSpacingsFromThePole) {
  const TGeoidGrid& north = OpenSource(test::SmallModel("cap", 1.0 / 24, 89, 10, 25, 48));
  EXPECT_FALSE(IsBilinear(north, 89.8, 11.01));
  EXPECT_TRUE(IsBilinear(north, 89.84, 11.01));
  EXPECT_EQ(SourceValue(Session, 95, 11.01), SourceValue(Session, 90, 11.01));

  const TGeoidGrid& south = OpenSource(test::SmallModel("cap", 1.0 / 24, -90, 10, 25, 48));
  EXPECT_FALSE(IsBilinear(south, -89.8, 11.01));
  EXPECT_TRUE(IsBilinear(south, -89.84, 11.01));
  EXPECT_EQ(SourceValue(Session, -95, 11.01), SourceValue(Session, -90, 11.01));
  EXPECT_FALSE(std::isnan(SourceValue(Session, -90, 11.01)));
  // Not clamped: 0.00012 of a row beyond the last one, which does not exist.
  EXPECT_TRUE(std::isnan(SourceValue(Session, -90.000005, 11.01)));
}

TEST_F(InterpolationTest, LongitudesComeIntoRangeOnce) {
  OpenSource(test::SmallModel("globe", 10, -90, 0, 19, 36));
  EXPECT_EQ(SourceValue(Session, 3.3, -10), SourceValue(Session, 3.3, 350));
  EXPECT_EQ(SourceValue(Session, 3.3, 370), SourceValue(Session, 3.3, 10));
  EXPECT_EQ(SourceValue(Session, 0, 360), Field(9, 0));        // column nlon reads column 0
  EXPECT_FALSE(std::isnan(SourceValue(Session, 3.3, 359.9)));  // the window wraps too
}

TEST_F(InterpolationTest, MissingWindowNodeFallsBackToTheOwnCell) {
  // Point in the cell (5..6, 10..11), its window rows 3..8 and columns 8..13
  // (read as a block: four columns and two): a node of it missing, not in its
  // cell. A stored 9999 is missing as the marker itself is, in every column.
  const struct {
    int Row, Col;
    float Stored;
  } cases[] = {{3, 9, NoValue()}, {3, 12, 9999.0f}, {8, 13, -9999.0f}, {5, 12, 200.0f}, {4, 8, 9999.0f}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Row << ' ' << c.Col << ' ' << c.Stored);
    const TGeoidGrid& g = OpenCustom({20, 20, 35, 139, 1.0 / 12, 1.0 / 12},
                                     [&](int r, int k) { return r == c.Row && k == c.Col ? c.Stored : Field(r, k); });
    const double lat = g.north - 5.4 / 12, lon = g.west + 10.3 / 12;
    EXPECT_TRUE(IsBilinear(g, lat, lon));
    EXPECT_FALSE(std::isnan(WindowSpline(g, 6, lat, lon)));
  }
  const TGeoidGrid& g = OpenCustom({20, 20, 35, 139, 1.0 / 12, 1.0 / 12});
  // The window running off the grid's edge does the same.
  EXPECT_TRUE(IsBilinear(g, g.north - 0.4 / 12, g.west + 10.3 / 12));
}

TEST_F(InterpolationTest, BilinearSnapsWithinOneHundredThousandth) {
  const TGeoidGrid& g = OpenCustom({20, 20, 35, 139, 1.0 / 12, 1.0 / 12});
  const double a = Field(5, 7), b = Field(5, 8);
  EXPECT_EQ(BilinearValue(g, 5, 7.000009), a);
  EXPECT_EQ(BilinearValue(g, 5, 7.999995), b);
  const double near = 7.00002 - 7, far = 7.99998 - 7;  // the fractions as the grid sees them
  EXPECT_EQ(BilinearValue(g, 5, 7.00002), a * (1 - near) + b * near);
  EXPECT_EQ(BilinearValue(g, 5.000009, 7.99998), a * (1 - far) + b * far);
  EXPECT_EQ(BilinearValue(g, 5.5, 7), Field(5, 7) * 0.5 + Field(6, 7) * 0.5);
  const double fx = 0.25, fy = 0.75;
  EXPECT_EQ(BilinearValue(g, 5.75, 7.25), Field(5, 7) * (1 - fx) * (1 - fy) + Field(6, 7) * fy * (1 - fx) +
                                              Field(5, 8) * fx * (1 - fy) + Field(6, 8) * fx * fy);
}

// A point outside a grid's nodes has no value on any side, by every path
// (one point, a batch, a lattice row): a point up to a cell north or west was
// once given the first cell's value extended. Within 1e-5 of a cell of the
// first or last row or column it is that node.
TEST_F(InterpolationTest, NoValueOutsideAnySideOfTheGrid) {
  enum TGridKind { Custom, Regional, Ring };  // a custom file; regional and whole-circle source grids
  enum : int { None = -1, Some = -2 };        // row: no value; a value
  const struct {
    TGridKind Grid;
    double Y, X;   // cells south of row 0 and east of column 0
    int Row, Col;  // the node the point is, or None or Some
  } cases[] = {
      {Custom, -0.5, 3.5, None, 0},     {Custom, -0.99, 3, None, 0},       // north
      {Custom, 3.5, -0.5, None, 0},     {Custom, 3, -0.99, None, 0},       // west
      {Custom, -0.5, -0.5, None, 0},    {Custom, -1.5, 3.5, None, 0},      // north-west; a cell and more
      {Custom, 19.5, 3.5, None, 0},     {Custom, 3.5, 19.5, None, 0},      // south, east
      {Custom, -0.000009, 3, 0, 3},     {Custom, 3, -0.000009, 3, 0},      // snapped onto row 0, column 0
      {Custom, 19.000009, 3, 19, 3},    {Custom, 3, 19.000009, 3, 19},     // onto the last ones
      {Custom, -0.00002, 3, None, 0},   {Custom, 3, -0.00002, None, 0},    // beyond the snap
      {Custom, 19, 19, 19, 19},         {Custom, 0, 0, 0, 0},              // the corner nodes
      {Regional, -0.5, 3.5, None, 0},   {Regional, 3.5, -0.5, None, 0},    // north, west
      {Regional, 24.5, 3.5, None, 0},   {Regional, 3.5, 47.5, None, 0},    // south, east
      {Regional, -0.000009, 5, 0, 5},   {Regional, 5, -0.000009, 5, 0},    // snapped onto row 0, column 0
      {Regional, 24.000009, 5, 24, 5},  {Regional, 5, 47.000009, 5, 47},   // onto the last ones
      {Regional, -0.00002, 5, None, 0}, {Regional, 5, -0.00002, None, 0},  // beyond the snap
      {Ring, 0.5, -0.00012, Some, 0},   {Ring, -0.5, 3.5, None, 0},        // west of column 0 is the circle's
  };
  const TGeoidModel regional = test::SmallModel("regional", 1.0 / 24, 30, 120, 25, 48);
  const TGeoidModel ring = test::SmallModel("ring", 1.0 / 24, 0, 0.00001, 9, 8640);  // west a hair east of 0
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Grid << ' ' << c.Y << ' ' << c.X);
    // The whole circle read without the eastward turn: longitudes just
    // below its west edge come to columns below 0.
    std::unique_ptr<TGeoidGrid> unturned;
    if (c.Grid == Ring) {
      TMappedFile file;
      const TGeoidGrid& turned = OpenSource(ring);
      ASSERT_TRUE(file.Open(Dir.File(ring.fname)));
      TGridLayout layout = ModelLayout(ring);
      layout.ShiftsEast = false;
      unturned = TGeoidGrid::Make(std::move(file), layout);
      ASSERT_TRUE(unturned && turned.east > 360);
    }
    const TGeoidGrid& g = c.Grid == Custom     ? OpenCustom({20, 20, 35, 139, 1.0 / 12, 1.0 / 12})
                          : c.Grid == Regional ? OpenSource(regional)
                                               : *unturned;
    ASSERT_EQ(g.Wraps(), c.Grid == Ring);
    const double lat = g.north - c.Y * g.dlat, lon = g.west + c.X * g.dlon;
    const double one = WindowSpline(g, 6, lat, lon);
    if (c.Row == None)
      EXPECT_TRUE(std::isnan(one)) << one;
    else if (c.Row == Some)
      EXPECT_FALSE(std::isnan(one));
    else
      EXPECT_EQ(one, Field(c.Row, c.Col));
    // The batch and the lattice row give the same bits.
    double batch = 0, row = 0;
    SourceValues(&g, &lat, &lon, 1, &batch);
    TLatticeSpline(g, 6, &lon, 1).Row(lat, &row);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(batch), std::bit_cast<std::uint64_t>(one));
    EXPECT_EQ(std::bit_cast<std::uint64_t>(row), std::bit_cast<std::uint64_t>(one));
  }
}

TEST_F(InterpolationTest, CustomGridAcrossZeroTakesEasternLongitudes) {
  const TGeoidGrid& g = OpenCustom({20, 200, 40, 349.75, 1.0 / 12, 1.0 / 12});
  ASSERT_GT(g.east, 360);
  const double lat = g.north - 5.0 / 12;
  EXPECT_EQ(CustomValue(Session, lat, 5), Field(5, 183));  // 15.25 degrees east of column 0
  // The same file read as a source grid: no eastward shift.
  TMappedFile file;
  ASSERT_TRUE(file.Open(Dir.File("c.qdat")));
  TGridLayout layout{g.nrows, g.ncols, g.nlat, g.nlon, g.PrePad, g.south, g.west, g.dlat, g.dlon, false};
  const auto plain = TGeoidGrid::Make(std::move(file), layout);
  ASSERT_TRUE(plain);
  EXPECT_TRUE(std::isnan(WindowSpline(*plain, 6, lat, 5)));
}

// 360, -360 and 720 are the angle they are on every grid: a regional grid
// whose west edge is 0 reads them at its first column (360 once read nothing).
TEST_F(InterpolationTest, EveryTurnOfALongitudeReadsTheSameValue) {
  for (const double west : {0.0, 349.75}) {
    const TGeoidGrid& g = OpenCustom({20, 200, 40, west, 1.0 / 12, 1.0 / 12});
    const double lat = g.north - 5.0 / 12;
    for (const double lon : {west, west + 0.3, 3.3})
      for (const double turns : {360.0, -360.0, 720.0, -720.0}) {
        const float once = CustomValue(Session, lat, lon), turned = CustomValue(Session, lat, lon + turns);
        EXPECT_FALSE(std::isnan(once)) << west << ' ' << lon;
        EXPECT_EQ(std::bit_cast<std::uint32_t>(turned), std::bit_cast<std::uint32_t>(once)) << lon << ' ' << turns;
      }
  }
}

TEST_F(InterpolationTest, CustomGridStartingWestOfZeroMissesNegativeLongitudes) {
  OpenCustom({20, 40, 40, -0.25, 1.0 / 12, 1.0 / 12});
  EXPECT_TRUE(std::isnan(CustomValue(Session, 40.5, -0.1)));  // read as 359.9
  EXPECT_FALSE(std::isnan(CustomValue(Session, 40.5, 0.5)));
}

TEST_F(InterpolationTest, CustomValueIsRoundedSourceValueIsNot) {
  OpenSource(test::SmallModel("globe", 10, -90, 0, 19, 36));
  OpenCustom({20, 20, 35, 139, 1.0 / 12, 1.0 / 12});
  const double source = SourceValue(Session, 3.3, 17.7);
  EXPECT_NE(source, static_cast<float>(source));
  EXPECT_EQ(source, WindowSpline(*Session.SourceGrid, 6, 3.3, 17.7));
  const double custom = WindowSpline(*Session.CustomGrid, 6, 36.0123, 139.8765);
  EXPECT_EQ(CustomValue(Session, 36.0123, 139.8765), static_cast<float>(custom));
}

TEST_F(InterpolationTest, SmallWindowsAreBilinearAndLargeOnesHaveNoValue) {
  const TGeoidGrid& g = OpenCustom({20, 20, 35, 139, 1.0 / 12, 1.0 / 12});
  const double lat = 36.0123, lon = 139.8765;
  const double bilinear = BilinearValue(g, g.RowPosition(lat), g.ColPosition(lon));
  EXPECT_EQ(WindowSpline(g, 2, lat, lon), bilinear);
  EXPECT_EQ(WindowSpline(g, 0, lat, lon), bilinear);
  EXPECT_NE(WindowSpline(g, 4, lat, lon), bilinear);
  EXPECT_TRUE(std::isnan(WindowSpline(g, 7, lat, lon)));
}

TEST_F(InterpolationTest, UnreadablePointsHaveNoValueAndNeverThrow) {
  OpenCustom({20, 20, 35, 139, 1.0 / 12, 1.0 / 12});
  const double nan = std::nan(""), inf = INFINITY;
  for (auto [lat, lon] : {std::pair{nan, 139.5},
                          {36.0, nan},
                          {nan, nan},
                          {36.0, 1e300},
                          {1e300, 139.5},
                          {36.0, inf},
                          {-inf, 139.5},
                          {36.0, -1e300}}) {
    EXPECT_TRUE(std::isnan(CustomValue(Session, lat, lon))) << lat << ' ' << lon;
    EXPECT_TRUE(std::isnan(SourceValue(Session, lat, lon)));  // closed source grid
  }
  EXPECT_TRUE(std::isnan(BilinearValue(*Session.CustomGrid, nan, 3)));
}

// A lattice row, and a batch of scattered points, is the single point at every
// one of its points, bit for bit, and the single point is the plain statement
// of the arithmetic (PlainSpline.hpp): over the wrap, beside a missing node,
// near the poles, for rows taken in any order (the kept node rows must not be
// stale) and for every window size.
TEST_F(InterpolationTest, LatticeRowsAndBatchesGiveTheSinglePointValuesBitForBit) {
  const auto missing = [](int r, int c) { return r == 9 && c == 2 ? NoValue() : Field(r, c); };
  std::vector<double> lons;
  for (double lon = -25; lon < 385; lon += 0.7) lons.push_back(lon);
  lons.insert(lons.end(), {std::nan(""), 1e300, -INFINITY, 359.9999});
  const auto bits = [](double v) { return std::bit_cast<std::uint64_t>(v); };
  const auto compare = [&](const TGeoidGrid& g, const std::vector<double> lats, const std::vector<double> points) {
    for (int n : {-3, 2, 4, 6, 7}) {
      TLatticeSpline lattice(g, n, points.data(), points.size());
      const test::TPlainSpline plain(g, test::GridNodes(g));
      std::vector<double> out(points.size()), batchLats, batchLons;
      for (double lat : lats) {
        lattice.Row(lat, out.data());
        for (std::size_t k = 0; k < points.size(); ++k) {
          ASSERT_EQ(bits(out[k]), bits(WindowSpline(g, n, lat, points[k]))) << n << ' ' << lat << ' ' << points[k];
          ASSERT_EQ(bits(out[k]), bits(plain(n, lat, points[k]))) << n << ' ' << lat << ' ' << points[k];
        }
        // The batch takes the points across the rows: a new window at almost every point.
        for (std::size_t k = 0; k < points.size(); ++k) {
          batchLats.push_back(k % 2 ? lat : lats[k % lats.size()]);
          batchLons.push_back(points[k]);
        }
      }
      std::vector<double> batch(batchLats.size());
      TWindowSpline(g, n)(batchLats.data(), batchLons.data(), batchLats.size(), batch.data());
      for (std::size_t k = 0; k < batch.size(); ++k)
        ASSERT_EQ(bits(batch[k]), bits(WindowSpline(g, n, batchLats[k], batchLons[k])))
            << n << ' ' << batchLats[k] << ' ' << batchLons[k];
    }
  };
  const std::vector<double> globe = {89.99, 85,  50.3, 47.1, 47.1,   46.9, 12.34, 3.3,          2.9,
                                     -1,    -60, 20,   21,   -89.99, 90,   -95,   std::nan(""), 1e300};
  compare(OpenSource(test::SmallModel("globe", 10, -90, 0, 19, 36), missing), globe, lons);
  // A custom grid across 0 degrees, at its own spacing and finer.
  const TGeoidGrid& c = OpenCustom({20, 200, 40, 349.75, 1.0 / 12, 1.0 / 12}, missing);
  std::vector<double> near;
  for (double lon = 349.5; lon < 367; lon += 1.0 / 48) near.push_back(lon > 360 ? lon - 360 : lon);
  const std::vector<double> band = {41.6, 41.5, 41.3, 41.29, 40.9, 40.5, 41.4, 40.1, 39.9};
  compare(c, band, near);
  // Windows far apart: each reads its own nodes.
  compare(c, band, {349.9, 6.4, 0.1, 349.8});
}

TEST(Spline, ReproducesStraightLinesAndExtendsThemLinearly) {
  TSplineArray Y{}, R{}, Q{};
  for (int k = 1; k <= 6; ++k) Y[k] = static_cast<float>(2 * k - 1);  // y = 2t - 1
  SplineInit(6, Y, R, Q);
  for (int k = 1; k <= 6; ++k) EXPECT_EQ(R[k], 0.0f);
  for (double t : {0.5, 1.0, 2.25, 3.5, 6.0, 7.5}) EXPECT_EQ(SplineValue(6, t, Y, R), 2 * t - 1) << t;
}

TEST(Spline, NaturalEndsAndNodeValues) {
  TSplineArray Y{0, 0, 0, 1, 0, 0, 0}, R{}, Q{};
  SplineInit(6, Y, R, Q);
  EXPECT_EQ(R[1], 0.0f);
  EXPECT_EQ(R[6], 0.0f);
  EXPECT_LT(R[3], 0.0f);  // the peak curves down
  EXPECT_EQ(SplineValue(6, 3, Y, R), 1.0);
  EXPECT_EQ(SplineValue(6, 6, Y, R), 0.0);
  EXPECT_TRUE(std::isnan(SplineValue(6, std::nan(""), Y, R)));
}

// Two windows set up side by side are each the window set up alone, for any
// stored values: the bits of every lane.
TEST(Spline, TwoWindowsSideBySideAsEachAlone) {
  std::mt19937 random(9);
  for (int trial = 0; trial < 2000; ++trial) {
    lanes::TArray<lanes::TStore8> Y[2]{}, R[2], alone[2];
    // A reused window holds the last window's R: nothing of it may survive.
    for (auto* r : {&R[0], &R[1], &alone[0], &alone[1]})
      for (auto& lane : *r) lane = lanes::TStore8{} + NoValue();
    for (auto& y : Y)
      for (int k = 1; k <= MaxWindow; ++k)
        for (int l = 0; l < MaxWindow; ++l)
          y[k][l] = trial % 2 ? std::uniform_real_distribution<float>(-150, 150)(random)
                              : std::ldexp(static_cast<float>(random() % 2001) - 1000,
                                           static_cast<int>(random() % 200) - 130);
    lanes::SplineInitTwo(Y[0], R[0], Y[1], R[1]);
    for (int w = 0; w < 2; ++w) {
      lanes::SplineInit(MaxWindow, Y[w], alone[w]);
      for (int k = 1; k <= MaxWindow; ++k)
        ASSERT_EQ(std::memcmp(&R[w][k], &alone[w][k], sizeof R[w][k]), 0) << trial << ' ' << w << ' ' << k;
    }
  }
}

TEST(WindowSpline, ReusedWindowsGiveFreshResults) {
  test::TTempDir dir;
  test::TRecorderView view;
  TSession session(view);
  test::WriteCustomFile(dir.File("c"), {30, 30, 35, 139, 1.0 / 12, 1.0 / 12}, [](int r, int c) {
    return (r + c) % 13 == 0 ? NoValue()
                             : static_cast<float>(30 * std::sin(r * 0.05) * std::cos(c * 0.07) + 5 * std::sin(c * 0.3));
  });
  ASSERT_TRUE(OpenCustomFile(session, dir.File("c")));
  TWindowSpline reused(*session.CustomGrid, MaxWindow);
  // The fresh value is the plain statement's, on values no float32 sum holds exactly.
  const test::TPlainSpline plain(*session.CustomGrid, test::GridNodes(*session.CustomGrid));
  std::vector<double> lats, lons, fresh;
  for (int i = 0; i < 200; ++i)
    for (int j = 0; j < 200; ++j) {
      const double lat = 37.5 - i * 0.0123, lon = 139.1 + j * 0.0117;
      fresh.push_back(WindowSpline(*session.CustomGrid, MaxWindow, lat, lon));
      const double again = reused(lat, lon);
      ASSERT_EQ(std::bit_cast<std::uint64_t>(fresh.back()), std::bit_cast<std::uint64_t>(again)) << lat << ' ' << lon;
      ASSERT_EQ(std::bit_cast<std::uint64_t>(fresh.back()), std::bit_cast<std::uint64_t>(plain(MaxWindow, lat, lon)))
          << lat << ' ' << lon;
      lats.push_back(lat);
      lons.push_back(lon);
    }
  // A batch in any order: the windows it keeps come back out of turn, and
  // windows that share a place in its keeping replace each other.
  std::vector<std::size_t> order(lats.size());
  for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
  std::shuffle(order.begin(), order.end(), std::mt19937(1));
  std::vector<double> batchLats, batchLons, batch(order.size());
  for (std::size_t k : order) {
    batchLats.push_back(lats[k]);
    batchLons.push_back(lons[k]);
  }
  TWindowSpline(*session.CustomGrid, MaxWindow)(batchLats.data(), batchLons.data(), batch.size(), batch.data());
  for (std::size_t k = 0; k < order.size(); ++k)
    ASSERT_EQ(std::bit_cast<std::uint64_t>(batch[k]), std::bit_cast<std::uint64_t>(fresh[order[k]]))
        << batchLats[k] << ' ' << batchLons[k];
}

}  // namespace
}  // namespace tessmar
