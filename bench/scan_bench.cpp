// The maximum error scan on a generated full-size 2.5' source and 5' custom
// files: the region 20..50 N, 120..150 E at precision 1 and 4, a whole-circle
// file at precision 1, and the same region scan done the plain way (one
// positioned 4-byte read per node, one point after the other, no reuse).
//   build/bin/tessmar-scan-bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "BenchView.hpp"
#include "accuracy/Scan.hpp"
#include "convert/ConvertCommand.hpp"
#include "grid/Interpolation.hpp"
#include "grid/Source.hpp"
#include "grid/WindowSpline.hpp"
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

// The plain way: a node is one positioned read, nothing is reused.
struct TPreadGrid {
  std::int32_t nlat, nlon, ncols, PrePad;
  double north, west, east, dlat;
  double rowFactor, colFactor;
  bool wraps, ShiftsEast;
  int fd;

  TPreadGrid(const TGeoidGrid& g, const std::string& path)
      : nlat(g.nlat),
        nlon(g.nlon),
        ncols(g.ncols),
        PrePad(g.PrePad),
        north(g.north),
        west(g.west),
        east(g.east),
        dlat(g.dlat),
        rowFactor(static_cast<double>(g.RowFactor())),
        colFactor(static_cast<double>(g.ColFactor())),
        wraps(g.Wraps()),
        ShiftsEast(g.ShiftsEast),
        fd(::open(path.c_str(), O_RDONLY)) {}
  ~TPreadGrid() { ::close(fd); }
  double RowPosition(double lat) const { return (north - lat) * rowFactor / 100; }
  double ColPosition(double lon) const { return (lon - west) * colFactor / 100; }
  std::int32_t WrappedColumn(std::int32_t column) const {
    std::int64_t c = column;
    if (wraps) c = c < 0 ? c + nlon : c >= nlon ? c - nlon : c;
    return c < 0 || c >= nlon ? -1 : static_cast<std::int32_t>(c);
  }
  float ReadNode(std::int32_t row, std::int32_t column) const {
    const std::int32_t c = WrappedColumn(column);
    if (row < 0 || row >= nlat || c < 0) return NoValue();
    float v;
    if (::pread(fd, &v, 4, 4 * (static_cast<std::int64_t>(row) * ncols + c + PrePad)) != 4) return NoValue();
    return std::fabs(static_cast<double>(v)) < 200.0 ? v : NoValue();
  }
  // A node at a time, as the grid is meant to be read here.
  void ReadRow(std::int32_t row, const std::int32_t* wrapped, std::size_t count, float* out) const {
    for (std::size_t k = 0; k < count; ++k) out[k] = wrapped[k] < 0 ? NoValue() : ReadNode(row, wrapped[k]);
  }
};

void BM_ScanRegionPlain(benchmark::State& state) {
  TFixture& f = Fixture();
  f.Scan("region", 1.0);  // opens both grids
  const TGeoidModel& m = f.Session.GeoidModels[0];
  const TPreadGrid source(*f.Session.SourceGrid, f.Session.DataDir + m.fname);
  const TPreadGrid custom(*f.Session.CustomGrid, f.Session.DataDir + "region.qdat");
  const TGeoidGrid& c = *f.Session.CustomGrid;
  const double dlats = f.Session.SourceGrid->dlat;
  std::int64_t points = 0;
  double max = -100;
  for (auto _ : state) {
    for (int i = 0; i <= 72; ++i)  // a tenth of the lattice's rows
      for (int j = 0; j <= 720; ++j, ++points) {
        const double lat = (c.north - c.dlat * 3) - dlats * i, lon = (c.west + c.dlon * 3) + dlats * j;
        const double src = TWindowSplineOf<TPreadGrid>(source, MaxWindow)(lat, lon);
        const double cus = static_cast<float>(TWindowSplineOf<TPreadGrid>(custom, MaxWindow)(lat, lon));
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
