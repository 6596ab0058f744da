#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <filesystem>
#include <limits>

#include "TestGrids.hpp"
#include "base/Numeric.hpp"
#include "grid/Check.hpp"
#include "grid/Circle.hpp"
#include "grid/Gtx.hpp"
#include "grid/Source.hpp"
#include "session/Grids.hpp"

namespace tessmar {
namespace {

using test::TGtxLayout;
using test::TRecorderView;
using test::TTempDir;

// Distinct values that say which GTX node they came from; one node has no value.
float GtxTag(int row, int column) {
  if (row == 3 && column == 5) return GtxNoData;
  return static_cast<float>(row * 18 + column) * 0.5f - 80.25f;
}

std::uint32_t Bits(float value) { return std::bit_cast<std::uint32_t>(value); }

std::size_t FilesIn(const std::string& folder) {
  return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

// A GTX header and a (sparse) file of the given size: counts too large to write.
void WriteHeader(const std::string& path, const TGtxLayout& layout, std::int64_t size) {
  TGtxLayout empty = layout;
  empty.rows = empty.cols = 0;
  test::WriteGtx(path, empty, GtxTag);
  std::vector<unsigned char> header = test::ReadBytes(path);
  for (int i = 0; i < 4; ++i) {
    header[32 + i] = static_cast<unsigned char>(static_cast<std::uint32_t>(layout.rows) >> (24 - 8 * i));
    header[36 + i] = static_cast<unsigned char>(static_cast<std::uint32_t>(layout.cols) >> (24 - 8 * i));
  }
  test::WriteBytes(path, header);
  std::filesystem::resize_file(path, static_cast<std::uintmax_t>(size));
}

struct GtxTest : ::testing::Test {
  TTempDir In, Data;  // GTX files; the data folder the import writes to
  TRecorderView View;
  TSession Session{View};

  GtxTest() { Session.DataDir = Data.Path(); }

  TGtxImport Import(const TGtxLayout& layout, const test::TNodeFunction& value = GtxTag) {
    test::WriteGtx(In.File("grid.gtx"), layout, value);
    return ImportGtx(In.File("grid.gtx"), Data.Path(), "grid", "Test grid", false);
  }
};

// 20-degree whole globe from -180: 10 rows of 18 columns.
constexpr TGtxLayout Globe{-90, -180, 20, 20, 10, 18};

TEST_F(GtxTest, WholeCircleFromMinus180IsTurnedToStartAtZero) {
  const TGtxImport imported = Import(Globe);
  const TGeoidModel& m = imported.Model;
  EXPECT_TRUE(imported.Rotated);
  EXPECT_EQ(imported.Path, Data.File("grid"));
  EXPECT_EQ(m.title, "Test grid");
  EXPECT_EQ(m.fname, "grid");
  EXPECT_EQ(std::tie(m.nrows, m.ncols, m.nlat, m.nlon, m.PrePad), std::make_tuple(10, 20, 10, 18, 1));
  EXPECT_EQ(std::tie(m.glamn, m.glomn, m.dgla, m.dglo), std::make_tuple(-90.0, 0.0, 20.0, 20.0));

  // Every record is its nodes between two words holding their byte length.
  const std::vector<unsigned char> bytes = test::ReadBytes(imported.Path);
  ASSERT_EQ(bytes.size(), 10u * 20 * 4);
  EXPECT_EQ(imported.Size, 800);
  for (int r = 0; r < 10; ++r)
    for (int word : {0, 19}) {
      std::uint32_t marker;
      std::memcpy(&marker, &bytes[(r * 20 + word) * 4], 4);
      EXPECT_EQ(marker, 72u) << "row " << r;
    }

  ASSERT_TRUE(OpenModel(Session, m));
  const TGeoidGrid& g = *Session.SourceGrid;
  EXPECT_TRUE(g.Wraps());
  EXPECT_EQ(g.north, 90.0);
  // Row 0 is the GTX's last (northernmost) row; column 0 is its column at 0 degrees.
  for (int r = 0; r < 10; ++r)
    for (int c = 0; c < 18; ++c) {
      const float expected = GtxTag(9 - r, (c + 9) % 18);
      if (expected == GtxNoData)
        EXPECT_EQ(Bits(g.ReadNode(r, c)), Bits(NoValue())) << r << "," << c;
      else
        EXPECT_EQ(Bits(g.ReadNode(r, c)), Bits(expected)) << r << "," << c;
    }

  // The nearest node is the one the GTX itself has nearest, at any longitude.
  int compared = 0;
  for (double lat = -89.877; lat <= 90; lat += 3.71)
    for (double lon = -179.877; lon <= 360; lon += 7.31) {
      const int row = static_cast<int>(std::nearbyint((lat + 90) / 20));
      const int column = static_cast<int>(std::nearbyint((lon + 180) / 20)) % 18;
      const float direct = GtxTag(row, column);
      const float nearest = NearestNode(Session, lat, lon);
      if (direct == GtxNoData)
        EXPECT_TRUE(std::isnan(nearest)) << lat << "," << lon;
      else
        EXPECT_EQ(Bits(nearest), Bits(direct)) << lat << "," << lon;
      ++compared;
    }
  EXPECT_GT(compared, 2000);
  EXPECT_TRUE(View.Dialogs.empty());
}

TEST_F(GtxTest, WholeCircleFromAnyWestEdgeImportsToTheSameGrid) {
  const std::vector<unsigned char> fromMinus180 = test::ReadBytes(Import(Globe).Path);
  for (const double west : {20.0, -100.0, 0.0, 160.0}) {
    SCOPED_TRACE(west);
    std::filesystem::remove(Data.File("grid"));
    // Column k lies at west + 20 k: the node the -180 grid has there.
    const int shift = static_cast<int>((west + 180) / 20);
    const TGtxImport turned =
        Import({-90, west, 20, 20, 10, 18}, [&](int r, int c) { return GtxTag(r, (c + shift) % 18); });
    EXPECT_EQ(turned.Model.glomn, 0.0);
    EXPECT_EQ(test::ReadBytes(turned.Path), fromMinus180);
  }
}

TEST_F(GtxTest, ClosingColumnIsDroppedAndRegionalGridsKeepTheirColumns) {
  // 0..360 with the closing column: 19 columns, the last repeating the first.
  const TGeoidModel closed = Import({-90, 0, 20, 20, 10, 19}, [](int r, int c) { return GtxTag(r, c % 18); }).Model;
  EXPECT_EQ(closed.nlon, 18);
  EXPECT_EQ(closed.ncols, 20);
  ASSERT_TRUE(OpenModel(Session, closed));
  EXPECT_EQ(Bits(Session.SourceGrid->ReadNode(9, 17)), Bits(GtxTag(0, 17)));
  EXPECT_EQ(Bits(NearestNode(Session, -90, 359.9)), Bits(GtxTag(0, 0)));

  // A regional grid west of Greenwich: west edge brought into 0..360, columns kept.
  CloseSource(Session);  // Windows keeps a deleted file's name while it is open
  std::filesystem::remove(Data.File("grid"));
  const TGtxImport regional = Import({20, -130, 0.25, 0.5, 7, 5});
  EXPECT_FALSE(regional.Rotated);
  EXPECT_EQ(regional.Model.glomn, 230.0);
  EXPECT_EQ(regional.Model.glamn, 20.0);
  ASSERT_TRUE(OpenModel(Session, regional.Model));
  const TGeoidGrid& g = *Session.SourceGrid;
  EXPECT_FALSE(g.Wraps());
  EXPECT_EQ(g.north, 21.5);
  for (int r = 0; r < 7; ++r)
    for (int c = 0; c < 5; ++c) ASSERT_EQ(Bits(g.ReadNode(r, c)), Bits(GtxTag(6 - r, c)));
  EXPECT_EQ(Bits(NearestNode(Session, 21.1, -128.6)), Bits(GtxTag(4, 3)));
  EXPECT_EQ(Bits(NearestNode(Session, 21.1, 231.4)), Bits(GtxTag(4, 3)));
  EXPECT_TRUE(std::isnan(NearestNode(Session, 21.1, -126)));
}

TEST_F(GtxTest, RegionalGridAcrossZeroReadsOnBothSides) {
  // 5 W .. 4 E at half a degree: its west edge goes to 355, and the grid reads
  // the longitudes east of 0 past 360, where its columns are.
  const TGtxImport across = Import({40, -5, 0.5, 0.5, 7, 19});
  EXPECT_FALSE(across.Rotated);
  EXPECT_EQ(across.Model.glomn, 355.0);
  ASSERT_TRUE(OpenModel(Session, across.Model));
  for (const auto& [lon, column] : {std::pair{-5.0, 0},
                                    {-3.0, 4},
                                    {-0.5, 9},
                                    {0.0, 10},
                                    {0.5, 11},
                                    {2.0, 14},
                                    {4.0, 18},
                                    {357.0, 4},
                                    {360.0, 10},
                                    {362.0, 14}}) {
    SCOPED_TRACE(lon);
    EXPECT_EQ(Bits(NearestNode(Session, 41.0, lon)), Bits(GtxTag(2, column)));
    EXPECT_EQ(Bits(static_cast<float>(SourceValue(Session, 41.0, lon))), Bits(GtxTag(2, column)));
  }
  EXPECT_TRUE(std::isnan(NearestNode(Session, 41.0, 5.0)));
  EXPECT_TRUE(std::isnan(NearestNode(Session, 41.0, -6.0)));

  // A west edge a hair below 0 is 0, not 360.
  CloseSource(Session);
  std::filesystem::remove(Data.File("grid"));
  const TGtxImport hair = Import({40, -1e-17, 0.5, 0.5, 7, 19});
  EXPECT_EQ(hair.Model.glomn, 0.0);
  ASSERT_TRUE(OpenModel(Session, hair.Model));
  EXPECT_EQ(Bits(NearestNode(Session, 41.0, 0.0)), Bits(GtxTag(2, 0)));
  EXPECT_EQ(Bits(NearestNode(Session, 41.0, 2.0)), Bits(GtxTag(2, 4)));
  EXPECT_EQ(Bits(static_cast<float>(SourceValue(Session, 41.0, 9.0))), Bits(GtxTag(2, 18)));
}

TEST_F(GtxTest, FilesThatCannotBeImportedFaithfullyAreRefusedAndNothingIsWritten) {
  const auto constant = [](int, int) { return 1.5f; };
  const std::string gtx = In.File("bad.gtx");
  const auto refused = [&](const std::string& why) {
    SCOPED_TRACE(why);
    try {
      ImportGtx(gtx, Data.Path(), "grid", "Bad", false);
      ADD_FAILURE() << "imported";
    } catch (const TError& e) {
      EXPECT_NE(std::string(e.what()).find(why), std::string::npos) << e.what();
    }
    EXPECT_EQ(FilesIn(Data.Path()), 0u);
  };

  test::WriteBytes(gtx, std::vector<unsigned char>(39, 0));
  refused("shorter than the 40-byte header");

  std::vector<unsigned char> bytes;
  test::WriteGtx(gtx, Globe, constant);
  bytes = test::ReadBytes(gtx);
  bytes.pop_back();
  test::WriteBytes(gtx, bytes);
  refused("do not match the file's 759 bytes");
  bytes.push_back(0);
  for (int extra = 1; extra <= 3; ++extra) {  // stray bytes after the last node, short of a word
    bytes.push_back(0);
    test::WriteBytes(gtx, bytes);
    refused("do not match the file's " + std::to_string(760 + extra) + " bytes");
  }

  test::WriteGtx(gtx, {-90, -180, 20, 20, -10, -18}, constant);
  refused("gives -10 rows and -18 columns");
  test::WriteGtx(gtx, {-90, -180, 20, 20, 0, 18}, constant);
  refused("gives 0 rows");
  // Counts whose product in 32 or 64 bits would wrap round to the file's size.
  WriteHeader(gtx, {-90, -180, 20, 20, std::numeric_limits<std::int32_t>::max(), 1 << 30}, 40);
  refused("do not match the file's 40 bytes");
  WriteHeader(gtx, {-90, -180, 20, 20, 1 << 16, 1 << 16}, 40);
  refused("do not match the file's 40 bytes");
  test::WriteGtx(gtx, {-90, -180, 0, 20, 10, 18}, constant);
  refused("not a positive finite number");
  test::WriteGtx(gtx, {-90, std::nan(""), 20, 20, 10, 18}, constant);
  refused("not a positive finite number");
  test::WriteGtx(gtx, {-90, -180, 20, -20, 10, 18}, constant);
  refused("not a positive finite number");
  for (const double west : {1e20, -1e20, 720.5, -721.0}) {  // a turn or two is a way of writing; more is damage
    test::WriteGtx(gtx, {-90, west, 20, 20, 10, 18}, constant);
    refused("its west edge " + ShortestText(west) + " degrees lies beyond 720 degrees either way");
  }
  // So fine that n, or n times a count, would leave 64 bits.
  test::WriteGtx(gtx, {-90, -180, 20, 3e-15, 10, 18}, constant);
  refused("degrees is finer than");
  test::WriteGtx(gtx, {-90, -180, 1e-17, 20, 10, 18}, constant);
  refused("degrees is finer than");
  test::WriteGtx(gtx, {-90, -180, 20, 4e-320, 10, 18}, constant);
  refused("degrees is finer than");
  test::WriteGtx(gtx, {-90, -180, 0.3, 0.3, 10, 18}, constant);
  refused("is not 100/n degrees");
  test::WriteGtx(gtx, {-90, -180, 0.04167, 0.04167, 10, 18}, constant);  // 1/24 to 4 figures only
  refused("is not 100/n degrees");
  test::WriteGtx(gtx, {-90, -180, 20, 20, 11, 18}, constant);
  refused("latitudes -90 to 110 leave -90..90");
  test::WriteGtx(gtx, {-90, -180, 20, 20, 10, 20}, constant);
  refused("span more than 360 degrees");
  test::WriteGtx(gtx, {-90, -170.5, 20, 20, 10, 18}, constant);
  refused("no node at 0 degrees");

  // 2^29 nodes pass the file-size test but not the record layout's 2 GiB.
  WriteHeader(gtx, {-90, 0, 0.01, 0.01, 1 << 14, 1 << 15}, 40 + (std::int64_t{1} << 31));
  refused("2 GiB is the limit");

  // A target that exists stays unless replacing is asked for; the GTX never is one.
  test::WriteGtx(gtx, Globe, constant);
  EXPECT_THROW(ImportGtx(gtx, In.Path(), "bad.gtx", "Bad", true), TError);
  EXPECT_EQ(test::ReadBytes(gtx).size(), 760u);
  test::WriteBytes(Data.File("grid"), {1, 2, 3});
  EXPECT_THROW(ImportGtx(gtx, Data.Path(), "grid", "Bad", false), TError);
  EXPECT_EQ(test::ReadBytes(Data.File("grid")).size(), 3u);
  EXPECT_EQ(ImportGtx(gtx, Data.Path(), "grid", "Good", true).Size, 800);
  EXPECT_THROW(ImportGtx(gtx, Data.Path(), "sub/grid", "Bad", true), TError);
  EXPECT_THROW(ImportGtx(In.File("missing.gtx"), Data.Path(), "grid", "Bad", true), TError);
  EXPECT_EQ(FilesIn(Data.Path()), 1u);
}

TEST_F(GtxTest, ExportWritesTheCustomGridSouthToNorthWithItsOwnLongitudes) {
  // West of Greenwich, with a node that has no value.
  const TCustomTrailer trailer{3, 4, 10, -5, 0.25, 0.5};
  const auto value = [](int r, int c) { return r == 1 && c == 2 ? NoValue() : static_cast<float>(r * 4 + c) / 8; };
  test::WriteCustomFile(Data.File("custom.qdat"), trailer, value);
  ASSERT_TRUE(OpenCustomFile(Session, Data.File("custom.qdat")));

  EXPECT_EQ(ExportGtx(*Session.CustomGrid, Data.File("custom.gtx"), false), 40 + 12 * 4);
  const std::vector<unsigned char> bytes = test::ReadBytes(Data.File("custom.gtx"));
  const TGtxLayout g = test::GtxLayoutOf(bytes);
  EXPECT_EQ(std::tie(g.south, g.west, g.dlat, g.dlon), std::make_tuple(10.0, -5.0, 0.25, 0.5));
  EXPECT_EQ(std::tie(g.rows, g.cols), std::make_tuple(3, 4));
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 4; ++c) {
      const float custom = value(2 - r, c);
      EXPECT_EQ(Bits(test::GtxValue(bytes, g, r, c)), Bits(std::isnan(custom) ? GtxNoData : custom)) << r << c;
    }

  // An existing file is replaced only when asked.
  EXPECT_THROW(ExportGtx(*Session.CustomGrid, Data.File("custom.gtx"), false), TError);
  test::WriteBytes(Data.File("custom.gtx"), {});
  EXPECT_EQ(ExportGtx(*Session.CustomGrid, Data.File("custom.gtx"), true), 88);

  // And it imports back to the same nodes.
  const TGtxImport back = ImportGtx(Data.File("custom.gtx"), Data.Path(), "back", "Back", false);
  EXPECT_EQ(back.Model.glomn, 355.0);
  ASSERT_TRUE(OpenModel(Session, back.Model));
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 4; ++c)
      EXPECT_EQ(Bits(Session.SourceGrid->ReadNode(r, c)), Bits(Session.CustomGrid->ReadNode(r, c))) << r << c;
}

TEST(ExchangeWest, GridsThatFitInMinus180To180AreWrittenThereOthersIn0To360) {
  struct TRow {
    double West;
    std::int32_t Nlon;
    double Dlon, Expected;
  };
  for (const TRow& r :
       {TRow{351.75, 127, 1.0 / 12, -8.25}, TRow{-5, 4, 0.5, -5}, TRow{170, 41, 0.5, 170}, TRow{-190, 41, 0.5, 170},
        TRow{0, 1440, 0.25, 0}, TRow{-180, 1440, 0.25, -180}, TRow{180, 10, 1, -180}, TRow{179, 2, 1, 179},
        TRow{179, 3, 1, 179}, TRow{540.5, 3, 1, -179.5}, TRow{-100, 2001, 0.1, -100}, TRow{-100, 2802, 0.1, 260}})
    EXPECT_EQ(ExchangeWest(r.West, r.Nlon, r.Dlon), r.Expected) << r.West << " " << r.Nlon << " x " << r.Dlon;
}

}  // namespace
}  // namespace tessmar
