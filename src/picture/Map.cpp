#include "picture/Map.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "base/Path.hpp"
#include "convert/Conversion.hpp"
#include "grid/Check.hpp"
#include "grid/Circle.hpp"
#include "grid/Source.hpp"

namespace tessmar {

namespace {
// Degrees east of `west`, in 0 .. 360 (an east edge in (0 .. 360]).
double Offset(double lon, double west, bool eastEdge) {
  double d = AngleInCircle(lon - west);
  if (eastEdge && d == 0) d = 360;
  return d;
}

int ClampTo(double v, int size) { return static_cast<int>(std::clamp(std::floor(v), 0.0, size - 1.0)); }

// A box is one rectangle in a frame when its west edge lies west of its east edge there.
bool OneRectangle(const TLatLonBox& box, double west) {
  return box.WholeCircle || Offset(box.W, west, false) <= Offset(box.E, west, true);
}

TRgba Mix(const TRgba& a, const TRgba& b, double t) {
  const auto m = [t](std::uint8_t x, std::uint8_t y) {
    return static_cast<std::uint8_t>(std::lround(x + (static_cast<double>(y) - x) * t));
  };
  return {m(a.r, b.r), m(a.g, b.g), m(a.b, b.b), 255};
}

// Low (0) to high (1): deep water to pale sand, muted so the heat map and the
// drawing stand out.
TRgba ReliefRamp(double t) {
  static constexpr std::array<std::pair<double, TRgba>, 5> stops = {{{0.0, {40, 70, 92, 255}},
                                                                     {0.3, {78, 128, 128, 255}},
                                                                     {0.5, {146, 172, 138, 255}},
                                                                     {0.7, {208, 194, 140, 255}},
                                                                     {1.0, {242, 236, 222, 255}}}};
  t = std::clamp(t, 0.0, 1.0);
  for (std::size_t k = 1; k < stops.size(); ++k)
    if (t <= stops[k].first)
      return Mix(stops[k - 1].second, stops[k].second,
                 (t - stops[k - 1].first) / (stops[k].first - stops[k - 1].first));
  return stops.back().second;
}

TRgba Shade(const TRgba& c, double s) {
  const auto m = [s](std::uint8_t x) { return static_cast<std::uint8_t>(std::clamp(std::lround(x * s), 0L, 255L)); };
  return {m(c.r), m(c.g), m(c.b), 255};
}

void Put(TImage& image, int x, int y, const TRgba& colour) {
  if (image.Contains(x, y)) image.At(x, y) = colour;
}

void HorizontalLine(TImage& image, int y, int x0, int x1, const TRgba& colour) {
  for (int x = x0; x <= x1; ++x) Put(image, x, y, colour);
}

void VerticalLine(TImage& image, int x, int y0, int y1, const TRgba& colour) {
  for (int y = y0; y <= y1; ++y) Put(image, x, y, colour);
}

// The box's outline on its edge pixels, `inset` pixels inside them.
void DrawBox(TImage& image, const TMapFrame& frame, const TLatLonBox& box, const TRgba& colour, int inset) {
  const int yN = frame.Row(box.N) + inset, yS = frame.Row(box.S) - inset;
  if (yN > yS) return;
  if (box.WholeCircle) {
    HorizontalLine(image, yN, 0, frame.Width - 1, colour);
    HorizontalLine(image, yS, 0, frame.Width - 1, colour);
    return;
  }
  const int xW = frame.Column(box.W) + inset, xE = frame.Column(box.E, true) - inset;
  if (Offset(box.W, frame.West, false) <= Offset(box.E, frame.West, true)) {
    if (xW > xE) return;
    HorizontalLine(image, yN, xW, xE, colour);
    HorizontalLine(image, yS, xW, xE, colour);
  } else {  // across the frame's edge: two pieces, no line at the edge
    for (int y : {yN, yS}) {
      HorizontalLine(image, y, xW, frame.Width - 1, colour);
      HorizontalLine(image, y, 0, xE, colour);
    }
  }
  VerticalLine(image, xW, yN, yS, colour);
  VerticalLine(image, xE, yN, yS, colour);
}

// The heat map's values at the map's pixels: the lattice point nearest to each
// pixel's centre, and, where pixels are larger than the heat map's, the value
// of largest magnitude among those whose first point falls in it.
void DrawHeat(TImage& image, const TMapFrame& frame, const THeatMap& heat) {
  if (heat.Width() == 0) return;
  const TScanLattice& l = heat.Lattice();
  const std::int64_t k = heat.Block();
  std::vector<float> values(static_cast<std::size_t>(image.Width) * image.Height, NoValue());
  const auto keep = [&](int x, int y, float v) {
    float& to = values[static_cast<std::size_t>(y) * image.Width + x];
    if (!std::isnan(v) && (std::isnan(to) || std::fabs(v) > std::fabs(to))) to = v;
  };
  for (int y = 0; y < image.Height; ++y) {
    const double i = std::round((l.North - frame.Lat(y)) / l.DLat);
    if (i < 0 || i > static_cast<double>(l.nr)) continue;
    for (int x = 0; x < image.Width; ++x) {
      const double d = AngleInCircle(frame.Lon(x) - l.West + l.DLon / 2);
      const double j = std::round((d - l.DLon / 2) / l.DLon);
      if (j < 0 || j > static_cast<double>(l.nc)) continue;
      keep(x, y,
           heat.Value(static_cast<int>(static_cast<std::int64_t>(j) / k),
                      static_cast<int>(static_cast<std::int64_t>(i) / k)));
    }
  }
  for (int hy = 0; hy < heat.Height(); ++hy)
    for (int hx = 0; hx < heat.Width(); ++hx) {
      const double lat = l.North - static_cast<double>(hy) * heat.PixelDLat();
      const double lon = l.West + static_cast<double>(hx) * heat.PixelDLon();
      keep(frame.Column(lon), frame.Row(lat), heat.Value(hx, hy));
    }
  for (int y = 0; y < image.Height; ++y)
    for (int x = 0; x < image.Width; ++x) {
      const float v = values[static_cast<std::size_t>(y) * image.Width + x];
      if (!std::isnan(v)) image.At(x, y) = DivergingColour(v, heat.Scale());
    }
}

void DrawMarker(TImage& image, const TMapFrame& frame, const TScanExtreme& e, const TRgba& fill) {
  const int cx = frame.Column(e.Lon), cy = frame.Row(e.Lat);
  for (int dy = -5; dy <= 5; ++dy)
    for (int dx = -5; dx <= 5; ++dx) {
      const int r2 = dx * dx + dy * dy;
      if (r2 <= 16)
        Put(image, cx + dx, cy + dy, fill);
      else if (r2 <= 30)
        Put(image, cx + dx, cy + dy, RegionColour);
    }
}

void DrawCross(TImage& image, const TMapFrame& frame, double lat, double lon) {
  const int cx = frame.Column(lon), cy = frame.Row(lat);
  for (int d = -7; d <= 7; ++d)
    for (int side : {-1, 1}) {
      Put(image, cx + d, cy + side, RegionHalo);
      Put(image, cx + side, cy + d, RegionHalo);
    }
  for (int d = -7; d <= 7; ++d) {
    Put(image, cx + d, cy, RegionColour);
    Put(image, cx, cy + d, RegionColour);
  }
}
}  // namespace

int TMapFrame::Column(double lon, bool eastEdge) const {
  return ClampTo(Offset(lon, West, eastEdge) * Width / 360.0, Width);
}

int TMapFrame::Row(double lat) const { return ClampTo((90 - lat) * Height / 180.0, Height); }

TRelief MakeRelief(const TGeoidGrid& grid, int width, double west) {
  const TMapFrame frame(width, west);
  TRelief relief{width, west, 0, 0, TImage(frame.Width, frame.Height, NoDataColour)};
  std::vector<double> v(static_cast<std::size_t>(frame.Width) * frame.Height);
  double low = INFINITY, high = -INFINITY;
  for (int y = 0; y < frame.Height; ++y) {
    const double lat = frame.Lat(y);
    for (int x = 0; x < frame.Width; ++x) {
      const double lon = frame.Lon(x);
      double value = NearestNode(grid, lat, lon);
      // The grid may hold this longitude a turn further east or west.
      if (std::isnan(value)) value = NearestNode(grid, lat, lon + 360);
      if (std::isnan(value)) value = NearestNode(grid, lat, lon - 360);
      v[static_cast<std::size_t>(y) * frame.Width + x] = value;
      if (value < low) low = value;
      if (value > high) high = value;
    }
  }
  if (!(low <= high)) return relief;  // no node at all
  relief.Low = low;
  relief.High = high;
  const double range = high > low ? high - low : 1;
  const auto at = [&](int x, int y) {
    x = (x + frame.Width) % frame.Width;
    y = std::clamp(y, 0, frame.Height - 1);
    return v[static_cast<std::size_t>(y) * frame.Width + x];
  };
  for (int y = 0; y < frame.Height; ++y)
    for (int x = 0; x < frame.Width; ++x) {
      const double h = at(x, y);
      if (std::isnan(h)) continue;
      // Slopes towards the north and the east, in ranges per image width;
      // a missing neighbour counts as level.
      const auto or_h = [h](double n) { return std::isnan(n) ? h : n; };
      const double north = (or_h(at(x, y - 1)) - or_h(at(x, y + 1))) / 2;
      const double east = (or_h(at(x + 1, y)) - or_h(at(x - 1, y))) / 2;
      const double light = std::clamp(1 + 0.02 * (north - east) * frame.Width / range, 0.7, 1.25);
      relief.Image.At(x, y) = Shade(ReliefRamp((h - low) / range), light);
    }
  return relief;
}

double FrameWest(const TMapScene& scene) {
  const std::optional<TLatLonBox>& box = scene.Region ? scene.Region : scene.Custom;
  if (box && !OneRectangle(*box, -180) && OneRectangle(*box, 0)) return 0;
  return -180;
}

TImage RenderMap(const TMapScene& scene, int width) {
  if (width < 16) throw TError("The map needs a width of at least 16 pixels.");
  const TMapFrame frame(width, FrameWest(scene));
  TImage image;
  if (scene.Relief && scene.Relief->Width == width && scene.Relief->West == frame.West)
    image = scene.Relief->Image;
  else
    image = TImage(frame.Width, frame.Height, NoDataColour);
  if (scene.Heat) DrawHeat(image, frame, *scene.Heat);
  if (scene.Custom) DrawBox(image, frame, *scene.Custom, CustomColour, 0);
  if (scene.Region) {
    DrawBox(image, frame, *scene.Region, RegionColour, 0);
    DrawBox(image, frame, *scene.Region, RegionHalo, 1);
  }
  if (scene.Max) DrawMarker(image, frame, *scene.Max, RedEnd);
  if (scene.Min) DrawMarker(image, frame, *scene.Min, BlueEnd);
  if (scene.Point) DrawCross(image, frame, scene.Point->first, scene.Point->second);
  return image;
}

TMapInputs MapInputs(const TConversionPlan& plan, double sourceSpacing, const std::string& customPath, double lat,
                     double lon) {
  TMapInputs inputs;
  const double res = OutputResolution(plan.Resolution, sourceSpacing);
  if (res > 0) {
    try {
      const TCutRegion r = CutRegion(plan.Corners, res);
      if (r.nrows >= 0 && r.ncols >= 0) inputs.Region = TLatLonBox{r.S, r.W, r.N, r.E, r.WholeCircle};
    } catch (const TError&) {
      // corners being typed: no region yet
    }
  }
  if (FileExists(customPath)) {
    if (const TCustomOpen open = OpenCustomGrid(customPath); open.Grid) {
      const TGeoidGrid& g = *open.Grid;
      inputs.Custom =
          TLatLonBox{g.south, g.west, g.north, g.west + (g.nlon - 1) * g.dlon, LatticeIsWholeCircle(g.nlon, g.dlon)};
    }
  }
  if (std::isfinite(lat) && std::isfinite(lon)) inputs.Point = std::pair(lat, lon);
  return inputs;
}

}  // namespace tessmar
