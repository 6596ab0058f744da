#include "picture/HeatMap.hpp"

#include <algorithm>
#include <bit>
#include <cmath>

#include "base/CoordText.hpp"
#include "base/Numeric.hpp"
#include "base/Path.hpp"

namespace tessmar {

TRgba DivergingColour(double value, double scale) {
  if (std::isnan(value)) return {};
  if (!(scale > 0)) return White;
  const double ratio = value / scale;  // NaN for an infinite difference on an infinite scale: its end then
  const double t = std::isnan(ratio) ? (value < 0 ? -1.0 : 1.0) : std::clamp(ratio, -1.0, 1.0);
  const TRgba& end = t < 0 ? BlueEnd : RedEnd;
  const double f = std::fabs(t);
  const auto mix = [f](std::uint8_t e) {
    return static_cast<std::uint8_t>(RoundToEven(255 + (static_cast<double>(e) - 255) * f));
  };
  return {mix(end.r), mix(end.g), mix(end.b), 255};
}

std::optional<THeatScale> ReadHeatScale(const std::string& text) {
  using TKind = THeatScale::TKind;
  if (text == "max") return THeatScale{TKind::Max, 0};
  const bool percentile = !text.empty() && text[0] == 'p';
  const std::optional<double> value = ReadNumber(percentile ? std::string_view(text).substr(1) : text);
  if (!value || !(*value > 0) || !std::isfinite(*value) || (percentile && *value > 100)) return std::nullopt;
  return THeatScale{percentile ? TKind::Percentile : TKind::Metres, *value};
}

std::string HeatScaleText(const THeatScale& rule) {
  switch (rule.Kind) {
    case THeatScale::TKind::Max: return "max";
    case THeatScale::TKind::Percentile: return "p" + ShortestText(rule.Value);
    case THeatScale::TKind::Metres: break;
  }
  return ShortestText(rule.Value);
}

double THeatMap::Scale() const {
  if (std::isnan(FScale)) FScale = ScaleByRule();
  return FScale;
}

double THeatMap::ScaleByRule() const {
  switch (FRule.Kind) {
    case THeatScale::TKind::Max: return FMaxMagnitude;
    case THeatScale::TKind::Metres: return FRule.Value;
    case THeatScale::TKind::Percentile: break;
  }
  if (FCounted == 0) return 0;
  // The class in which the point of that rank falls; its upper edge.
  const auto rank = static_cast<std::uint64_t>(std::ceil(FRule.Value / 100 * static_cast<double>(FCounted)));
  std::uint64_t below = 0;
  int c = 0;
  while (c + 1 < Classes && below + FClasses[static_cast<std::size_t>(c)] < rank)
    below += FClasses[static_cast<std::size_t>(c++)];
  const double edge = std::bit_cast<double>(static_cast<std::uint64_t>(FirstClass + c + 1) << ClassShift);
  return std::min(edge, FMaxMagnitude);
}

void THeatMap::Begin(const TScanLattice& lattice) {
  FBegun = true;
  FLattice = lattice;
  FMaxMagnitude = 0;
  FScale = NoValue();
  FClasses.assign(Classes, 0);
  FCounted = 0;
  FLowest = FHighest = NoValue();
  FWidth = FHeight = 0;
  FBlock = 1;
  FPixels.clear();
  if (lattice.LastRow < 0 || lattice.LastColumn < 0) return;
  const std::int64_t longer = std::max(lattice.LastRow, lattice.LastColumn) + 1;
  const std::int64_t k = (longer + MaxSide - 1) / MaxSide;
  FBlock = k;
  FWidth = static_cast<int>((lattice.LastColumn + k) / k);  // ceil((LastColumn + 1) / k)
  FHeight = static_cast<int>((lattice.LastRow + k) / k);
  FPixels.assign(static_cast<std::size_t>(FWidth) * FHeight, NoValue());
}

void THeatMap::Row(std::int64_t i, const double* diffs, std::size_t count) {
  if (i < 0 || i > FLattice.LastRow || FWidth == 0) return;
  float* pixels = &FPixels[static_cast<std::size_t>(i / FBlock) * FWidth];
  const std::size_t points = std::min(count, static_cast<std::size_t>(FLattice.LastColumn + 1));
  const auto k = static_cast<std::size_t>(FBlock);
  // Pixel by pixel, its k points in a run: no division per point. A point
  // replaces the pixel when its magnitude exceeds the stored value's (NaN
  // never does), so the first of equal ones stays, as one point at a time.
  double scale = FMaxMagnitude;
  for (std::size_t start = 0; start < points; start += k) {
    float& pixel = pixels[start / k];
    double best = std::isnan(pixel) ? -1.0 : std::fabs(static_cast<double>(pixel));
    const std::size_t end = std::min(points, start + k);
    for (std::size_t j = start; j < end; ++j) {
      const double magnitude = std::fabs(diffs[j]);
      if (magnitude > scale) scale = magnitude;
      if (std::isfinite(magnitude)) {
        const auto bits = static_cast<std::int64_t>(std::bit_cast<std::uint64_t>(magnitude) >> ClassShift);
        ++FClasses[static_cast<std::size_t>(std::clamp<std::int64_t>(bits - FirstClass, 0, Classes - 1))];
        ++FCounted;
        if (!(diffs[j] >= FLowest)) FLowest = diffs[j];
        if (!(diffs[j] <= FHighest)) FHighest = diffs[j];
      }
      if (magnitude > best) {
        pixel = static_cast<float>(diffs[j]);
        best = std::fabs(static_cast<double>(pixel));
      }
    }
  }
  FMaxMagnitude = scale;
  FScale = NoValue();
}

TPngText HeatMapText(const THeatMap& heat) {
  const TScanLattice& l = heat.Lattice();
  return {{"Title", "Tessmar heat map: custom - source"},
          {"North", ShortestText(l.North)},
          {"West", ShortestText(l.West)},
          {"DLat", ShortestText(heat.PixelDLat())},
          {"DLon", ShortestText(heat.PixelDLon())},
          {"Block", std::to_string(heat.Block())},
          {"Scale", ShortestText(heat.Scale())},
          {"ScaleRule", HeatScaleText(heat.ScaleRule())},
          {"Lowest", ShortestText(heat.Lowest())},
          {"Highest", ShortestText(heat.Highest())}};
}

void WriteHeatMap(const THeatMap& heat, const std::string& path) {
  if (heat.Width() == 0) throw TError("No picture: the scan's lattice has no points: " + path);
  WritePng(path, heat.Width(), heat.Height(), HeatMapText(heat), [&heat](int y, TRgba* row) {
    for (int x = 0; x < heat.Width(); ++x) row[x] = heat.Colour(x, y);
  });
}

std::string HeatScaleDescription(const THeatScale& rule) {
  switch (rule.Kind) {
    case THeatScale::TKind::Max: return "the largest |difference|";
    case THeatScale::TKind::Percentile: return "the " + ShortestText(rule.Value) + "th percentile of |difference|";
    case THeatScale::TKind::Metres: break;
  }
  return ShortestText(rule.Value) + " m, as asked";
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
              FormatFixed(heat.Scale(), 0, 3) + " m",
          "Heat map scale: " + HeatScaleDescription(heat.ScaleRule()) + "; differences from " +
              FormatFixed(heat.Lowest(), 0, 3) + " to " + FormatFixed(heat.Highest(), 0, 3) +
              " m, those beyond the ends in the end colours"};
}

std::string HeatMapPathFor(const std::string& customPath) {
  return FolderOf(customPath) + BaseName(customPath) + "_error.png";
}

}  // namespace tessmar
