#include "grid/Check.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace tessmar {

namespace {
template <class T>
T Load(const unsigned char* p) {
  std::uint8_t bytes[sizeof(T)];
  std::memcpy(bytes, p, sizeof(T));
  if constexpr (std::endian::native == std::endian::big) std::reverse(bytes, bytes + sizeof(T));
  T value;
  std::memcpy(&value, bytes, sizeof(T));
  return value;
}

template <class T>
void Store(T value, unsigned char* p) {
  std::memcpy(p, &value, sizeof(T));
  if constexpr (std::endian::native == std::endian::big) std::reverse(p, p + sizeof(T));
}

// A trailer that no conversion could have written: its numbers would make
// every later computation on the grid meaningless (an infinite west, say).
bool PlausibleTrailer(const TCustomTrailer& t) {
  const bool finite = std::isfinite(t.south) && std::isfinite(t.west) && std::isfinite(t.dlat) && std::isfinite(t.dlon);
  return finite && t.rows >= 0 && t.cols >= 0 && t.dlat > 0 && t.dlon > 0 && t.south >= -90 && t.south <= 90 &&
         t.west >= -360 && t.west <= 720;
}
}  // namespace

void EncodeTrailer(const TCustomTrailer& t, unsigned char* out) {
  Store(t.rows, out);
  Store(t.cols, out + 4);
  Store(t.south, out + 8);
  Store(t.west, out + 16);
  Store(t.dlat, out + 24);
  Store(t.dlon, out + 32);
}

TCustomTrailer DecodeTrailer(const unsigned char* in) {
  return {Load<std::int32_t>(in), Load<std::int32_t>(in + 4), Load<double>(in + 8),
          Load<double>(in + 16),  Load<double>(in + 24),      Load<double>(in + 32)};
}

bool OpenCustomFile(TSession& session, const std::string& path) {
  TGeoidGrid& grid = session.CustomGrid;
  grid.Close();
  const auto fail = [&](const std::string& text) {
    grid.Close();
    session.View.CenteredMessageDlg(text, TMsgDlgType::Error, mbOK, 0);
    return false;
  };
  const auto illegal = [&] { return fail("Illegal Custom geoid file: \r\n\r\n" + path); };
  if (!grid.OpenFile(path)) return fail("Geoid file is not found: \r\n" + path);

  const std::int64_t size = grid.FileSize();
  if (size < CustomTrailerSize) return illegal();
  const TCustomTrailer t = DecodeTrailer(grid.Data() + size - CustomTrailerSize);
  // In 64 bits: no pair of counts can wrap round to the file's size.
  const std::int64_t expected = static_cast<std::int64_t>(t.rows) * t.cols * 4 + CustomTrailerSize;
  if (!PlausibleTrailer(t) || size != expected) return illegal();

  grid.nrows = grid.nlat = t.rows;
  grid.ncols = grid.nlon = t.cols;
  grid.PrePad = 0;
  grid.south = t.south;
  grid.west = t.west;
  grid.dlat = t.dlat;
  grid.dlon = t.dlon;
  grid.ShiftsEast = true;
  try {
    grid.DeriveGeometry();
  } catch (const TError&) {
    return fail("Geoid file is not found: \r\n" + path);
  }
  return true;
}

void CloseCustomFile(TSession& session) {
  session.CustomGrid.Close();
  session.SourceOpen = false;
}

bool CustomIsOpen(const TSession& session) { return session.CustomGrid.IsOpen(); }

std::int64_t CustomFileSize(const TSession& session) { return session.CustomGrid.FileSize(); }

}  // namespace tessmar
