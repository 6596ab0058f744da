#include "grid/Numeric.hpp"

#include <charconv>

namespace tessmar {

namespace {
std::int64_t Checked(double x) {
  if (!FitsInt64(x)) throw TError(InvalidOpText);
  return static_cast<std::int64_t>(x);
}
}  // namespace

std::int64_t Round(double x) { return Checked(RoundToEven(x)); }
std::int64_t Trunc(double x) { return Checked(std::trunc(x)); }
std::int64_t Floor(double x) { return Checked(std::floor(x)); }

std::string FormatFixed(double value, int width, int decimals) {
  // to_chars, unlike printf, never follows the user's locale: "." always.
  char buffer[400];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals).ptr;
  std::string text(buffer, end);
  if (static_cast<int>(text.size()) < width) text.insert(0, width - text.size(), ' ');
  return text;
}

}  // namespace tessmar
