#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>

#include "TestGrids.hpp"
#include "grid/Check.hpp"
#include "session/Grids.hpp"

namespace tessmar {
namespace {

using test::TRecorderView;
using test::TTempDir;

float Tag(int row, int column) { return static_cast<float>(row) / 4 + static_cast<float>(column) / 1024; }

struct CustomFileTest : ::testing::Test {
  TTempDir Dir;
  TRecorderView View;
  TSession Session{View};
  std::string Path = Dir.File("area.qdat");

  void ExpectIllegal(const std::vector<unsigned char>& bytes, const char* why) {
    test::WriteBytes(Path, bytes);
    View.Dialogs.clear();
    EXPECT_FALSE(OpenCustomFile(Session, Path)) << why;
    EXPECT_FALSE(CustomIsOpen(Session)) << why;
    ASSERT_EQ(View.Dialogs.size(), 1u) << why;
    EXPECT_EQ(View.Dialogs[0].Text, "Illegal Custom geoid file: \r\n\r\n" + Path) << why;
    EXPECT_EQ(View.Dialogs[0].Kind, TMsgDlgType::Error);
  }

  static std::vector<unsigned char> TrailerOnly(const TCustomTrailer& t, std::size_t nodes = 0) {
    std::vector<unsigned char> bytes(nodes * 4 + CustomTrailerSize, 0);
    EncodeTrailer(t, bytes.data() + nodes * 4);
    return bytes;
  }
};

TEST_F(CustomFileTest, RegionAtFiveMinutesDerivesItsEdges) {
  test::WriteCustomFile(Path, {367, 367, 19.75, 119.75, 1.0 / 12, 1.0 / 12}, Tag);
  ASSERT_TRUE(OpenCustomFile(Session, Path));
  const TGeoidGrid& g = *Session.CustomGrid;
  EXPECT_EQ(CustomFileSize(Session), 538796);
  EXPECT_EQ(g.nlat, 367);
  EXPECT_EQ(g.nlon, 367);
  EXPECT_EQ(g.PrePad, 0);
  EXPECT_EQ(g.north, 50.25);
  EXPECT_DOUBLE_EQ(g.east, 150.25 + 1.0 / 12);
  EXPECT_FALSE(g.Wraps());
  EXPECT_EQ(g.ReadNode(0, 0), Tag(0, 0));
  EXPECT_EQ(g.ReadNode(366, 366), Tag(366, 366));
  EXPECT_TRUE(std::isnan(g.ReadNode(367, 0)));  // the trailer is never a node
  EXPECT_TRUE(std::isnan(g.ReadNode(0, 367)));
  EXPECT_TRUE(View.Dialogs.empty());
}

TEST_F(CustomFileTest, WholeCircleWraps) {
  test::WriteCustomFile(Path, {2, 4320, 0, 0, 1.0 / 12, 1.0 / 12}, Tag);
  ASSERT_TRUE(OpenCustomFile(Session, Path));
  EXPECT_EQ(Session.CustomGrid->east, 360);
  EXPECT_TRUE(Session.CustomGrid->Wraps());
  EXPECT_EQ(Session.CustomGrid->ReadNode(1, 4320), Tag(1, 0));
  EXPECT_EQ(Session.CustomGrid->ReadNode(1, -1), Tag(1, 4319));
}

TEST_F(CustomFileTest, EmptyGridOpensAndReadsNothing) {
  test::WriteBytes(Path, TrailerOnly({0, 5, 10, 10, 0.25, 0.25}));
  ASSERT_TRUE(OpenCustomFile(Session, Path));
  EXPECT_EQ(CustomFileSize(Session), 40);
  EXPECT_TRUE(std::isnan(Session.CustomGrid->ReadNode(0, 0)));
}

TEST_F(CustomFileTest, StoredNaNAndHugeValuesReadNaN) {
  test::WriteCustomFile(Path, {1, 3, 10, 10, 0.25, 0.25}, [](int, int c) {
    return c == 0 ? std::nanf("") : c == 1 ? 200.0f : -12.5f;
  });
  ASSERT_TRUE(OpenCustomFile(Session, Path));
  EXPECT_TRUE(std::isnan(Session.CustomGrid->ReadNode(0, 0)));
  EXPECT_TRUE(std::isnan(Session.CustomGrid->ReadNode(0, 1)));
  EXPECT_EQ(Session.CustomGrid->ReadNode(0, 2), -12.5f);
}

TEST_F(CustomFileTest, SizeMustMatchTheTrailerExactly) {
  test::WriteCustomFile(Path, {3, 4, 10, 10, 0.25, 0.25}, Tag);
  auto bytes = test::ReadBytes(Path);
  auto longer = bytes;
  longer.insert(longer.begin(), 0);
  ExpectIllegal(longer, "one byte too long");
  auto shorter = bytes;
  shorter.erase(shorter.begin());
  ExpectIllegal(shorter, "one byte too short");
  ExpectIllegal(std::vector<unsigned char>(39, 0), "shorter than a trailer");
  ExpectIllegal({}, "empty");
}

TEST_F(CustomFileTest, CountsCannotWrapRoundToTheFileSize) {
  // In 32 bits 65536 x 65536 x 4 + 40 is 40, and -1 x -1 x 4 + 40 is 44.
  ExpectIllegal(TrailerOnly({65536, 65536, 10, 10, 0.25, 0.25}), "product overflows 32 bits");
  ExpectIllegal(TrailerOnly({-1, -1, 10, 10, 0.25, 0.25}, 1), "negative counts");
  ExpectIllegal(TrailerOnly({-5, 0, 10, 10, 0.25, 0.25}), "negative rows, no nodes");
  ExpectIllegal(TrailerOnly({std::numeric_limits<std::int32_t>::max(), 2, 10, 10, 0.25, 0.25}), "huge rows");
  // (2^31 - 1)^2 x 4 overflows 64 bits.
  const std::int32_t most = std::numeric_limits<std::int32_t>::max();
  ExpectIllegal(TrailerOnly({most, most, 10, 10, 1e-7, 1e-7}), "product overflows 64 bits");
  // No nodes, but a row buffer or a lattice of billions.
  ExpectIllegal(TrailerOnly({0, most, 10, 10, 0.25, 0.25}), "no rows, huge columns");
  ExpectIllegal(TrailerOnly({most, 0, 10, 10, 0.25, 0.25}), "huge rows, no columns");
  // Within the sphere at a spacing of 5e-11 degrees, but 738 million rows to walk.
  ExpectIllegal(TrailerOnly({738198280, 0, 0, 10, 5.4e-11, 0.26}), "huge rows of a tiny spacing, no columns");
  ExpectIllegal(TrailerOnly({0, 536870902, 0, 10, 0.26, 5.4e-11}), "no rows, the columns of 2 GiB");
  test::WriteBytes(Path, TrailerOnly({0, 536870901, 0, 10, 0.26, 5.4e-11}));
  EXPECT_TRUE(OpenCustomFile(Session, Path));  // one row of these would stay below 2 GiB
}

TEST_F(CustomFileTest, FileOfTwoGibibytesOrMoreIsIllegal) {
  // 2^14 x 2^15 nodes at 0.01 degrees: a plausible span, but 2^31 + 40 bytes,
  // more than any conversion writes (sparse: no disk is used).
  test::WriteSparseFile(Path, (std::int64_t{1} << 31) + CustomTrailerSize);
  {
    unsigned char trailer[CustomTrailerSize];
    EncodeTrailer({1 << 14, 1 << 15, 10, 10, 0.01, 0.01}, trailer);
    std::FILE* f = std::fopen(Path.c_str(), "r+b");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(fseeko(f, std::int64_t{1} << 31, SEEK_SET), 0);
    ASSERT_EQ(std::fwrite(trailer, 1, sizeof trailer, f), sizeof trailer);
    std::fclose(f);
  }
  View.Dialogs.clear();
  EXPECT_FALSE(OpenCustomFile(Session, Path));
  ASSERT_EQ(View.Dialogs.size(), 1u);
  EXPECT_EQ(View.Dialogs[0].Text, "Illegal Custom geoid file: \r\n\r\n" + Path);
}

TEST_F(CustomFileTest, TrailerNoConversionCouldWriteIsIllegal) {
  const double nan = std::nan(""), inf = std::numeric_limits<double>::infinity();
  const TCustomTrailer bad[] = {
      {0, 0, 10, 10, 0, 0.25},
      {0, 0, 10, 10, 0.25, 0},
      {0, 0, 10, 10, nan, 0.25},
      {0, 0, 10, 10, 0.25, -0.25},
      {0, 0, 10, inf, 0.25, 0.25},
      {0, 0, nan, 10, 0.25, 0.25},
      {0, 0, 90.5, 10, 0.25, 0.25},
      {0, 0, -91, 10, 0.25, 0.25},
      {0, 0, 10, 720.5, 0.25, 0.25},
      {0, 0, 10, -361, 0.25, 0.25},
      // More than the sphere: 723 rows of 0.25 degrees, 1443 columns, and a
      // billion rows of 100 degrees that a scan would walk for days.
      {723, 0, 10, 10, 0.25, 0.25},
      {0, 1443, 10, 10, 0.25, 0.25},
      {1000000000, 0, -90, 10, 100, 0.25},
  };
  for (const auto& t : bad) ExpectIllegal(TrailerOnly(t), "implausible trailer");
  // The extremes a conversion can write are fine.
  test::WriteBytes(Path, TrailerOnly({0, 0, -90, -0.25, 1.0 / 60, 1.0 / 60}));
  EXPECT_TRUE(OpenCustomFile(Session, Path));
  Session.CustomGrid.reset();  // Windows refuses to rewrite a file in use
  test::WriteBytes(Path, TrailerOnly({0, 21602, -90, -0.05, 1.0 / 60, 1.0 / 60}));
  EXPECT_TRUE(OpenCustomFile(Session, Path));
  Session.CustomGrid.reset();
  test::WriteBytes(Path, TrailerOnly({10802, 0, -90, -0.05, 1.0 / 60, 1.0 / 60}));
  EXPECT_TRUE(OpenCustomFile(Session, Path));
}

TEST_F(CustomFileTest, MissingFileOrNoGeometryIsNotFound) {
  EXPECT_FALSE(OpenCustomFile(Session, Path));
  ASSERT_EQ(View.Dialogs.size(), 1u);
  EXPECT_EQ(View.Dialogs[0].Text, "Geoid file is not found: \r\n" + Path);
  test::WriteBytes(Path, TrailerOnly({0, 0, 10, 10, 1e-300, 0.25}));  // no node factor
  EXPECT_FALSE(OpenCustomFile(Session, Path));
  ASSERT_EQ(View.Dialogs.size(), 2u);
  EXPECT_EQ(View.Dialogs[1].Text, "Geoid file is not found: \r\n" + Path);
  EXPECT_FALSE(OpenCustomFile(Session, Dir.Path()));  // a folder
  EXPECT_EQ(View.Dialogs.size(), 3u);
}

TEST_F(CustomFileTest, ReopenReplacesAndCloseClosesTheSourceToo) {
  test::WriteCustomFile(Path, {2, 2, 10, 10, 0.25, 0.25}, Tag);
  ASSERT_TRUE(OpenCustomFile(Session, Path));
  EXPECT_FALSE(OpenCustomFile(Session, Dir.File("none.qdat")));
  EXPECT_FALSE(CustomIsOpen(Session));  // the failed re-open closed the old file
  ASSERT_TRUE(OpenCustomFile(Session, Path));
  TGeoidModel source = test::SmallModel("src", 0.25, 10, 10, 4, 4);
  test::WriteSourceGrid(Dir.File("src"), source, Tag);
  Session.DataDir = Dir.Path();
  ASSERT_TRUE(OpenModel(Session, source));
  CloseCustomFile(Session);
  EXPECT_FALSE(Session.SourceOpen());
  EXPECT_FALSE(CustomIsOpen(Session));
  EXPECT_EQ(CustomFileSize(Session), 0);
}

TEST_F(CustomFileTest, TrailerRoundTripsLittleEndian) {
  unsigned char bytes[CustomTrailerSize];
  EncodeTrailer({367, 4320, -90, -0.25, 1.0 / 12, 1.0 / 6}, bytes);
  EXPECT_EQ(bytes[0], 0x6F);  // 367 = 0x16F
  EXPECT_EQ(bytes[1], 0x01);
  const TCustomTrailer t = DecodeTrailer(bytes);
  EXPECT_EQ(t.rows, 367);
  EXPECT_EQ(t.cols, 4320);
  EXPECT_EQ(t.south, -90);
  EXPECT_EQ(t.west, -0.25);
  EXPECT_EQ(t.dlat, 1.0 / 12);
  EXPECT_EQ(t.dlon, 1.0 / 6);
}

}  // namespace
}  // namespace tessmar
