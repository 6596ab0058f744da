#include "grid/Numeric.hpp"

#include <charconv>

namespace tessmar {

void ThrowInvalidOp() { throw TError(InvalidOpText); }

std::string FormatFixed(double value, int width, int decimals) {
  // to_chars, unlike printf, never follows the user's locale: "." always.
  char buffer[400];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals).ptr;
  std::string text(buffer, end);
  if (static_cast<int>(text.size()) < width) text.insert(0, width - text.size(), ' ');
  return text;
}

std::string ShortestText(double value) {
  char buffer[32];
  return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

}  // namespace tessmar
