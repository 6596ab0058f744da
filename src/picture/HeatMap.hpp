// The scan's errors as a picture: one pixel per lattice point, row 0 the scan's
// first (northern) row, column 0 its first (western) point, while the longer
// side has at most MaxSide points; beyond that each pixel stands for a block of
// k x k points (the smallest k that fits) and shows the difference of largest
// magnitude in it (the first of equal ones), so no extreme is lost. Only the
// pixels are kept, never the lattice. Colours: a ramp symmetric about zero up
// to the largest |difference|, blue below, white at zero, red above; a pixel
// without any value is fully transparent. One thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "accuracy/Scan.hpp"
#include "picture/Png.hpp"

namespace tessmar {

// The ramp: value / scale from -1 (BlueEnd) through 0 (white) to +1 (RedEnd),
// each channel rounded to the nearest integer; a scale of 0 is all white.
inline constexpr TRgba RedEnd{178, 24, 43, 255}, BlueEnd{33, 102, 172, 255}, White{255, 255, 255, 255};
TRgba DivergingColour(double value, double scale);

class THeatMap : public TScanRowSink {
 public:
  static constexpr int MaxSide = 4096;

  void Begin(const TScanLattice& lattice) override;
  void Row(std::int64_t i, const double* diffs, std::size_t count) override;

  bool Begun() const { return FBegun; }
  const TScanLattice& Lattice() const { return FLattice; }
  int Width() const { return FWidth; }  // 0 when the lattice has no points
  int Height() const { return FHeight; }
  std::int64_t Block() const { return FBlock; }  // k: points per pixel side
  // The pixel's difference of largest magnitude (metres), NaN when none.
  float Value(int x, int y) const { return FPixels[static_cast<std::size_t>(y) * FWidth + x]; }
  // The largest |difference| of all points: metres at each end of the ramp.
  double Scale() const { return FScale; }
  TRgba Colour(int x, int y) const { return DivergingColour(Value(x, y), FScale); }
  // Degrees between neighbouring pixels' first points.
  double PixelDLat() const { return FLattice.DLat * static_cast<double>(FBlock); }
  double PixelDLon() const { return FLattice.DLon * static_cast<double>(FBlock); }

 private:
  bool FBegun = false;
  TScanLattice FLattice{};
  int FWidth = 0, FHeight = 0;
  std::int64_t FBlock = 1;
  double FScale = 0;
  std::vector<float> FPixels;
};

// The PNG text chunks of the geometry: North, West (the north-west lattice
// point, degrees), DLat, DLon (degrees between pixels), Block (points per pixel
// side), Scale (metres at each colour end).
TPngText HeatMapText(const THeatMap& heat);

// Writes the picture; throws TError as WritePng does, and for a lattice
// without points.
void WriteHeatMap(const THeatMap& heat, const std::string& path);

// The lines that report a written picture and its geometry.
std::vector<std::string> HeatMapReport(const THeatMap& heat, const std::string& path);

// The picture of a scan is shown and written only when the scan was complete
// and its lattice had points: a part of one would pass for the whole.
inline bool HeatMapComplete(const TScanResult& scan, const THeatMap& heat) {
  return scan.Outcome == TScanOutcome::Done && heat.Width() > 0;
}

// The picture written beside a custom geoid file: NAME_error.png.
std::string HeatMapPathFor(const std::string& customPath);

}  // namespace tessmar
