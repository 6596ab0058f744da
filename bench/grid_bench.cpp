// Node access and interpolation on a full-size 2.5' layout (4321 x 8642 words),
// generated in the temporary folder at start and removed at exit.
//   build/bin/tessmar-bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <vector>

#include "BenchView.hpp"
#include "grid/Interpolation.hpp"
#include "grid/Source.hpp"
#include "session/Grids.hpp"

namespace {

using namespace tessmar;

// A smooth undulation-like field, so the spline does real work.
float Undulation(int row, int column) {
  return static_cast<float>(30 * std::sin(row * 0.002) * std::cos(column * 0.003) + 5 * std::sin(column * 0.05));
}

struct TFixture {
  std::filesystem::path Dir = std::filesystem::temp_directory_path() / "tessmar-bench";
  bench::TBenchView View;
  TSession Session{View};

  TFixture() {
    std::filesystem::create_directories(Dir);
    const TGeoidModel m = DefaultGeoidModels()[0];
    const auto path = Dir / m.fname;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::vector<float> record(static_cast<std::size_t>(m.ncols));
    for (int r = 0; r < m.nrows; ++r) {
      record.front() = record.back() = std::bit_cast<float>(static_cast<std::uint32_t>(m.nlon * 4));
      for (int c = 0; c < m.nlon; ++c) record[static_cast<std::size_t>(c + 1)] = Undulation(r, c);
      out.write(reinterpret_cast<const char*>(record.data()), static_cast<std::streamsize>(record.size() * 4));
    }
    out.close();
    Session.DataDir = Dir.string() + "/";
    if (!OpenModel(Session, m)) std::abort();
  }
  ~TFixture() {
    CloseSource(Session);
    std::error_code ignored;
    std::filesystem::remove_all(Dir, ignored);
  }
};

TFixture& Fixture() {
  static TFixture fixture;
  return fixture;
}

void BM_ReadNodeSequential(benchmark::State& state) {
  const TGeoidGrid& g = *Fixture().Session.SourceGrid;
  double sum = 0;
  for (auto _ : state) {
    for (int r = 0; r < g.nlat; ++r)
      for (int c = 0; c < g.nlon; ++c) sum += g.ReadNode(r, c);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * std::int64_t{g.nlat} * g.nlon);
  state.SetLabel("nodes/s");
}

void BM_ReadNodeRandom(benchmark::State& state) {
  const TGeoidGrid& g = *Fixture().Session.SourceGrid;
  std::mt19937 random(1);
  std::vector<std::pair<int, int>> nodes(1 << 20);
  for (auto& n : nodes) n = {static_cast<int>(random() % 4321), static_cast<int>(random() % 8640)};
  double sum = 0;
  for (auto _ : state) {
    for (const auto& [r, c] : nodes) sum += g.ReadNode(r, c);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(nodes.size()));
  state.SetLabel("nodes/s");
}

void BM_SourceValueRandom(benchmark::State& state) {
  const TSession& session = Fixture().Session;
  std::mt19937 random(2);
  std::uniform_real_distribution<double> lat(-85, 85), lon(0, 360);
  std::vector<std::pair<double, double>> points(1 << 18);
  for (auto& p : points) p = {lat(random), lon(random)};
  double sum = 0;
  for (auto _ : state) {
    for (const auto& [la, lo] : points) sum += SourceValue(session, la, lo);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(points.size()));
  state.SetLabel("points/s");
}

BENCHMARK(BM_ReadNodeSequential)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadNodeRandom)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SourceValueRandom)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
