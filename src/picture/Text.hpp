// TFont: text on the core's pictures (the map's graticule labels and legend),
// a typeface the platform finds (DejaVu Sans, else the system's sans serif)
// and drawn by FreeType, anti-aliased, over the pixels. Without a
// typeface it draws nothing and Loaded() is false; the picture is whole
// otherwise. Not thread-safe: one per thread.
#pragma once

#include <memory>
#include <string>

#include "picture/Png.hpp"

namespace tessmar {

class TFont {
 public:
  TFont();
  ~TFont();
  TFont(const TFont&) = delete;
  TFont& operator=(const TFont&) = delete;

  bool Loaded() const { return FFace != nullptr; }
  const std::string& Path() const { return FPath; }

  // Text (UTF-8) `size` pixels high: its width in pixels, and the height of
  // its capitals above the baseline.
  int Width(const std::string& text, int size);
  int CapHeight(int size);
  // Draws text with its baseline's left end at (x, baseline), in colour.
  void Draw(TImage& image, int x, int baseline, const std::string& text, int size, TRgba colour);

 private:
  struct TLibrary;
  std::unique_ptr<TLibrary> FLibrary;
  void* FFace = nullptr;  // FT_Face
  std::string FPath;
  int FSize = 0;
  void SetSize(int size);
};

// Blends colour over the pixel (x, y) with coverage 0 .. 1; outside the image nothing.
void BlendPixel(TImage& image, int x, int y, TRgba colour, double coverage);

}  // namespace tessmar
