#include "base/Numeric.hpp"

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

std::string IntToGroupedStr(std::int64_t value) {
  // Byte counts are never negative; a sign would still stand before the groups.
  const std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : value;
  const std::string digits = std::to_string(magnitude);
  std::string text = value < 0 ? "-" : "";
  for (std::size_t k = 0; k < digits.size(); ++k) {
    if (k > 0 && (digits.size() - k) % 3 == 0) text += ',';
    text += digits[k];
  }
  return text;
}

}  // namespace tessmar
