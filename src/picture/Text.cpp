#include "picture/Text.hpp"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>

#include "base/Platform.hpp"

namespace tessmar {

namespace {
// The code points of UTF-8 text; a byte that starts no character stands for itself.
std::u32string CodePoints(const std::string& text) {
  std::u32string out;
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    char32_t code = more ? c & (0x3F >> more) : c;
    std::size_t k = 1;
    for (; k <= static_cast<std::size_t>(more) && i + k < text.size(); ++k)
      code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    out += code;
    i += k;
  }
  return out;
}
}  // namespace

struct TFont::TLibrary {
  FT_Library Library = nullptr;
  ~TLibrary() {
    if (Library) FT_Done_FreeType(Library);
  }
};

TFont::TFont() : FLibrary(std::make_unique<TLibrary>()) {
  if (FT_Init_FreeType(&FLibrary->Library) != 0) return;
  for (const std::string& path : SansTypefaceFiles()) {
    FT_Face face = nullptr;
    if (FT_New_Face(FLibrary->Library, path.c_str(), 0, &face) == 0) {
      FFace = face;
      FPath = path;
      return;
    }
  }
}

TFont::~TFont() {
  if (FFace) FT_Done_Face(static_cast<FT_Face>(FFace));
}

void TFont::SetSize(int size) {
  if (size != FSize) FT_Set_Pixel_Sizes(static_cast<FT_Face>(FFace), 0, static_cast<FT_UInt>(size));
  FSize = size;
}

int TFont::Width(const std::string& text, int size) {
  if (!FFace) return 0;
  SetSize(size);
  const auto face = static_cast<FT_Face>(FFace);
  long advance = 0;
  for (char32_t c : CodePoints(text))
    if (FT_Load_Char(face, c, FT_LOAD_DEFAULT) == 0) advance += face->glyph->advance.x;
  return static_cast<int>((advance + 63) / 64);
}

int TFont::CapHeight(int size) {
  if (!FFace) return 0;
  SetSize(size);
  const auto face = static_cast<FT_Face>(FFace);
  if (FT_Load_Char(face, 'H', FT_LOAD_DEFAULT) != 0) return size * 7 / 10;
  return static_cast<int>((face->glyph->metrics.horiBearingY + 63) / 64);
}

void TFont::Draw(TImage& image, int x, int baseline, const std::string& text, int size, TRgba colour) {
  if (!FFace) return;
  SetSize(size);
  const auto face = static_cast<FT_Face>(FFace);
  long pen = static_cast<long>(x) * 64;
  for (char32_t c : CodePoints(text)) {
    if (FT_Load_Char(face, c, FT_LOAD_RENDER) != 0) continue;
    const FT_GlyphSlot g = face->glyph;
    const int left = static_cast<int>(pen / 64) + g->bitmap_left, top = baseline - g->bitmap_top;
    for (unsigned row = 0; row < g->bitmap.rows; ++row)
      for (unsigned col = 0; col < g->bitmap.width; ++col) {
        const unsigned char coverage = g->bitmap.buffer[static_cast<long>(row) * g->bitmap.pitch + col];
        if (coverage)
          BlendPixel(image, left + static_cast<int>(col), top + static_cast<int>(row), colour, coverage / 255.0);
      }
    pen += g->advance.x;
  }
}

void BlendPixel(TImage& image, int x, int y, TRgba colour, double coverage) {
  if (!image.Contains(x, y) || !(coverage > 0)) return;
  const double a = std::min(1.0, coverage) * colour.a / 255.0;
  TRgba& p = image.At(x, y);
  const auto mix = [a](std::uint8_t under, std::uint8_t over) {
    return static_cast<std::uint8_t>(std::lround(under + (over - under) * a));
  };
  p = {mix(p.r, colour.r), mix(p.g, colour.g), mix(p.b, colour.b),
       static_cast<std::uint8_t>(std::lround(p.a + (255 - p.a) * a))};
}

}  // namespace tessmar
