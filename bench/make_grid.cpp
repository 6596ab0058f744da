// tessmar-make-grid FOLDER 2.5|1: writes a full-size source grid of the default
// catalogue's layout into FOLDER, with a smooth undulation-like field, for the
// benchmarks. The published grids are too large to keep with the sources.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "grid/GeoidGrid.hpp"

int main(int argc, char** argv) {
  if (argc != 3 || (std::strcmp(argv[2], "2.5") != 0 && std::strcmp(argv[2], "1") != 0)) {
    std::fprintf(stderr, "usage: tessmar-make-grid FOLDER 2.5|1\n");
    return 2;
  }
  const tessmar::TGeoidModel m = tessmar::DefaultGeoidModels()[std::strcmp(argv[2], "1") == 0 ? 1 : 0];
  const std::string path = std::string(argv[1]) + "/" + m.fname;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  std::vector<float> record(static_cast<std::size_t>(m.ncols));
  const float marker = std::bit_cast<float>(static_cast<std::uint32_t>(m.nlon * 4));
  for (int r = 0; r < m.nrows; ++r) {
    record.front() = record.back() = marker;
    const double lat = r * m.dgla;
    for (int c = 0; c < m.nlon; ++c) {
      const double lon = c * m.dglo;
      // Long waves and short ones, so that a coarser grid departs from it.
      record[static_cast<std::size_t>(c + 1)] =
          static_cast<float>(30 * std::sin(lat * 0.05) * std::cos(lon * 0.07) + 5 * std::sin(lon * 1.3) +
                             std::sin(r * 0.9) * std::cos(c * 1.1));
    }
    out.write(reinterpret_cast<const char*>(record.data()), static_cast<std::streamsize>(record.size() * 4));
  }
  out.close();
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return 1;
  }
  std::printf("%s\n", path.c_str());
  return 0;
}
