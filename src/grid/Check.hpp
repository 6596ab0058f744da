// The custom geoid file reader.
//
// File layout, little-endian, no header: rows x cols float32 nodes, row 0 the
// northernmost, each row west to east; then a 40-byte trailer: int32 rows,
// int32 cols, float64 south (latitude of the last row), west (longitude of
// column 0), dlat, dlon. The file is exactly rows x cols x 4 + 40 bytes.
// A file is validated completely when it is opened, so every later read can
// trust it.
// Opening is thread-safe (nothing shared); an open grid's reads are safe from
// several threads at once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "grid/GeoidGrid.hpp"

namespace tessmar {

inline constexpr int CustomTrailerSize = 40;

struct TCustomTrailer {
  std::int32_t rows;
  std::int32_t cols;
  double south, west, dlat, dlon;
};

// Encodes and decodes the trailer (little-endian, 40 bytes).
void EncodeTrailer(const TCustomTrailer& trailer, unsigned char* out);
TCustomTrailer DecodeTrailer(const unsigned char* in);

// The custom file's path: dataDir's folder, the file-name part of typedName
// (blanks trimmed; a typed folder, "/" or "\", is dropped), its extension
// replaced by ext. The one rule for where the custom geoid file lies.
std::string CustomFilePath(const std::string& dataDir, const std::string& typedName, const std::string& ext);

// Why a custom file did not open.
enum class TCustomFailure : std::uint8_t {
  None,
  NotFound,  // cannot be opened, or its geometry gives no grid
  Illegal,   // wrong size, or a trailer no conversion could have written
};

struct TCustomOpen {
  std::unique_ptr<TGeoidGrid> Grid;  // null on failure
  TCustomFailure Failure = TCustomFailure::None;
};

TCustomOpen OpenCustomGrid(const std::string& path);

}  // namespace tessmar
