// The map: the selected source model as a shaded relief of its undulations,
// coastlines, a graticule with its degrees, the region of the cut (its
// rectangle with the three-cell margin, or the whole circle), the custom geoid
// file's extent, the scan's heat map with its maximum and minimum, the check
// point as a cross, and a legend in metres for the relief and the heat map.
// Pixels are decided here, without any toolkit: the window shows the image,
// the CLI writes it.
//
// A frame is a plate carree view: the same degrees per pixel across and down,
// row 0 at the top (north), longitudes growing to the right over any turn.
// Pure but for the font's state; one thread.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "accuracy/Scan.hpp"
#include "base/Polyline.hpp"
#include "convert/Conversion.hpp"
#include "grid/GeoidGrid.hpp"
#include "picture/HeatMap.hpp"
#include "picture/Png.hpp"
#include "picture/Text.hpp"

namespace tessmar {

inline constexpr TRgba RegionColour{0, 0, 0, 255}, RegionHalo{255, 255, 255, 255}, CustomColour{200, 0, 160, 255},
    NoDataColour{215, 215, 215, 255}, CoastColour{25, 25, 25, 255};

// A box of latitudes and longitudes, degrees; W > E or E beyond 360 cross 0.
struct TLatLonBox {
  double S, W, N, E;
  bool WholeCircle = false;  // every longitude: only its rows are drawn
};

struct TMapFrame {
  int Width = 0, Height = 0;
  double West = -180, North = 90;  // degrees at the left edge of column 0 and the top of row 0
  double Step = 0.5;               // degrees a pixel, across and down

  // The whole earth, width x width / 2 pixels, from `west`.
  static TMapFrame World(int width, double west = -180);
  // The whole earth in width x height pixels, centred on the equator and on
  // the middle of the earth's width from `west`.
  static TMapFrame World(int width, int height, double west);
  // The pixel position (0 at the left edge) of the turn of `lon` nearest to
  // the frame's centre, and of a latitude.
  double X(double lon) const;
  double Y(double lat) const { return (North - lat) / Step; }
  // The longitude and latitude of a pixel's centre.
  double Lon(int x) const { return West + (x + 0.5) * Step; }
  double Lat(int y) const { return North - (y + 0.5) * Step; }
  double Turn() const { return 360 / Step; }  // pixels of a whole turn of longitude
  friend bool operator==(const TMapFrame&, const TMapFrame&) = default;
};

// A frame of width x height pixels centred on the box, showing it whole with
// room around it (a fifth of its size on each side, a degree at least).
TMapFrame FrameAround(const TLatLonBox& box, int width, int height);
// The height that shows the box and its room at `width` (from width / 4 to
// width * 3 / 2).
int FittingHeight(const TLatLonBox& box, int width);
// Closer by `factor` (below 1: farther) about the pixel (x, y), which stays put;
// moved by (dx, dy) pixels. Never beyond a tenth of a second a pixel or farther
// than the whole earth across the width, the centre within the poles.
TMapFrame Zoomed(const TMapFrame& frame, double x, double y, double factor);
TMapFrame Panned(const TMapFrame& frame, double dx, double dy);

// The model's relief in a frame: its nodes nearest to the pixel centres,
// coloured on a ramp from the lowest to the highest of them and shaded as lit
// from the north-west.
struct TRelief {
  TMapFrame Frame;
  double Low = 0, High = 0;  // metres, of the nodes sampled
  TImage Image;
};
TRelief MakeRelief(const TGeoidGrid& grid, const TMapFrame& frame);
// The relief ramp at a value between low and high, unshaded: the legend's colours.
TRgba ReliefColour(double value, double low, double high);

struct TMapScene {
  const TRelief* Relief = nullptr;  // none, or of another frame: a plain background
  const TPolylines* Coast = nullptr;
  std::optional<TLatLonBox> Region, Custom;
  const THeatMap* Heat = nullptr;  // drawn over its lattice
  std::optional<TScanExtreme> Max, Min;
  std::optional<std::pair<double, double>> Point;  // latitude, longitude
  // The graticule, its labels and the legends; their text needs the font.
  bool Furniture = true;
  TFont* Font = nullptr;
  double TextScale = 1;  // 2 on a display of two pixels a point
};

// -180, or 0 when the region (else the custom extent) is one rectangle only
// in 0 .. 360: the west edge of a whole-earth frame.
double FrameWest(const TMapScene& scene);

// The picture in the frame (at least 16 x 8 pixels).
TImage RenderMap(const TMapScene& scene, const TMapFrame& frame);
// The whole earth, width x width / 2, from FrameWest.
TImage RenderMap(const TMapScene& scene, int width);

// The graticule's spacing, degrees: lines some 70 pixels apart or more.
double GraticuleSpacing(double step);
// A graticule label: "30°N", "140°E", "0°", "180°"; minutes when not whole.
std::string DegreeLabel(double value, bool latitude);

// What the frame shows, as a person reads it off the picture: the latitudes
// of its top and foot (the poles where it reaches beyond them), its
// longitudes, and its scale: "90°N to 90°S, every longitude from 180°,
// 0.3515625 degrees a pixel".
std::string FrameText(const TMapFrame& frame);

// The scene of the inputs of a conversion and a check, before the pictures
// and the scan's results are added: the region a conversion of `plan` would
// cut at `sourceSpacing` (degrees), when its corners read and do not cross; the
// extent of the custom geoid file at `customPath`, when it opens; the point
// (lat, lon) when both are numbers.
TMapScene MapScene(const TConversionPlan& plan, double sourceSpacing, const std::string& customPath, double lat,
                   double lon);

// The coastline data set for a frame: GSHHG's "l" (low) over wide views, "i"
// (intermediate) closer than 0.05 degrees a pixel.
char CoastResolution(const TMapFrame& frame);

}  // namespace tessmar
