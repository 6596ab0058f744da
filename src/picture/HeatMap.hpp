// The scan's errors as a picture: one pixel per lattice point, row 0 the scan's
// first (northern) row, column 0 its first (western) point, while the longer
// side has at most MaxSide points; beyond that each pixel stands for a block of
// k x k points (the smallest k that fits) and shows the difference of largest
// magnitude in it (the first of equal ones), so no extreme is lost. Only the
// pixels are kept, never the lattice. Colours: a ramp symmetric about zero up
// to the scale (by default the 99.5th percentile of |difference|, so the
// typical error shows and the rare larger ones take the end colours), blue
// below, white at zero, red above; a pixel without any value is fully
// transparent. One thread.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "accuracy/Scan.hpp"
#include "base/Numeric.hpp"
#include "picture/Png.hpp"

namespace tessmar {

// The ramp: value / scale from -1 (BlueEnd) through 0 (white) to +1 (RedEnd),
// each channel rounded to the nearest integer; a scale of 0 is all white.
inline constexpr TRgba RedEnd{178, 24, 43, 255}, BlueEnd{33, 102, 172, 255}, White{255, 255, 255, 255};
TRgba DivergingColour(double value, double scale);

// What the ramp's ends stand for: the largest |difference|, a percentile of
// |difference| (above 0, at most 100) or a number of metres (above 0).
struct THeatScale {
  enum class TKind : std::uint8_t { Max, Percentile, Metres };
  TKind Kind = TKind::Percentile;
  double Value = 99.5;  // the percentile or the metres; unused for Max
};
// "max", "p" and a percentile ("p99.5"), or metres ("0.05"); none for another text.
std::optional<THeatScale> ReadHeatScale(const std::string& text);
// The rule as ReadHeatScale reads it back: "max", "p99.5", "0.05".
std::string HeatScaleText(const THeatScale& rule);

class THeatMap : public TScanRowSink {
 public:
  static constexpr int MaxSide = 4096;

  explicit THeatMap(THeatScale rule = {}) : FRule(rule) {}

  void Begin(const TScanLattice& lattice) override;
  void Row(std::int64_t i, const double* diffs, std::size_t count) override;

  bool Begun() const { return FBegun; }
  const TScanLattice& Lattice() const { return FLattice; }
  int Width() const { return FWidth; }  // 0 when the lattice has no points
  int Height() const { return FHeight; }
  std::int64_t Block() const { return FBlock; }  // k: points per pixel side
  // The pixel's difference of largest magnitude (metres), NaN when none.
  float Value(int x, int y) const { return FPixels[static_cast<std::size_t>(y) * FWidth + x]; }
  // Metres at each end of the ramp, by the rule: a percentile is the upper
  // edge of the |difference| class it falls in (classes 1/128 of an octave
  // wide, so within 0.6 %), never above the largest.
  double Scale() const;
  const THeatScale& ScaleRule() const { return FRule; }
  double MaxMagnitude() const { return FMaxMagnitude; }  // the largest |difference|
  // The most negative and the largest difference (metres); NaN before any.
  double Lowest() const { return FLowest; }
  double Highest() const { return FHighest; }
  TRgba Colour(int x, int y) const { return DivergingColour(Value(x, y), Scale()); }
  // Degrees between neighbouring pixels' first points.
  double PixelDLat() const { return FLattice.DLat * static_cast<double>(FBlock); }
  double PixelDLon() const { return FLattice.DLon * static_cast<double>(FBlock); }

 private:
  // |difference| classes by the top bits of the double: 128 a binary octave
  // from 2^-40 m to 2^24 m, smaller ones in the first, larger in the last.
  static constexpr int ClassShift = 45, FirstClass = (1023 - 40) << 7, Classes = 64 << 7;

  double ScaleByRule() const;

  THeatScale FRule;
  std::vector<std::uint64_t> FClasses;
  std::uint64_t FCounted = 0;
  double FLowest = NoValue(), FHighest = NoValue();
  bool FBegun = false;
  TScanLattice FLattice{};
  int FWidth = 0, FHeight = 0;
  std::int64_t FBlock = 1;
  double FMaxMagnitude = 0;
  mutable double FScale = NoValue();  // Scale(), once asked, until the next row
  std::vector<float> FPixels;
};

// The PNG text chunks of the geometry: North, West (the north-west lattice
// point, degrees), DLat, DLon (degrees between pixels), Block (points per pixel
// side), Scale (metres at each colour end), ScaleRule (what Scale is, as
// HeatScaleText writes it), Lowest and Highest (the extreme differences, metres).
TPngText HeatMapText(const THeatMap& heat);

// Writes the picture; throws TError as WritePng does, and for a lattice
// without points.
void WriteHeatMap(const THeatMap& heat, const std::string& path);

// What the scale stands for, in words: "the 99.5th percentile of |difference|".
std::string HeatScaleDescription(const THeatScale& rule);

// The lines that report a written picture, its geometry and its scale.
std::vector<std::string> HeatMapReport(const THeatMap& heat, const std::string& path);

// The picture of a scan is shown and written only when the scan was complete
// and its lattice had points: a part of one would pass for the whole.
inline bool HeatMapComplete(const TScanResult& scan, const THeatMap& heat) {
  return scan.Outcome == TScanOutcome::Done && heat.Width() > 0;
}

// The picture written beside a custom geoid file: NAME_error.png.
std::string HeatMapPathFor(const std::string& customPath);

}  // namespace tessmar
