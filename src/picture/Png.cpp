#include "picture/Png.hpp"

#include <png.h>

#include <csetjmp>
#include <cstring>

#include "base/AtomicFile.hpp"
#include "base/Numeric.hpp"

namespace tessmar {

namespace {
struct TPngOut {
  TAtomicFile* File;
  char Message[200] = "";
};

void WriteData(png_structp png, png_bytep data, png_size_t size) {
  auto* out = static_cast<TPngOut*>(png_get_io_ptr(png));
  if (!out->File->Write(data, size)) png_error(png, out->File->Error().c_str());
}

void FlushData(png_structp) {}

void OnError(png_structp png, png_const_charp message) {
  auto* out = static_cast<TPngOut*>(png_get_error_ptr(png));
  std::strncpy(out->Message, message, sizeof out->Message - 1);
  png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// libpng reports its failures by longjmp to here: everything with a destructor
// lives in the caller, so the jump skips nothing that must be cleaned up.
bool Encode(png_structp png, png_infop info, TPngOut& out, int width, int height, png_text* texts, int textCount,
            const TPngRows& rows, TRgba* row) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, &out, WriteData, FlushData);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (textCount > 0) png_set_text(png, info, texts, textCount);
  // Written beside a scan that takes seconds: one cheap filter and fast
  // deflate keep the picture a small part of the work, at some size.
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
  png_set_compression_level(png, 1);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) {
    rows(y, row);
    png_write_row(png, reinterpret_cast<png_const_bytep>(row));
  }
  png_write_end(png, info);
  return true;
}
}  // namespace

void WritePng(const std::string& path, int width, int height, const TPngText& text, const TPngRows& rows) {
  static_assert(sizeof(TRgba) == 4);
  const auto fail = [&](const std::string& why) {
    throw TError("Cannot write the picture: " + path + " (" + why + ")");
  };
  if (width <= 0 || height <= 0 || width > 1000000 || height > 1000000) fail("no pixels");
  TAtomicFile file(path);
  if (!file.Create()) fail(file.Error());
  TPngOut out{&file};
  std::vector<TRgba> row(static_cast<std::size_t>(width));
  std::vector<png_text> texts(text.size());
  for (std::size_t k = 0; k < text.size(); ++k) {
    texts[k].compression = PNG_TEXT_COMPRESSION_NONE;
    texts[k].key = const_cast<char*>(text[k].first.c_str());
    texts[k].text = const_cast<char*>(text[k].second.c_str());
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &out, OnError, OnWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    fail("out of memory");
  }
  const bool encoded =
      Encode(png, info, out, width, height, texts.data(), static_cast<int>(texts.size()), rows, row.data());
  png_destroy_write_struct(&png, &info);
  if (!encoded) fail(out.Message);
  if (!file.Commit()) fail(file.Error());
}

void WritePng(const std::string& path, const TImage& image, const TPngText& text) {
  WritePng(path, image.Width, image.Height, text, [&image](int y, TRgba* row) {
    std::memcpy(row, &image.Pixels[static_cast<std::size_t>(y) * image.Width], sizeof(TRgba) * image.Width);
  });
}

}  // namespace tessmar
