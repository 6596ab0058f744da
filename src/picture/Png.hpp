// Pictures as the core makes them: 8-bit RGBA pixels, row 0 at the top, and
// their PNG files, written by libpng row by row into a temporary file that is
// renamed into place only when complete. One thread per image.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace tessmar {

struct TRgba {
  std::uint8_t r = 0, g = 0, b = 0, a = 0;  // a = 0: fully transparent
  friend bool operator==(const TRgba&, const TRgba&) = default;
};

// Width x Height pixels, row by row from the top.
struct TImage {
  int Width = 0, Height = 0;
  std::vector<TRgba> Pixels;

  TImage() = default;
  TImage(int width, int height, TRgba fill = {})
      : Width(width), Height(height), Pixels(static_cast<std::size_t>(width) * height, fill) {}
  TRgba& At(int x, int y) { return Pixels[static_cast<std::size_t>(y) * Width + x]; }
  const TRgba& At(int x, int y) const { return Pixels[static_cast<std::size_t>(y) * Width + x]; }
  bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < Width && y < Height; }
};

// PNG text chunks (tEXt), keyword and text, Latin-1, in this order.
using TPngText = std::vector<std::pair<std::string, std::string>>;

// Fills row y (Width pixels) of the picture being written.
using TPngRows = std::function<void(int y, TRgba* row)>;

// Writes a width x height RGBA picture to path, rows asked for one at a time,
// so only one row is ever held (rows must not throw). Throws TError "Cannot write the picture: "
// path (and why) when the file cannot be made or written; an existing file of
// that name is then untouched.
void WritePng(const std::string& path, int width, int height, const TPngText& text, const TPngRows& rows);
void WritePng(const std::string& path, const TImage& image, const TPngText& text = {});

}  // namespace tessmar
