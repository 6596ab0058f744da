// The map: the selected source model as a shaded relief of its undulations,
// the region of the cut (its rectangle with the three-cell margin, or the
// whole circle), the custom geoid file's extent, the scan's heat map with its
// maximum and minimum, and the check point as a cross. Pixels are decided
// here, without any toolkit: the window shows the image, the CLI writes it.
//
// The frame is the whole earth, width x width / 2 pixels, latitudes 90 (row 0)
// to -90, longitudes from West (-180, or 0 when the region is one rectangle
// only there, as a region across 180 is) over 360 degrees. Pure; one thread.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "accuracy/Scan.hpp"
#include "convert/Conversion.hpp"
#include "grid/GeoidGrid.hpp"
#include "picture/HeatMap.hpp"
#include "picture/Png.hpp"

namespace tessmar {

inline constexpr TRgba RegionColour{0, 0, 0, 255}, RegionHalo{255, 255, 255, 255}, CustomColour{200, 0, 160, 255},
    NoDataColour{215, 215, 215, 255};

struct TMapFrame {
  int Width = 0, Height = 0;
  double West = -180;

  TMapFrame(int width, double west) : Width(width), Height(width / 2), West(west) {}
  // The pixel column of a longitude (any turn of it) and the row of a
  // latitude. An east edge that falls on the frame's own edge is the last
  // column, not the first.
  int Column(double lon, bool eastEdge = false) const;
  int Row(double lat) const;
  // The longitude and latitude of a pixel's centre.
  double Lon(int x) const { return West + (x + 0.5) * 360.0 / Width; }
  double Lat(int y) const { return 90 - (y + 0.5) * 180.0 / Height; }
};

// A box of latitudes and longitudes, degrees; W > E or E beyond 360 cross 0.
struct TLatLonBox {
  double S, W, N, E;
  bool WholeCircle = false;  // every longitude: only its rows are drawn
};

// The model's relief in one frame: its nodes nearest to the pixel centres
// (a pass over every (grid / pixels)-th node only), coloured on a ramp from
// the lowest to the highest of them and shaded as lit from the north-west.
struct TRelief {
  int Width = 0;
  double West = -180;
  double Low = 0, High = 0;  // metres, of the nodes sampled
  TImage Image;
};
TRelief MakeRelief(const TGeoidGrid& grid, int width, double west);

struct TMapScene {
  const TRelief* Relief = nullptr;  // none: a plain background
  std::optional<TLatLonBox> Region, Custom;
  const THeatMap* Heat = nullptr;  // drawn over its lattice
  std::optional<TScanExtreme> Max, Min;
  std::optional<std::pair<double, double>> Point;  // latitude, longitude
};

// -180, or 0 when the region (else the custom extent) is one rectangle only
// in 0 .. 360.
double FrameWest(const TMapScene& scene);

// The picture, width x width / 2 (width at least 16); the relief, when given,
// must be of that width and frame.
TImage RenderMap(const TMapScene& scene, int width);

// What the inputs of a conversion and a check add to a scene: the region a
// conversion of `plan` would cut at `sourceSpacing` (degrees), when its corners
// read and do not cross; the extent of the custom geoid file at
// `customPath`, when it opens; the point (lat, lon) when both are numbers.
struct TMapInputs {
  std::optional<TLatLonBox> Region, Custom;
  std::optional<std::pair<double, double>> Point;
};
TMapInputs MapInputs(const TConversionPlan& plan, double sourceSpacing, const std::string& customPath, double lat,
                     double lon);

}  // namespace tessmar
