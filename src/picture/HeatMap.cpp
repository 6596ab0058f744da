#include "picture/HeatMap.hpp"

#include <algorithm>
#include <cmath>

#include "base/Numeric.hpp"
#include "base/Path.hpp"

namespace tessmar {

TRgba DivergingColour(double value, double scale) {
  if (std::isnan(value)) return {};
  if (!(scale > 0)) return White;
  const double t = std::clamp(value / scale, -1.0, 1.0);
  const TRgba& end = t < 0 ? BlueEnd : RedEnd;
  const double f = std::fabs(t);
  const auto mix = [f](std::uint8_t e) {
    return static_cast<std::uint8_t>(RoundToEven(255 + (static_cast<double>(e) - 255) * f));
  };
  return {mix(end.r), mix(end.g), mix(end.b), 255};
}

void THeatMap::Begin(const TScanLattice& lattice) {
  FBegun = true;
  FLattice = lattice;
  FScale = 0;
  FWidth = FHeight = 0;
  FBlock = 1;
  FPixels.clear();
  if (lattice.nr < 0 || lattice.nc < 0) return;
  const std::int64_t longer = std::max(lattice.nr, lattice.nc) + 1;
  const std::int64_t k = (longer + MaxSide - 1) / MaxSide;
  FBlock = k;
  FWidth = static_cast<int>((lattice.nc + k) / k);  // ceil((nc + 1) / k)
  FHeight = static_cast<int>((lattice.nr + k) / k);
  FPixels.assign(static_cast<std::size_t>(FWidth) * FHeight, NoValue());
}

void THeatMap::Row(std::int64_t i, const double* diffs, std::size_t count) {
  if (i < 0 || i > FLattice.nr || FWidth == 0) return;
  float* pixels = &FPixels[static_cast<std::size_t>(i / FBlock) * FWidth];
  const std::size_t points = std::min(count, static_cast<std::size_t>(FLattice.nc + 1));
  const auto k = static_cast<std::size_t>(FBlock);
  // Pixel by pixel, its k points in a run: no division per point. A point
  // replaces the pixel when its magnitude exceeds the stored value's (NaN
  // never does), so the first of equal ones stays, as one point at a time.
  double scale = FScale;
  for (std::size_t start = 0; start < points; start += k) {
    float& pixel = pixels[start / k];
    double best = std::isnan(pixel) ? -1.0 : std::fabs(static_cast<double>(pixel));
    const std::size_t end = std::min(points, start + k);
    for (std::size_t j = start; j < end; ++j) {
      const double magnitude = std::fabs(diffs[j]);
      if (magnitude > scale) scale = magnitude;
      if (magnitude > best) {
        pixel = static_cast<float>(diffs[j]);
        best = std::fabs(static_cast<double>(pixel));
      }
    }
  }
  FScale = scale;
}

TPngText HeatMapText(const THeatMap& heat) {
  const TScanLattice& l = heat.Lattice();
  return {{"Title", "Tessmar heat map: custom - source"},
          {"North", ShortestText(l.North)},
          {"West", ShortestText(l.West)},
          {"DLat", ShortestText(heat.PixelDLat())},
          {"DLon", ShortestText(heat.PixelDLon())},
          {"Block", std::to_string(heat.Block())},
          {"Scale", ShortestText(heat.Scale())}};
}

void WriteHeatMap(const THeatMap& heat, const std::string& path) {
  if (heat.Width() == 0) throw TError("No picture: the scan's lattice has no points: " + path);
  WritePng(path, heat.Width(), heat.Height(), HeatMapText(heat), [&heat](int y, TRgba* row) {
    for (int x = 0; x < heat.Width(); ++x) row[x] = heat.Colour(x, y);
  });
}

std::vector<std::string> HeatMapReport(const THeatMap& heat, const std::string& path) {
  const TScanLattice& l = heat.Lattice();
  const std::string k = std::to_string(heat.Block());
  return {"Heat map: " + path,
          "Heat map size: " + std::to_string(heat.Width()) + " x " + std::to_string(heat.Height()) + " pixels, " + k +
              " x " + k + " points a pixel",
          "Heat map north-west: " + FormatLatLon(l.North, true) + "," + FormatLatLon(l.West, false) +
              "  step: " + FormatFixed(heat.PixelDLat(), 0, 6) + " x " + FormatFixed(heat.PixelDLon(), 0, 6) +
              " degrees  colour ends: blue -" + FormatFixed(heat.Scale(), 0, 3) + " m, red +" +
              FormatFixed(heat.Scale(), 0, 3) + " m"};
}

std::string HeatMapPathFor(const std::string& customPath) {
  return FolderOf(customPath) + BaseName(customPath) + "_error.png";
}

}  // namespace tessmar
