// tessmar-grid-to-pgm FOLDER 2.5|1 OUT.pgm: writes the source grid of the default
// catalogue's layout in FOLDER as a GeographicLib geoid PGM (16-bit big-endian
// counts, value = Offset + Scale * count, rows from 90 N to 90 S, columns from
// 0 E), so that bench/peers can time GeoidEval on the very same nodes.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "grid/GeoidGrid.hpp"
#include "grid/Source.hpp"

namespace {
// The offset and scale of the published geoid PGMs: -108 m .. 88.6 m in 3 mm steps.
constexpr double Offset = -108;
constexpr double Scale = 0.003;
}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 || (std::strcmp(argv[2], "2.5") != 0 && std::strcmp(argv[2], "1") != 0)) {
    std::fprintf(stderr, "usage: tessmar-grid-to-pgm FOLDER 2.5|1 OUT.pgm\n");
    return 2;
  }
  const tessmar::TGeoidModel m = tessmar::DefaultGeoidModels()[std::strcmp(argv[2], "1") == 0 ? 1 : 0];
  const std::string source = std::string(argv[1]) + "/" + m.fname;
  const std::unique_ptr<tessmar::TGeoidGrid> opened = tessmar::OpenSourceGrid(std::string(argv[1]) + "/", m);
  if (!opened) {
    std::fprintf(stderr, "cannot open %s\n", source.c_str());
    return 1;
  }
  const tessmar::TGeoidGrid& grid = *opened;
  // The reader takes the width as nodes per 360 degrees and the height as the
  // rows from pole to pole, so the grid must be exactly that.
  if (!grid.Wraps() || m.glamn != -90 || grid.north != 90 || grid.FileSize() < std::int64_t{4} * m.nrows * m.ncols) {
    std::fprintf(stderr, "%s is not a whole-globe grid of its layout\n", source.c_str());
    return 1;
  }

  const std::string path = argv[3];
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  // The reader wants these lines; the error lines describe the published models
  // and mean nothing for a generated grid, so they say so (the reader skips a
  // value it cannot parse).
  out << "P5\n"
         "# Geoid file in PGM format for the GeographicLib::Geoid class\n"
         "# Description Tessmar benchmark grid, "
      << argv[2]
      << "-minute nodes of a generated field\n"
         "# DateTime 2000-01-01 00:00:00\n"
         "# MaxBilinearError unknown\n"
         "# RMSBilinearError unknown\n"
         "# MaxCubicError unknown\n"
         "# RMSCubicError unknown\n"
         "# Offset "
      << Offset << "\n# Scale " << Scale
      << "\n"
         "# Origin 90N 0E\n"
         "# AREA_OR_POINT Point\n"
         "# Vertical_Datum WGS84\n"
      << m.nlon << " " << m.nlat << "\n65535\n";

  std::vector<std::int32_t> columns(static_cast<std::size_t>(m.nlon));
  for (std::int32_t c = 0; c < m.nlon; ++c) columns[static_cast<std::size_t>(c)] = grid.WrappedColumn(c);
  std::vector<float> values(columns.size());
  std::vector<unsigned char> row(2 * columns.size());
  for (std::int32_t r = 0; r < m.nlat; ++r) {
    grid.ReadRow(r, columns.data(), columns.size(), values.data());
    for (std::size_t c = 0; c < values.size(); ++c) {
      const double count = tessmar::RoundToEven((static_cast<double>(values[c]) - Offset) / Scale);
      if (!(count >= 0 && count <= 65535)) {  // also NaN: the format has no "no value"
        std::fprintf(stderr, "node row %d column %zu (%g) does not fit the PGM's range\n", r, c,
                     static_cast<double>(values[c]));
        return 1;
      }
      const auto v = static_cast<std::uint16_t>(count);
      row[2 * c] = static_cast<unsigned char>(v >> 8);
      row[2 * c + 1] = static_cast<unsigned char>(v & 0xFF);
    }
    out.write(reinterpret_cast<const char*>(row.data()), static_cast<std::streamsize>(row.size()));
  }
  out.close();
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    std::remove(path.c_str());
    return 1;
  }
  std::printf("%s\n", path.c_str());
  return 0;
}
