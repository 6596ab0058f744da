#include "formats/Coastline.hpp"

#include <cstdint>
#include <string>
#include <vector>

#include "base/Error.hpp"
#include "base/Path.hpp"
#include "base/Platform.hpp"
#include "formats/Gdal.hpp"

namespace tessmar {

namespace {
// Where the program's package put the binned files (Windows), else where
// Debian (and other systems' packages) put them.
std::vector<std::string> CoastFolders() {
  if (const std::string bundled = BundledDataRoot(); !bundled.empty()) return {AsFolder(bundled + "gmt-gshhg")};
  return {"/usr/share/gmt-gshhg/", "/usr/share/gshhg-gmt-nc4/", "/usr/local/share/gmt-gshhg/", "/usr/share/gmt/coast/"};
}

// A segment's word: its point count above bit 9, its level in bits 6..8.
constexpr int PointsShift = 9, LevelShift = 6;
// Level 1 is the shore of the land, 2 of a lake; the Antarctic flag 2 marks
// the grounding line, drawn in place of the ice front only on request.
constexpr int MaxLevel = 2, GroundingLine = 2;
}  // namespace

std::string FindCoastlineFile(char resolution) {
  for (const std::string& folder : CoastFolders()) {
    const std::string path = folder + "binned_GSHHS_" + resolution + ".nc";
    if (FileExists(path)) return path;
  }
  return {};
}

TPolylines ReadCoastlines(const std::string& path) {
  TGdalErrors errors;
  const std::string failed = "Cannot read the coastlines " + path;
  GDALDatasetUniquePtr file(
      GDALDataset::Open(path.c_str(), GDAL_OF_MULTIDIM_RASTER | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR));
  if (!file) throw TError(failed + TGdalErrors::Why());
  const std::shared_ptr<GDALGroup> root = file->GetRootGroup();
  if (!root) throw TError(failed + ": it holds no variables");
  const auto read = [&](const char* name) {
    const std::shared_ptr<GDALMDArray> array = root->OpenMDArray(name);
    if (!array || array->GetDimensionCount() != 1) throw TError(failed + ": no variable " + name);
    const GUInt64 count = array->GetTotalElementsCount();
    if (count > (1u << 28)) throw TError(failed + ": " + name + " is too long");
    std::vector<std::int32_t> values(static_cast<std::size_t>(count));
    const GUInt64 start = 0;
    const std::size_t n = values.size();
    if (n && !array->Read(&start, &n, nullptr, nullptr, GDALExtendedDataType::Create(GDT_Int32), values.data()))
      throw TError(failed + TGdalErrors::Why());
    return values;
  };
  const auto scalar = [&](const char* name) {
    const std::vector<std::int32_t> v = read(name);
    if (v.size() != 1) throw TError(failed + ": " + name + " is no number");
    return v[0];
  };
  const std::int32_t binMinutes = scalar("Bin_size_in_minutes"), nx = scalar("N_bins_in_360_longitude_range"),
                     ny = scalar("N_bins_in_180_degree_latitude_range");
  const std::vector<std::int32_t> firstSegment = read("Id_of_first_segment_in_a_bin"),
                                  segments = read("N_segments_in_a_bin"),
                                  info = read("Embedded_npts_levels_exit_entry_for_a_segment"),
                                  firstPoint = read("Id_of_first_point_in_a_segment"), ant = read("Embedded_ANT_flag"),
                                  dx = read("Relative_longitude_from_SW_corner_of_bin"),
                                  dy = read("Relative_latitude_from_SW_corner_of_bin");
  const double binSize = binMinutes / 60.0;
  if (binMinutes <= 0 || nx <= 0 || ny <= 0 || static_cast<std::int64_t>(nx) * binMinutes != 21600 ||
      static_cast<std::int64_t>(ny) * binMinutes != 10800 || firstSegment.size() != std::size_t(nx) * ny ||
      segments.size() != firstSegment.size() || firstPoint.size() != info.size() || ant.size() != info.size() ||
      dy.size() != dx.size())
    throw TError(failed + ": its bins do not fit together");
  // Relative coordinates are unsigned 16-bit fractions of the bin.
  const double scale = binSize / 65535;
  TPolylines lines;
  for (std::size_t b = 0; b < firstSegment.size(); ++b) {
    const double west = static_cast<double>(b % nx) * binSize, south = 90 - static_cast<double>(b / nx + 1) * binSize;
    const std::int64_t first = firstSegment[b], count = segments[b];
    if (first < 0 || count < 0 || first + count > static_cast<std::int64_t>(info.size()))
      throw TError(failed + ": a bin's segments lie outside the file");
    for (std::int64_t s = first; s < first + count; ++s) {
      const auto word = static_cast<std::uint32_t>(info[s]);
      const std::int64_t points = word >> PointsShift, start = firstPoint[s];
      const int level = static_cast<int>((word >> LevelShift) & 7);
      if (start < 0 || start + points > static_cast<std::int64_t>(dx.size()))
        throw TError(failed + ": a segment's points lie outside the file");
      if (level < 1 || level > MaxLevel || ant[s] == GroundingLine || points < 2) continue;
      TPolyline& line = lines.emplace_back();
      line.reserve(static_cast<std::size_t>(points));
      for (std::int64_t p = start; p < start + points; ++p)
        line.push_back({static_cast<float>(west + static_cast<std::uint16_t>(dx[p]) * scale),
                        static_cast<float>(south + static_cast<std::uint16_t>(dy[p]) * scale)});
    }
  }
  return lines;
}

}  // namespace tessmar
