// The custom geoid file: the input is the whole file. When it opens, every node
// it can hold reads back what the file stores (or NaN), values at points taken
// from the input and from the grid's corners come without fault, the export
// writes exactly its nodes, and a maximum error scan runs over it against a
// small 5-degree source grid.

#include <cmath>

#include "FuzzSupport.hpp"
#include "accuracy/Scan.hpp"
#include "grid/Check.hpp"
#include "grid/Gtx.hpp"
#include "grid/Interpolation.hpp"
#include "grid/Source.hpp"
#include "grid/WindowSpline.hpp"

using namespace tessmar;

namespace {

struct TWorld {
  test::TRecorderView View;
  TSession Session{View};
  std::string Path;
  TWorld() {
    Session.DataDir = fuzz::Scratch().Path();
    TGeoidModel& m = Session.GeoidModels[0];
    m = test::SmallModel("source5", 5, -90, 0, 37, 72);
    test::WriteSourceGrid(fuzz::Scratch().File(m.fname), m,
                          [](int r, int c) { return static_cast<float>(r) * 0.75f - static_cast<float>(c) * 0.25f; });
    Path = fuzz::Scratch().File("area.qdat");
  }
};

TWorld& World() {
  static TWorld* world = new TWorld;
  return *world;
}

// The value the file stores for a node, as a read must give it.
float Stored(const std::uint8_t* data, std::int64_t word) {
  const float value = LoadLittle<float>(data + 4 * word);
  return std::fabs(static_cast<double>(value)) < 200.0 ? value : NoValue();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  World();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TWorld& world = World();
  fuzz::WriteInput("area.qdat", data, size);
  TCustomOpen opened = OpenCustomGrid(world.Path);
  if (!opened.Grid) return 0;
  const TGeoidGrid& g = *opened.Grid;
  FUZZ_CHECK(size >= static_cast<std::size_t>(CustomTrailerSize) && size < (std::size_t{1} << 31));
  FUZZ_CHECK(std::int64_t{g.nlat} * g.nlon * 4 + CustomTrailerSize == static_cast<std::int64_t>(size));

  // Every node, by ReadNode, ReadRow and ReadRun, against the bytes. A
  // count alone may be large: no row buffer where there are no rows, and no
  // walk down rows that hold no node.
  std::vector<std::int32_t> columns(g.nlat > 0 ? static_cast<std::size_t>(g.nlon) : 0);
  std::vector<float> row(columns.size()), run(columns.size());
  for (std::size_t c = 0; c < columns.size(); ++c) columns[c] = g.WrappedColumn(static_cast<std::int32_t>(c));
  const std::int32_t rows = g.nlon > 0 ? g.nlat : 0;
  for (std::int32_t r = 0; r < rows; ++r) {
    g.ReadRow(r, columns.data(), columns.size(), row.data());
    g.ReadRun(r, 0, run.size(), run.data());
    for (std::int32_t c = 0; c < g.nlon; ++c) {
      const float expected = Stored(data, std::int64_t{r} * g.nlon + c);
      FUZZ_CHECK(fuzz::SameBits(g.ReadNode(r, c), expected));
      FUZZ_CHECK(fuzz::SameBits(row[static_cast<std::size_t>(c)], expected));
      FUZZ_CHECK(fuzz::SameBits(run[static_cast<std::size_t>(c)], expected));
    }
  }
  FUZZ_CHECK(std::isnan(g.ReadNode(g.nlat, 0)) && std::isnan(g.ReadNode(-1, 0)));

  // Points from the input (its first 32 bytes), at the corners and one spacing beyond.
  const fuzz::TInput in(data, size);
  const double points[][2] = {{in.At<double>(0), in.At<double>(8)},
                              {in.At<double>(16), in.At<double>(24)},
                              {g.north, g.west},
                              {g.south, g.east - g.dlon},
                              {(g.north + g.south) / 2, (g.west + g.east) / 2},
                              {g.north + g.dlat, g.west - g.dlon},
                              {g.south - g.dlat, g.east}};
  TWindowSpline spline(g, MaxWindow);
  for (const auto& [lat, lon] : points) {
    const float nearest = NearestNode(g, lat, lon);
    FUZZ_CHECK(std::isnan(nearest) || std::fabs(nearest) < 200);
    const double value = WindowSpline(g, MaxWindow, lat, lon);
    FUZZ_CHECK(fuzz::SameValue(spline(lat, lon), value));  // the kept window gives what a fresh one does
    (void)CustomValue(&g, lat, lon);
    (void)BilinearValue(g, g.RowPosition(ClampLatitude(lat)), g.ColPosition(g.GridLongitude(lon)));
  }

  // The export writes the header and every node, nothing more.
  const std::int64_t written = ExportGtx(g, fuzz::Scratch().File("area.gtx"), true);
  FUZZ_CHECK(written == GtxHeaderSize + std::int64_t{g.nlat} * g.nlon * 4);
  opened.Grid.reset();

  // The scan opens the same file itself.
  world.View.Dialogs.clear();
  const TScanResult scan = MaximumErrorScan(world.Session, {0, "area"}, 1.0);
  FUZZ_CHECK(scan.Outcome == TScanOutcome::Done || scan.Outcome == TScanOutcome::Unnecessary);
  world.Session.CustomGrid.reset();
  world.Session.SourceGrid.reset();
  return 0;
}
