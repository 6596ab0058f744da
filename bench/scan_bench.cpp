// The maximum error scan on a generated full-size 2.5' source and 5' custom
// files: the region 20..50 N, 120..150 E at precision 1 and 4, a whole-circle
// file at precision 1, and a tenth of the same region scan done the plain way
// (one positioned 4-byte read per node, one point after the other, no reuse).
//   build/bin/tessmar-scan-bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "BenchView.hpp"
#include "accuracy/Scan.hpp"
#include "convert/ConvertCommand.hpp"
#include "grid/Interpolation.hpp"
#include "grid/PlainSpline.hpp"
#include "grid/Source.hpp"
#include "session/Grids.hpp"

namespace {

using namespace tessmar;
namespace fs = std::filesystem;

struct TFixture {
  fs::path Dir = fs::temp_directory_path() / "tessmar-scan-bench";
  bench::TBenchView View;
  TSession Session{View};

  TFixture() {
    fs::create_directories(Dir);
    const fs::path bin = fs::canonical("/proc/self/exe").parent_path();
    const std::string make = (bin / "tessmar-make-grid").string() + " " + Dir.string() + " 2.5 >/dev/null";
    if (std::system(make.c_str()) != 0) std::abort();
    Session.DataDir = Dir.string() + "/";
    Convert("region", {20, 120, 50, 150});
    Convert("globe", {-90, 0, 90, 360});
  }
  ~TFixture() {
    CloseSource(Session);
    std::error_code ignored;
    fs::remove_all(Dir, ignored);
  }
  // A custom file of the region at 5'.
  void Convert(const char* name, const TCorners& corners) { ConvertCustomGeoid(Session, {0, name}, {corners, 5}); }
  // Scans the named file at a precision; gives the lattice's point count.
  std::int64_t Scan(const char* name, double precision) {
    const TScanResult r = MaximumErrorScan(Session, {0, name}, precision);
    if (!r.Scanned) std::abort();
    return (r.LastRow + 1) * (r.LastColumn + 1);
  }
};

TFixture& Fixture() {
  static TFixture fixture;
  return fixture;
}

void Scan(benchmark::State& state, const char* name, double precision) {
  std::int64_t points = 0;
  for (auto _ : state) points += Fixture().Scan(name, precision);
  state.SetItemsProcessed(points);
  state.SetLabel("points/s");
}

// The plain way: a node is one positioned 4-byte read, as TGeoidGrid::ReadNode
// reads it from the mapping.
struct TPreadNodes {
  const TGeoidGrid& Grid;
  int fd;

  TPreadNodes(const TGeoidGrid& g, const std::string& path) : Grid(g), fd(::open(path.c_str(), O_RDONLY)) {}
  ~TPreadNodes() { ::close(fd); }
  float operator()(std::int64_t row, std::int64_t column) const {
    if (column < INT32_MIN || column > INT32_MAX) return NoValue();
    const std::int32_t c = Grid.WrappedColumn(static_cast<std::int32_t>(column));
    if (row < 0 || row >= Grid.nlat || c < 0) return NoValue();
    float v;
    if (::pread(fd, &v, 4, 4 * (row * Grid.ncols + c + Grid.PrePad)) != 4) return NoValue();
    return TGeoidGrid::Plausible(v);
  }
};

// One point after the other through the plain statement of the spline
// (tests/grid/PlainSpline.hpp): no window kept, no lanes, no block reads.
void BM_ScanRegionPlain(benchmark::State& state) {
  TFixture& f = Fixture();
  f.Scan("region", 1.0);  // opens both grids
  const TGeoidModel& m = f.Session.GeoidModels[0];
  const TGeoidGrid& s = *f.Session.SourceGrid;
  const TGeoidGrid& c = *f.Session.CustomGrid;
  const TPreadNodes sourceNodes(s, f.Session.DataDir + m.fname), customNodes(c, f.Session.DataDir + "region.qdat");
  const test::TPlainSpline source(s, std::cref(sourceNodes)), custom(c, std::cref(customNodes));
  const double dlats = s.dlat;
  std::int64_t points = 0;
  double max = -100;
  for (auto _ : state) {
    for (int i = 0; i <= 72; ++i)  // a tenth of the lattice's rows
      for (int j = 0; j <= 720; ++j, ++points) {
        const double lat = (c.north - c.dlat * 3) - dlats * i, lon = (c.west + c.dlon * 3) + dlats * j;
        const double src = source(MaxWindow, lat, lon);
        const double cus = static_cast<float>(custom(MaxWindow, lat, lon));
        if (cus - src > max) max = cus - src;
      }
    benchmark::DoNotOptimize(max);
  }
  state.SetItemsProcessed(points);
  state.SetLabel("points/s");
}

BENCHMARK_CAPTURE(Scan, Region_Precision1, "region", 1.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Scan, Region_Precision4, "region", 4.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Scan, WholeCircle_Precision1, "globe", 1.0)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ScanRegionPlain)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
