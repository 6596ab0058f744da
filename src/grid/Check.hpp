// The custom geoid file reader.
//
// File layout, little-endian, no header: rows x cols float32 nodes, row 0 the
// northernmost, each row west to east; then a 40-byte trailer: int32 rows,
// int32 cols, float64 south (latitude of the last row), west (longitude of
// column 0), dlat, dlon. The file is exactly rows x cols x 4 + 40 bytes.
// A file is validated completely when it is opened, so every later read can
// trust it; failures are shown through the view and reported as false.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "grid/Session.hpp"

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

// Opens path as CustomGrid. False after "Illegal Custom geoid file: " CR LF CR LF
// path (wrong size, or a trailer no conversion could have written) or
// "Geoid file is not found: " CR LF path (cannot open, no geometry).
bool OpenCustomFile(TSession& session, const std::string& path);

// Closes CustomGrid and clears SourceOpen (the next check re-opens the source).
void CloseCustomFile(TSession& session);

bool CustomIsOpen(const TSession& session);
std::int64_t CustomFileSize(const TSession& session);  // 0 when none is open

}  // namespace tessmar
