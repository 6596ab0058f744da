#include "picture/Map.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <optional>
#include <vector>

#include "base/Numeric.hpp"
#include "base/Path.hpp"
#include "convert/Conversion.hpp"
#include "grid/Check.hpp"
#include "grid/Circle.hpp"
#include "grid/Source.hpp"

namespace tessmar {

namespace {
constexpr double MinStep = 1.0 / 36000;  // a tenth of a second a pixel: closer shows nothing more

// A box is one rectangle in a frame when its west edge lies west of its east edge there.
bool OneRectangle(const TLatLonBox& box, double west) {
  return box.WholeCircle || DegreesEastOf(box.W, west, false) <= DegreesEastOf(box.E, west, true);
}

// Degrees of longitude the box spans, (0 .. 360].
double LonSpan(const TLatLonBox& box) { return box.WholeCircle ? 360 : DegreesEastOf(box.E, box.W, true); }

// A pixel position as an index, kept in a range that cannot overflow.
int Pixel(double v) { return static_cast<int>(std::clamp(std::floor(v), -1e6, 1e6)); }

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
  if (y < 0 || y >= image.Height) return;
  for (int x = std::max(x0, 0); x <= std::min(x1, image.Width - 1); ++x) image.At(x, y) = colour;
}

void VerticalLine(TImage& image, int x, int y0, int y1, const TRgba& colour) {
  if (x < 0 || x >= image.Width) return;
  for (int y = std::max(y0, 0); y <= std::min(y1, image.Height - 1); ++y) image.At(x, y) = colour;
}

void FillRect(TImage& image, int x0, int y0, int x1, int y1, TRgba colour, double alpha) {
  for (int y = std::max(y0, 0); y <= std::min(y1, image.Height - 1); ++y)
    for (int x = std::max(x0, 0); x <= std::min(x1, image.Width - 1); ++x) BlendPixel(image, x, y, colour, alpha);
}

// The box's outline on its edge pixels, `inset` pixels inside them, at every
// turn of longitude that shows in the frame.
void DrawBox(TImage& image, const TMapFrame& frame, const TLatLonBox& box, const TRgba& colour, int inset) {
  const int yN = Pixel(frame.Y(box.N)) + inset, yS = static_cast<int>(std::ceil(frame.Y(box.S))) - 1 - inset;
  if (yN > yS) return;
  if (box.WholeCircle) {
    HorizontalLine(image, yN, 0, frame.Width - 1, colour);
    HorizontalLine(image, yS, 0, frame.Width - 1, colour);
    return;
  }
  const double west = frame.X(box.W), east = west + LonSpan(box) / frame.Step;
  for (int turn = -1; turn <= 1; ++turn) {
    const double shift = turn * frame.Turn();
    const int xW = Pixel(west + shift) + inset,
              xE = static_cast<int>(std::clamp(std::ceil(east + shift), -1e6, 1e6)) - 1 - inset;
    if (xW > xE || xE < 0 || xW >= frame.Width) continue;
    HorizontalLine(image, yN, xW, xE, colour);
    HorizontalLine(image, yS, xW, xE, colour);
    VerticalLine(image, xW, yN, yS, colour);
    VerticalLine(image, xE, yN, yS, colour);
  }
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
    if (!(i >= 0 && i <= static_cast<double>(l.LastRow))) continue;
    for (int x = 0; x < image.Width; ++x) {
      const double d = AngleInCircle(frame.Lon(x) - l.West + l.DLon / 2);
      const double j = std::round((d - l.DLon / 2) / l.DLon);
      if (!(j >= 0 && j <= static_cast<double>(l.LastColumn))) continue;
      keep(x, y,
           heat.Value(static_cast<int>(static_cast<std::int64_t>(j) / k),
                      static_cast<int>(static_cast<std::int64_t>(i) / k)));
    }
  }
  for (int hy = 0; hy < heat.Height(); ++hy) {
    const int y = Pixel(frame.Y(l.North - static_cast<double>(hy) * heat.PixelDLat()));
    if (y < 0 || y >= image.Height) continue;
    for (int hx = 0; hx < heat.Width(); ++hx) {
      const int x = Pixel(frame.X(l.West + static_cast<double>(hx) * heat.PixelDLon()));
      if (x >= 0 && x < image.Width) keep(x, y, heat.Value(hx, hy));
    }
  }
  const double scale = heat.Scale();
  for (int y = 0; y < image.Height; ++y)
    for (int x = 0; x < image.Width; ++x) {
      const float v = values[static_cast<std::size_t>(y) * image.Width + x];
      if (!std::isnan(v)) image.At(x, y) = DivergingColour(v, scale);
    }
}

// An anti-aliased line between pixel positions (Xiaolin Wu's), pixel centres at +0.5.
void SmoothLine(TImage& image, double x0, double y0, double x1, double y1, TRgba colour) {
  x0 -= 0.5, y0 -= 0.5, x1 -= 0.5, y1 -= 0.5;
  // Nothing of a line wholly beside the image.
  if ((x0 < -2 && x1 < -2) || (y0 < -2 && y1 < -2) || (x0 > image.Width + 1 && x1 > image.Width + 1) ||
      (y0 > image.Height + 1 && y1 > image.Height + 1))
    return;
  const bool steep = std::fabs(y1 - y0) > std::fabs(x1 - x0);
  if (steep) std::swap(x0, y0), std::swap(x1, y1);
  if (x0 > x1) std::swap(x0, x1), std::swap(y0, y1);
  const double dx = x1 - x0, gradient = dx == 0 ? 0 : (y1 - y0) / dx;
  const auto plot = [&](int a, int b, double c) {
    if (steep)
      BlendPixel(image, b, a, colour, c);
    else
      BlendPixel(image, a, b, colour, c);
  };
  const int limit = steep ? image.Height : image.Width;
  const int first = std::max(static_cast<int>(std::round(x0)), -1),
            last = std::min(static_cast<int>(std::round(x1)), limit);
  for (int a = first; a <= last; ++a) {
    const double y = y0 + gradient * (a - x0);
    const double b = std::floor(y), f = y - b;
    // The end pixels are covered in part.
    double cover = 1;
    if (a == static_cast<int>(std::round(x0))) cover = 1 - (x0 + 0.5 - std::floor(x0 + 0.5));
    if (a == static_cast<int>(std::round(x1))) cover = std::min(cover, x1 + 0.5 - std::floor(x1 + 0.5));
    if (first == last) cover = std::max(dx, 0.25);
    plot(a, static_cast<int>(b), (1 - f) * cover);
    plot(a, static_cast<int>(b) + 1, f * cover);
  }
}

void DrawCoast(TImage& image, const TMapFrame& frame, const TPolylines& coast, double width) {
  std::vector<std::pair<double, double>> xy;
  for (const TPolyline& line : coast) {
    if (line.size() < 2) continue;
    xy.clear();
    double x = frame.X(line[0].Lon), minX = x, maxX = x, minY = 1e300, maxY = -1e300;
    for (std::size_t k = 0; k < line.size(); ++k) {
      if (k > 0) x += LongitudeDifference(static_cast<double>(line[k].Lon) - line[k - 1].Lon) / frame.Step;
      const double y = frame.Y(line[k].Lat);
      xy.emplace_back(x, y);
      minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y), maxY = std::max(maxY, y);
    }
    if (maxY < -2 || minY > frame.Height + 2) continue;
    for (int turn = -1; turn <= 1; ++turn) {
      const double shift = turn * frame.Turn();
      if (maxX + shift < -2 || minX + shift > frame.Width + 2) continue;
      for (std::size_t k = 1; k < xy.size(); ++k)
        for (double offset = 0; offset < width - 0.25; offset += 1)
          SmoothLine(image, xy[k - 1].first + shift + offset, xy[k - 1].second + offset, xy[k].first + shift + offset,
                     xy[k].second + offset, CoastColour);
    }
  }
}

void DrawMarker(TImage& image, const TMapFrame& frame, double lat, double lon, const TRgba& fill, double scale) {
  const int cx = Pixel(frame.X(lon)), cy = Pixel(frame.Y(lat));
  const int r = static_cast<int>(std::lround(5 * scale));
  for (int dy = -r; dy <= r; ++dy)
    for (int dx = -r; dx <= r; ++dx) {
      const double d2 = (dx * dx + dy * dy) / (scale * scale);
      if (d2 <= 16)
        Put(image, cx + dx, cy + dy, fill);
      else if (d2 <= 30)
        Put(image, cx + dx, cy + dy, RegionColour);
    }
}

void DrawCross(TImage& image, const TMapFrame& frame, double lat, double lon) {
  const int cx = Pixel(frame.X(lon)), cy = Pixel(frame.Y(lat));
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

// Text in dark grey on a soft white halo, readable over any colour.
void HaloText(TFont& font, TImage& image, int x, int baseline, const std::string& text, int size) {
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx)
      if (dx || dy) font.Draw(image, x + dx, baseline + dy, text, size, {255, 255, 255, 200});
  font.Draw(image, x, baseline, text, size, {20, 20, 20, 255});
}

// A latitude's row: its pixel, or the last row for the frame's south edge
// itself (a pole at the foot), none when outside.
std::optional<int> LatitudeRow(const TMapFrame& frame, double lat) {
  const double at = frame.Y(lat);
  const int y = Pixel(at);
  if (y >= 0 && y < frame.Height) return y;
  if (y == frame.Height && at - frame.Height < 1e-9) return frame.Height - 1;
  return std::nullopt;
}

// A text's place in the image, pixels, [X0, X1) x [Y0, Y1).
struct TBox {
  int X0, Y0, X1, Y1;
  bool Meets(const TBox& b) const { return X0 < b.X1 && b.X0 < X1 && Y0 < b.Y1 && b.Y0 < Y1; }
};

void DrawGraticule(TImage& image, const TMapFrame& frame, TFont* font, double scale, std::vector<TBox> taken) {
  const double spacing = GraticuleSpacing(frame.Step / scale);
  const TRgba line{255, 255, 255, 255};
  const int size = static_cast<int>(std::lround(11 * scale));
  const double south = frame.North - frame.Height * frame.Step, east = frame.West + frame.Width * frame.Step;
  std::vector<std::pair<int, double>> lats, lons;
  for (double lat = std::ceil(std::max(south, -90.0) / spacing) * spacing; lat <= std::min(frame.North, 90.0);
       lat += spacing)
    if (const std::optional<int> y = LatitudeRow(frame, lat)) lats.emplace_back(*y, lat);
  for (double lon = std::ceil(frame.West / spacing) * spacing; lon < east; lon += spacing) {
    const int x = Pixel((lon - frame.West) / frame.Step);
    if (x >= 0 && x < frame.Width) lons.emplace_back(x, lon);
  }
  for (const auto& [y, lat] : lats)
    for (int x = 0; x < frame.Width; ++x) BlendPixel(image, x, y, line, 0.45);
  for (const auto& [x, lon] : lons)
    for (int y = 0; y < frame.Height; ++y) BlendPixel(image, x, y, line, 0.45);
  if (!font || !font->Loaded()) return;
  const int pad = static_cast<int>(std::lround(3 * scale)), cap = font->CapHeight(size);
  // No label meets another or a legend (taken holds the legends' panels):
  // the halo and a pixel of air around each text.
  const auto box = [&](int x, int baseline, const std::string& text) {
    return TBox{x - 2, baseline - cap - 2, x + font->Width(text, size) + 2, baseline + 3};
  };
  // The meridians' degrees along the top, right of their lines.
  for (const auto& [x, lon] : lons) {
    const std::string text = DegreeLabel(lon, false);
    const TBox b = box(x + pad, pad + cap, text);
    if (b.X1 > frame.Width || std::any_of(taken.begin(), taken.end(), [&](const TBox& t) { return b.Meets(t); }))
      continue;
    taken.push_back(b);
    HaloText(*font, image, x + pad, pad + cap, text, size);
  }
  // The parallels' degrees at the left, above their lines (below one at the
  // top edge, a pole), moved right past what they would meet.
  for (const auto& [y, lat] : lats) {
    const std::string text = DegreeLabel(lat, true);
    const int baseline = y - pad - cap - 2 >= 0 ? y - pad : y + pad + cap + 1;
    int x = pad;
    for (bool moved = true; moved;) {
      moved = false;
      for (const TBox& t : taken)
        if (box(x, baseline, text).Meets(t)) {
          x = t.X1 + pad;
          moved = true;
        }
    }
    const TBox b = box(x, baseline, text);
    if (b.X1 > frame.Width || b.Y1 > frame.Height) continue;
    taken.push_back(b);
    HaloText(*font, image, x, baseline, text, size);
  }
}

// A legend number: as many decimals as a span of that size needs.
std::string LegendNumber(double value, double span) {
  const int decimals = std::clamp(2 - static_cast<int>(std::floor(std::log10(std::max(span, 1e-9)))), 0, 6);
  std::string text = FormatFixed(value, 0, decimals);
  if (text.find_first_not_of("-0.") == std::string::npos) text = "0";  // no "-0.00"
  return text;
}

// A legend panel: title, a colour bar and its numbers below, in the corner
// given (left or right, at the foot).
struct TLegend {
  std::string Title;
  double Low, High;
  std::function<TRgba(double)> Colour;
  std::vector<double> Ticks;
  std::string Note;  // a last line, or none
};

// A legend in the corner of the image it goes to (left or right, at the
// foot), and the panel it takes there; none when it does not fit.
struct TPlacedLegend {
  TLegend Legend;
  bool Right;
  std::optional<TBox> Panel;
};

std::optional<TBox> LegendPanel(const TImage& image, TFont* font, double scale, const TLegend& legend, bool right) {
  const bool text = font && font->Loaded();
  const int size = static_cast<int>(std::lround(11 * scale)), pad = static_cast<int>(std::lround(6 * scale));
  const int barWidth = static_cast<int>(std::lround(170 * scale)),
            barHeight = static_cast<int>(std::lround(10 * scale));
  const int line = text ? size + static_cast<int>(std::lround(4 * scale)) : 0;
  int width = barWidth + 2 * pad + (text ? size : 0);
  if (text)  // wide enough for its title and its last line
    width = std::max({width, font->Width(legend.Title, size) + 2 * pad, font->Width(legend.Note, size) + 2 * pad});
  const int height =
      pad + line + barHeight + static_cast<int>(std::lround(4 * scale)) + line + (legend.Note.empty() ? 0 : line) + pad;
  if (width + 2 * pad > image.Width || height + 2 * pad > image.Height) return std::nullopt;
  const int x0 = right ? image.Width - pad - width : pad, y0 = image.Height - pad - height;
  return TBox{x0, y0, x0 + width, y0 + height};
}

void DrawLegend(TImage& image, TFont* font, double scale, const TLegend& legend, const TBox& panel) {
  const bool text = font && font->Loaded();
  const int size = static_cast<int>(std::lround(11 * scale)), pad = static_cast<int>(std::lround(6 * scale));
  const int barWidth = static_cast<int>(std::lround(170 * scale)),
            barHeight = static_cast<int>(std::lround(10 * scale));
  const int line = text ? size + static_cast<int>(std::lround(4 * scale)) : 0;
  const int x0 = panel.X0, y0 = panel.Y0, width = panel.X1 - panel.X0, height = panel.Y1 - panel.Y0;
  FillRect(image, x0, y0, x0 + width - 1, y0 + height - 1, {255, 255, 255, 255}, 0.82);
  const int barX = x0 + pad + (text ? size / 2 : 0);
  int y = y0 + pad;
  if (text) font->Draw(image, x0 + pad, y + font->CapHeight(size), legend.Title, size, {20, 20, 20, 255});
  y += line;
  const double span = legend.High - legend.Low;
  for (int i = 0; i < barWidth; ++i) {
    const double v = legend.Low + span * (i + 0.5) / barWidth;
    for (int k = 0; k < barHeight; ++k) Put(image, barX + i, y + k, legend.Colour(v));
  }
  const TRgba ink{20, 20, 20, 255};
  HorizontalLine(image, y - 1, barX - 1, barX + barWidth, ink);
  HorizontalLine(image, y + barHeight, barX - 1, barX + barWidth, ink);
  VerticalLine(image, barX - 1, y, y + barHeight - 1, ink);
  VerticalLine(image, barX + barWidth, y, y + barHeight - 1, ink);
  const int tick = static_cast<int>(std::lround(3 * scale));
  std::vector<std::pair<int, int>> taken;  // the labels' spans so far: a later one that meets them is left out
  for (double t : legend.Ticks) {
    if (!(span > 0) || t < legend.Low || t > legend.High) continue;
    const int x = barX + static_cast<int>(std::lround((t - legend.Low) / span * (barWidth - 1)));
    VerticalLine(image, x, y + barHeight, y + barHeight + tick, ink);
    if (!text) continue;
    const std::string label = LegendNumber(t, span);
    const int w = font->Width(label, size), left = std::clamp(x - w / 2, x0 + 1, x0 + width - w - 1);
    const int gap = size / 2;
    if (std::any_of(taken.begin(), taken.end(),
                    [&](const auto& s) { return left < s.second + gap && left + w + gap > s.first; }))
      continue;
    taken.emplace_back(left, left + w);
    font->Draw(image, left, y + barHeight + tick + font->CapHeight(size) + 2, label, size, ink);
  }
  y += barHeight + static_cast<int>(std::lround(4 * scale)) + line;
  if (text && !legend.Note.empty()) font->Draw(image, x0 + pad, y + font->CapHeight(size), legend.Note, size, ink);
}

// The legends of the scene, placed in the image: the relief's at the left, the heat map's at the right.
std::vector<TPlacedLegend> PlaceLegends(const TImage& image, const TMapScene& scene, const TMapFrame& frame) {
  std::vector<TPlacedLegend> legends;
  if (scene.Relief && scene.Relief->Frame == frame && scene.Relief->High >= scene.Relief->Low) {
    const double low = scene.Relief->Low, high = scene.Relief->High;
    std::vector<double> ticks{low, high};
    if (low < 0 && high > 0) ticks.push_back(0);
    legends.push_back(
        {{"Geoid undulation, m", low, high, [low, high](double v) { return ReliefColour(v, low, high); }, ticks, ""},
         false,
         std::nullopt});
  }
  if (scene.Heat && scene.Heat->Width() > 0) {
    const double s = scene.Heat->Scale();
    std::string note;
    if (!std::isnan(scene.Heat->Lowest()))
      note = "min " + LegendNumber(scene.Heat->Lowest(), s) + ", max " + LegendNumber(scene.Heat->Highest(), s) + " (" +
             HeatScaleText(scene.Heat->ScaleRule()) + ")";
    legends.push_back({{"Custom - source, m",
                        -std::max(s, 1e-9),
                        std::max(s, 1e-9),
                        [s](double v) { return DivergingColour(v, s); },
                        {-s, 0, s},
                        note},
                       true,
                       std::nullopt});
  }
  for (TPlacedLegend& l : legends) l.Panel = LegendPanel(image, scene.Font, scene.TextScale, l.Legend, l.Right);
  return legends;
}
}  // namespace

TMapFrame TMapFrame::World(int width, double west) {
  TMapFrame f;
  f.Width = width;
  f.Height = width / 2;
  f.West = west;
  f.North = 90;
  f.Step = 360.0 / width;
  return f;
}

TMapFrame TMapFrame::World(int width, int height, double west) {
  TMapFrame f = World(width, west);
  f.Height = height;
  f.Step = std::max(360.0 / f.Width, 180.0 / f.Height);
  f.West += 180 - f.Width * f.Step / 2;
  f.North = f.Height * f.Step / 2;
  return f;
}

double TMapFrame::X(double lon) const {
  const double centre = West + Width * Step / 2;
  return (centre + LongitudeDifference(lon - centre) - West) / Step;
}

namespace {
// The centre kept within the poles, the frame within them while it is lower than they are apart.
TMapFrame KeptOnEarth(TMapFrame f) {
  const double height = f.Height * f.Step;
  if (height <= 180) {
    f.North = std::clamp(f.North, -90 + height, 90.0);
  } else {
    f.North = 90 + (height - 180) / 2;
  }
  return f;
}

// The box with room around it: its degrees of longitude, and its latitudes,
// the room kept within the poles (beyond them there is nothing to see).
struct TRoom {
  double LonSpan, South, North;
};
TRoom RoomAround(const TLatLonBox& box) {
  const double lon = LonSpan(box), lat = std::max(box.N - box.S, 0.0), latRoom = std::max(1.0, 0.2 * lat);
  return {lon + 2 * std::max(1.0, 0.2 * lon), std::max(box.S - latRoom, -90.0),
          std::min(std::max(box.N, box.S) + latRoom, 90.0)};
}
}  // namespace

TMapFrame FrameAround(const TLatLonBox& box, int width, int height) {
  const TRoom room = RoomAround(box);
  const double lonSpan = room.LonSpan, latSpan = room.North - room.South;
  TMapFrame f;
  f.Width = width;
  f.Height = height;
  f.Step = std::clamp(std::max(lonSpan / width, latSpan / height), MinStep, 360.0 / width);
  const double centreLon = box.WholeCircle ? 0 : box.W + LonSpan(box) / 2, centreLat = (room.South + room.North) / 2;
  f.West = centreLon - width * f.Step / 2;
  f.North = centreLat + height * f.Step / 2;
  return KeptOnEarth(f);
}

int FittingHeight(const TLatLonBox& box, int width) {
  const TRoom room = RoomAround(box);
  const double lonSpan = room.LonSpan, latSpan = room.North - room.South;
  const double step = std::clamp(lonSpan / width, MinStep, 360.0 / width);
  return std::clamp(static_cast<int>(std::ceil(latSpan / step)), std::max(8, width / 4), width * 3 / 2);
}

TMapFrame Zoomed(const TMapFrame& frame, double x, double y, double factor) {
  TMapFrame f = frame;
  f.Step = std::clamp(frame.Step / factor, MinStep, 360.0 / frame.Width);
  f.West = frame.West + x * (frame.Step - f.Step);
  f.North = frame.North - y * (frame.Step - f.Step);
  return KeptOnEarth(f);
}

TMapFrame Panned(const TMapFrame& frame, double dx, double dy) {
  TMapFrame f = frame;
  f.West = frame.West - dx * frame.Step;
  f.North = frame.North + dy * frame.Step;
  return KeptOnEarth(f);
}

TRgba ReliefColour(double value, double low, double high) {
  return ReliefRamp(high > low ? (value - low) / (high - low) : 0.5);
}

namespace {
// The grid at a point, bilinear between its four nodes (nearer than a node
// apart, nearest nodes would show as blocks); NaN when one has no value.
double Bilinear(const TGeoidGrid& grid, double lat, double lon) {
  const double r = grid.RowPosition(lat), c = grid.ColPosition(grid.GridLongitude(lon));
  if (!(std::fabs(r) < 1e9 && std::fabs(c) < 1e9)) return NoValue();
  const double r0 = std::floor(r), c0 = std::floor(c), fr = r - r0, fc = c - c0;
  const auto node = [&](double dr, double dc) {
    return static_cast<double>(grid.ReadNode(static_cast<std::int32_t>(r0 + dr), static_cast<std::int32_t>(c0 + dc)));
  };
  return (node(0, 0) * (1 - fc) + node(0, 1) * fc) * (1 - fr) + (node(1, 0) * (1 - fc) + node(1, 1) * fc) * fr;
}
}  // namespace

TRelief MakeRelief(const TGeoidGrid& grid, const TMapFrame& frame) {
  TRelief relief{frame, 0, 0, TImage(frame.Width, frame.Height, NoDataColour)};
  std::vector<double> v(static_cast<std::size_t>(frame.Width) * frame.Height, NoValue());
  double low = INFINITY, high = -INFINITY;
  const bool smooth = frame.Step < std::min(grid.dlat, grid.dlon);
  for (int y = 0; y < frame.Height; ++y) {
    const double lat = frame.Lat(y);
    if (lat < -90 || lat > 90) continue;
    for (int x = 0; x < frame.Width; ++x) {
      const double lon = LongitudeDifference(frame.Lon(x));
      double value = smooth ? Bilinear(grid, lat, lon) : NoValue();
      if (std::isnan(value)) value = NearestNode(grid, lat, lon);
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
    x = std::clamp(x, 0, frame.Width - 1);
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

TImage RenderMap(const TMapScene& scene, const TMapFrame& frame) {
  if (frame.Width < 16 || frame.Height < 8) throw TError("The map needs at least 16 x 8 pixels.");
  TImage image;
  if (scene.Relief && scene.Relief->Frame == frame)
    image = scene.Relief->Image;
  else
    image = TImage(frame.Width, frame.Height, NoDataColour);
  if (scene.Heat) DrawHeat(image, frame, *scene.Heat);
  if (scene.Coast) DrawCoast(image, frame, *scene.Coast, std::max(1.0, scene.TextScale));
  // The legends' places first: the graticule's labels keep clear of them.
  std::vector<TPlacedLegend> legends;
  if (scene.Furniture) {
    legends = PlaceLegends(image, scene, frame);
    std::vector<TBox> panels;
    for (const TPlacedLegend& l : legends)
      if (l.Panel) panels.push_back(*l.Panel);
    DrawGraticule(image, frame, scene.Font, scene.TextScale, panels);
  }
  if (scene.Custom) DrawBox(image, frame, *scene.Custom, CustomColour, 0);
  if (scene.Region) {
    DrawBox(image, frame, *scene.Region, RegionColour, 0);
    DrawBox(image, frame, *scene.Region, RegionHalo, 1);
  }
  if (scene.Max) DrawMarker(image, frame, scene.Max->Lat, scene.Max->Lon, RedEnd, 1);
  if (scene.Min) DrawMarker(image, frame, scene.Min->Lat, scene.Min->Lon, BlueEnd, 1);
  if (scene.Point) DrawCross(image, frame, scene.Point->first, scene.Point->second);
  for (const TPlacedLegend& l : legends)
    if (l.Panel) DrawLegend(image, scene.Font, scene.TextScale, l.Legend, *l.Panel);
  return image;
}

TImage RenderMap(const TMapScene& scene, int width) {
  if (width < 16) throw TError("The map needs a width of at least 16 pixels.");
  return RenderMap(scene, TMapFrame::World(width, FrameWest(scene)));
}

double GraticuleSpacing(double step) {
  static constexpr std::array<double, 16> spacings = {1.0 / 60, 2.0 / 60, 5.0 / 60, 10.0 / 60, 0.25, 0.5, 1,  2,
                                                      5,        10,       15,       30,        45,   60,  90, 180};
  for (double s : spacings)
    if (s / step >= 70) return s;
  return spacings.back();
}

std::string DegreeLabel(double value, bool latitude) {
  if (!latitude) value = LongitudeDifference(value) == -180 ? 180 : LongitudeDifference(value);
  const double magnitude = std::fabs(value);
  auto minutes = static_cast<long long>(std::llround(magnitude * 60));
  std::string text = std::to_string(minutes / 60) + "\u00b0";
  if (minutes % 60) text += (minutes % 60 < 10 ? "0" : "") + std::to_string(minutes % 60) + "'";
  if (minutes == 0 || (!latitude && minutes == 180 * 60)) return text;
  return text + (latitude ? (value > 0 ? "N" : "S") : (value > 0 ? "E" : "W"));
}

std::string FrameText(const TMapFrame& frame) {
  const double north = std::min(frame.North, 90.0), south = std::max(frame.North - frame.Height * frame.Step, -90.0);
  const double across = frame.Width * frame.Step;
  std::string text = DegreeLabel(north, true) + " to " + DegreeLabel(south, true) + ", ";
  if (across >= 360)
    text += "every longitude from " + DegreeLabel(frame.West, false);
  else
    text += DegreeLabel(frame.West, false) + " to " + DegreeLabel(frame.West + across, false);
  return text + ", " + ShortestText(frame.Step) + " degrees a pixel";
}

TMapScene MapScene(const TConversionPlan& plan, double sourceSpacing, const std::string& customPath, double lat,
                   double lon) {
  TMapScene scene;
  const double res = OutputResolution(plan.Resolution, sourceSpacing);
  if (res > 0) {
    try {
      const TCutRegion r = CutRegion(plan.Corners, res);
      if (r.nrows >= 0 && r.ncols >= 0) scene.Region = TLatLonBox{r.S, r.W, r.N, r.E, r.WholeCircle};
    } catch (const TError&) {
      // corners being typed: no region yet
    }
  }
  if (FileExists(customPath)) {
    if (const TCustomOpen open = OpenCustomGrid(customPath); open.Grid) {
      const TGeoidGrid& g = *open.Grid;
      scene.Custom =
          TLatLonBox{g.south, g.west, g.north, g.west + (g.nlon - 1) * g.dlon, LatticeIsWholeCircle(g.nlon, g.dlon)};
    }
  }
  if (std::isfinite(lat) && std::isfinite(lon)) scene.Point = std::pair(lat, lon);
  return scene;
}

char CoastResolution(const TMapFrame& frame) { return frame.Step >= 0.05 ? 'l' : 'i'; }

}  // namespace tessmar
