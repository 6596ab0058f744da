#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <stdexcept>
#include <utility>
#include <vector>

#include "TestGrids.hpp"
#include "base/Platform.hpp"
#include "grid/Source.hpp"
#include "session/Grids.hpp"

namespace tessmar {
namespace {

using test::TRecorderView;
using test::TTempDir;

// Distinct, exactly representable values that say where they were read from.
float Tag(int row, int column) { return static_cast<float>(row) + static_cast<float>(column) / 64; }

// Every run of a row, from every row and column just outside the grid to just
// past it, reads what its nodes read one by one, bit for bit.
void ExpectRunsReadAsNodes(const TGeoidGrid& g) {
  for (int row = -1; row <= g.nlat; ++row)
    for (int column = -1; column <= g.nlon; ++column)
      for (std::size_t count = 0; count <= static_cast<std::size_t>(g.nlon) + 2; ++count) {
        std::vector<float> run(count + 1, 7.0f);
        g.ReadRun(row, column, count, run.data());
        for (std::size_t k = 0; k < count; ++k)
          ASSERT_EQ(std::bit_cast<std::uint32_t>(run[k]),
                    std::bit_cast<std::uint32_t>(g.ReadNode(row, column + static_cast<int>(k))))
              << row << ',' << column << " +" << k;
        ASSERT_EQ(run[count], 7.0f);  // nothing written past the run
      }
  // So does every block of rows (a spline's window), at its stride.
  for (int row = -1; row <= g.nlat; ++row)
    for (int column = -1; column <= g.nlon; ++column)
      for (const auto& [rows, count] : {std::pair{1, 1}, std::pair{2, 6}, std::pair{6, 6}, std::pair{6, 3}}) {
        constexpr std::size_t stride = 8;
        std::vector<float> block(rows * stride, 7.0f);
        g.ReadBlock(row, column, rows, count, block.data(), stride);
        for (int i = 0; i < rows; ++i)
          for (int k = 0; k < 8; ++k)
            ASSERT_EQ(std::bit_cast<std::uint32_t>(block[i * stride + k]),
                      std::bit_cast<std::uint32_t>(k < count ? g.ReadNode(row + i, column + k) : 7.0f))
                << row << ',' << column << " +" << i << ',' << k;
      }
}

struct SourceGridTest : ::testing::Test {
  TTempDir Dir;
  TRecorderView View;
  TSession Session{View};

  SourceGridTest() { Session.DataDir = Dir.Path(); }

  // Records of 38 words: the nodes between two record words.
  TGeoidModel Globe10() { return test::WriteGlobe10(Dir, Tag); }
};

TEST_F(SourceGridTest, DefaultModelsDeriveTheWholeGlobe) {
  const TGeoidModels models = DefaultGeoidModels();
  EXPECT_EQ(models[0].title, "EGM2008 2.5'x2.5'");
  EXPECT_EQ(models[1].fname, "Und_min1x1_egm2008_isw=82_WGS84_TideFree_SE");
  EXPECT_EQ(models[0].dgla, 0.041666666666666664);
  EXPECT_EQ(models[1].dglo, 0.016666666666666666);
  const std::int64_t factors[] = {2400, 6000};
  const std::int64_t sizes[] = {149368328, 933292808};
  for (int i = 0; i < 2; ++i) {
    test::WriteSparseFile(Dir.File(models[i].fname), sizes[i]);  // every node 0
    ASSERT_TRUE(OpenModel(Session, models[i]));
    const TGeoidGrid& g = *Session.SourceGrid;
    EXPECT_EQ(g.RowFactor(), factors[i]);
    EXPECT_EQ(g.north, 90.0);
    EXPECT_EQ(g.east, 360.0);
    EXPECT_TRUE(g.Wraps());
    EXPECT_EQ(g.ReadNode(g.nlat - 1, g.nlon - 1), 0.0f);
    std::filesystem::remove(Dir.File(models[i].fname));
  }
  EXPECT_TRUE(View.Dialogs.empty());
}

TEST_F(SourceGridTest, NodesPerDegreeUsesTheRoundedFactor) {
  EXPECT_EQ(NodesPerDegree(1.0 / 60), 60);
  EXPECT_EQ(NodesPerDegree(1.0 / 24), 24);
  EXPECT_EQ(NodesPerDegree(1.0 / 12 + 1e-12), 12);  // a stored error does not move the edges
  EXPECT_EQ(NodeFactor(0.25), 400);
  EXPECT_EQ(NodeFactor(1.0 / 3), 300);
  EXPECT_THROW(NodeFactor(0), TError);
}

TEST_F(SourceGridTest, WrappingGridReadsOneTurnRoundOnly) {
  ASSERT_TRUE(OpenModel(Session, Globe10()));
  const TGeoidGrid& g = *Session.SourceGrid;
  ASSERT_TRUE(g.Wraps());
  EXPECT_EQ(g.ReadNode(4, -1), Tag(4, 35));
  EXPECT_EQ(g.ReadNode(4, 36), Tag(4, 0));
  EXPECT_TRUE(std::isnan(g.ReadNode(4, -37)));
  EXPECT_TRUE(std::isnan(g.ReadNode(4, 72)));
  EXPECT_TRUE(std::isnan(g.ReadNode(-1, 0)));
  EXPECT_TRUE(std::isnan(g.ReadNode(19, 0)));
  EXPECT_TRUE(
      std::isnan(g.ReadNode(std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::min())));
  EXPECT_EQ(g.ReadNode(18, 35), Tag(18, 35));
  ExpectRunsReadAsNodes(g);
}

TEST_F(SourceGridTest, RegionalGridDoesNotWrap) {
  TGeoidModel m = test::SmallModel("region", 1, 30, 120, 11, 21);
  test::WriteSourceGrid(Dir.File(m.fname), m, Tag);
  ASSERT_TRUE(OpenModel(Session, m));
  const TGeoidGrid& g = *Session.SourceGrid;
  EXPECT_FALSE(g.Wraps());
  EXPECT_EQ(g.north, 40);
  EXPECT_EQ(g.east, 141);
  EXPECT_TRUE(std::isnan(g.ReadNode(0, 21)));
  EXPECT_TRUE(std::isnan(g.ReadNode(0, -1)));
  EXPECT_TRUE(std::isnan(g.ReadNode(11, 0)));
  EXPECT_EQ(g.ReadNode(10, 20), Tag(10, 20));
}

TEST_F(SourceGridTest, OnlyPlausibleValuesRead) {
  TGeoidModel m = test::SmallModel("values", 1, 0, 10, 1, 6);
  const float inf = std::numeric_limits<float>::infinity();
  const float stored[] = {199.99f, -199.99f, 200.0f, -200.0f, inf, std::nanf(""), -inf, -0.0f, 1e-40f};
  m.nlon = 9;
  m.ncols = 11;
  test::WriteSourceGrid(Dir.File(m.fname), m, [&](int, int c) { return stored[c]; });
  ASSERT_TRUE(OpenModel(Session, m));
  EXPECT_EQ(Session.SourceGrid->ReadNode(0, 0), 199.99f);
  EXPECT_EQ(Session.SourceGrid->ReadNode(0, 1), -199.99f);
  for (int c = 2; c < 7; ++c) {
    const float v = Session.SourceGrid->ReadNode(0, c);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(v), 0xFFC00000u) << c;
  }
  EXPECT_EQ(std::bit_cast<std::uint32_t>(Session.SourceGrid->ReadNode(0, 7)), 0x80000000u);
  ExpectRunsReadAsNodes(*Session.SourceGrid);
}

// A grid file that is not what its catalogue entry says is refused at open,
// with the sizes and the likely cause: no node of it is ever read.
TEST_F(SourceGridTest, GridFilesOfAnotherSizeAreRefusedAtOpen) {
  const std::int64_t whole = 19 * 38 * 4;
  struct TCase {
    const char* name;
    std::int64_t size;  // -1: a folder
    std::int32_t ncols;
    std::string reason;
  } cases[] = {
      {"cut short", 100 * 4, 38, "it is 400 bytes where its catalogue entry gives 19 records of 38 words, 2,888 bytes"},
      {"empty", 0, 38, "it is 0 bytes where its catalogue entry gives 19 records of 38 words, 2,888 bytes"},
      {"a word too long", whole + 4, 38,
       "it is 2,892 bytes where its catalogue entry gives 19 records of 38 words, 2,888 bytes"},
      {"a custom file under the name", 19 * 36 * 4 + 40, 38,
       "it is 2,776 bytes where its catalogue entry gives 19 records of 38 words, 2,888 bytes"},
      {"records far longer than the file", whole, 2000000000,
       "it is 2,888 bytes where its catalogue entry gives 19 records of 2000000000 words, 152,000,000,000 bytes"},
      {"a folder", -1, 38, "it is a folder"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TGeoidModel m = Globe10();
    m.ncols = c.ncols;
    if (c.size < 0) {
      std::filesystem::remove(Dir.File(m.fname));
      std::filesystem::create_directory(Dir.File(m.fname));
    } else {
      std::filesystem::resize_file(Dir.File(m.fname), static_cast<std::uintmax_t>(c.size));
    }
    View.Dialogs.clear();
    EXPECT_FALSE(OpenModel(Session, m));
    EXPECT_FALSE(Session.SourceOpen());
    const std::string cause = c.size < 0 ? "" : ": a download that did not finish, or another file under this name";
    ASSERT_EQ(View.Dialogs.size(), 1u);
    EXPECT_EQ(View.Dialogs[0].Text, "Geoid file is not usable: \r\nglobe10\r\n\r\n" + c.reason + cause);
    EXPECT_EQ(OpenSource(Dir.Path(), m).Failure, TSourceFailure::NotUsable);
    std::filesystem::remove_all(Dir.File(m.fname));
  }
}

// A grid truncated under the program (after its open) reads NaN past its end.
TEST_F(SourceGridTest, TruncatedFileReadsNaNPastItsEnd) {
  TGeoidModel m = Globe10();
  std::filesystem::resize_file(Dir.File(m.fname), (5 * 38 + 10) * 4 + 2);  // ends inside node (5, 9)
  TMappedFile file;
  ASSERT_TRUE(file.Open(Dir.File(m.fname)));
  const auto g = TGeoidGrid::Make(std::move(file), ModelLayout(m));
  ASSERT_TRUE(g);
  EXPECT_EQ(g->ReadNode(5, 8), Tag(5, 8));
  EXPECT_TRUE(std::isnan(g->ReadNode(5, 9)));
  EXPECT_TRUE(std::isnan(g->ReadNode(18, 0)));
  ExpectRunsReadAsNodes(*g);

  // A record length below zero (a settings file can give one) reads no byte outside the file either.
  m.ncols = -38;
  ASSERT_TRUE(file.Open(Dir.File(m.fname)));
  const auto backwards = TGeoidGrid::Make(std::move(file), ModelLayout(m));
  ASSERT_TRUE(backwards);
  ExpectRunsReadAsNodes(*backwards);
}

// A grid that another program changes while it is open never feeds wrong
// nodes. Linux lets the file be replaced (the mapping keeps the bytes it
// opened) or shrink (the bus error guard catches it: the scan and conversion
// tests of a truncated grid). Windows refuses the replacement, the truncation
// and a write in place while the grid is open.
TEST_F(SourceGridTest, FileChangedByAnotherProgramWhileOpenKeepsItsNodes) {
  TGeoidModel m = Globe10();
  const std::string path = Dir.File(m.fname);
  ASSERT_TRUE(OpenModel(Session, m));
  const TGeoidGrid& g = *Session.SourceGrid;

  const std::string other = Dir.File("other");
  test::WriteSourceGrid(other, m, [](int, int) { return 99.0f; });
  EXPECT_EQ(MoveIntoPlace(other, path), !test::OpenFilesAreLocked);
  if (test::OpenFilesAreLocked) {
    EXPECT_FALSE(test::TruncateFromAnotherProcess(path));
    EXPECT_THROW(test::PokeWord(path, 0, 1.0f), std::runtime_error);
  }
  EXPECT_EQ(g.ReadNode(18, 35), Tag(18, 35));
  EXPECT_FALSE(g.FileChanged());
  ExpectRunsReadAsNodes(g);
}

TEST_F(SourceGridTest, GeometryThatPointsOutsideTheFileReadsNaN) {
  TGeoidModel m = Globe10();
  m.PrePad = -1000;  // a catalogue edited by hand: refused when opened
  EXPECT_FALSE(OpenModel(Session, m));
  EXPECT_EQ(View.Dialogs.back().Text,
            "Geoid file is not usable: \r\nglobe10\r\n\r\ncatalogue entry \"Small\", key "
            "PrePad: -1000: no record starts before its first word");
  // A grid made of it all the same reads no byte outside the file.
  TMappedFile file;
  ASSERT_TRUE(file.Open(Dir.File(m.fname)));
  const auto g = TGeoidGrid::Make(std::move(file), ModelLayout(m));
  ASSERT_TRUE(g);
  EXPECT_TRUE(std::isnan(g->ReadNode(0, 0)));
  ExpectRunsReadAsNodes(*g);
}

TEST_F(SourceGridTest, OpenFailuresCloseThePreviousFile) {
  TGeoidModel m = Globe10();
  ASSERT_TRUE(OpenModel(Session, m));
  TGeoidModel zero = m;
  zero.dglo = 0;  // no node factor
  EXPECT_FALSE(OpenModel(Session, zero));
  EXPECT_FALSE(Session.SourceOpen());
  TGeoidModel coarse = m;
  coarse.dgla = 500;  // factor rounds to 0
  EXPECT_FALSE(OpenModel(Session, coarse));
  TGeoidModel folder = m;
  folder.fname = "";  // DataDir itself: a folder, not a grid
  EXPECT_FALSE(OpenModel(Session, folder));
  EXPECT_EQ(View.Dialogs.size(), 3u);
  // The file is there: its entry is what is wrong, and the message says which key.
  EXPECT_EQ(View.Dialogs[0].Text,
            "Geoid file is not usable: \r\nglobe10\r\n\r\ncatalogue entry \"Small\", key dglo: "
            "0 is no spacing: a spacing lies above 0 and below 360 degrees");
  EXPECT_EQ(View.Dialogs[1].Text,
            "Geoid file is not usable: \r\nglobe10\r\n\r\ncatalogue entry \"Small\", key dgla: "
            "500 is no spacing: a spacing lies above 0 and below 360 degrees");
}

TEST_F(SourceGridTest, PathIsTrimmedOfBlanks) {
  TGeoidModel m = Globe10();
  m.fname += "  \t";
  Session.DataDir = " " + Session.DataDir;
  EXPECT_TRUE(OpenModel(Session, m));
}

// The full 2.5' layout as a sparse file: only the poked nodes are non-zero, and
// each holds its own number.
struct NearestNodeTest : SourceGridTest {
  std::vector<std::pair<int, int>> Poked;
  float Id(int row, int column) const {
    for (std::size_t i = 0; i < Poked.size(); ++i)
      if (Poked[i] == std::pair{row, column}) return static_cast<float>(i + 1);
    return 0;
  }

  void SetUp() override {
    const TGeoidModel m = DefaultGeoidModels()[0];
    const std::string path = Dir.File(m.fname);
    test::WriteSparseFile(path, std::int64_t{4321} * 8642 * 4);
    const auto poke = [&](int row, int column) {
      Poked.emplace_back(row, column);
      test::PokeWord(path, std::int64_t{row} * 8642 + column + 1, Id(row, column));
    };
    for (int column : {0, 1, 2, 3, 4, 120, 7680, 8639}) poke(1308, column);
    poke(0, 0);
    poke(4320, 0);
    ASSERT_TRUE(OpenModel(Session, m));
  }
};

TEST_F(NearestNodeTest, ClampsLatitudesAndShiftsLongitudesOnce) {
  EXPECT_EQ(NearestNode(Session, 90.5, 0), Id(0, 0));
  EXPECT_EQ(NearestNode(Session, -91, 0), Id(4320, 0));
  EXPECT_EQ(NearestNode(Session, -90.000005, 0), Id(4320, 0));
  EXPECT_EQ(NearestNode(Session, 35.5, -0.01), Id(1308, 0));    // column 8640 wraps to 0
  EXPECT_EQ(NearestNode(Session, 35.5, 725), Id(1308, 120));    // 5 degrees
  EXPECT_EQ(NearestNode(Session, 35.5, -400), Id(1308, 7680));  // 320 degrees
  EXPECT_EQ(NearestNode(Session, 35.5, 360), Id(1308, 0));
  EXPECT_EQ(NearestNode(Session, 35.5, -1.0 / 24), Id(1308, 8639));
}

TEST_F(NearestNodeTest, TiesGoToTheEvenNode) {
  EXPECT_EQ(NearestNode(Session, 35.5, 0.0625), Id(1308, 2));
  EXPECT_EQ(NearestNode(Session, 35.5, 0.1875), Id(1308, 4));
}

// Any turn of a longitude is the angle it is; only what is no number reads nothing.
TEST_F(NearestNodeTest, EveryTurnIsTheAngleItIs) {
  for (const double turns : {360.0, -360.0, 720.0, 1e6 - 280})
    EXPECT_EQ(std::bit_cast<std::uint32_t>(NearestNode(Session, 35.5, 280 + turns)),
              std::bit_cast<std::uint32_t>(NearestNode(Session, 35.5, 280)))
        << turns;
  EXPECT_TRUE(std::isnan(NearestNode(Session, 35.5, std::nan(""))));
  EXPECT_TRUE(std::isnan(NearestNode(Session, 35.5, std::numeric_limits<double>::infinity())));
}

}  // namespace
}  // namespace tessmar
