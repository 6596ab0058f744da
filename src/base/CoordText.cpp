#include "base/CoordText.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <string>

#include "base/Numeric.hpp"
#include "base/Text.hpp"

namespace tessmar {

namespace {
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Decimal text in the C locale's syntax, which from_chars reads without ever
// looking at the locale; the whole text must be consumed.
std::optional<double> ToDouble(std::string_view text) {
  if (text.empty()) return std::nullopt;
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (end != text.data() + text.size()) return std::nullopt;
  if (error == std::errc::result_out_of_range) {
    // Too small for a double reads as 0; too large does not read.
    const auto e = text.find_first_of("eE");
    const auto whole = text.substr(0, std::min(e, text.find('.')));
    const bool tiny = e == std::string_view::npos ? whole.find_first_not_of('0') == std::string_view::npos
                                                  : e + 1 < text.size() && text[e + 1] == '-';
    if (tiny) return 0.0;
    return std::nullopt;
  }
  if (error != std::errc{}) return std::nullopt;
  return value;
}

// Digits with at most one ".", at least one digit: "35", "37.8", ".5", "5.".
std::optional<double> ToCoordinateNumber(std::string_view digits) {
  int points = 0, figures = 0;
  for (char c : digits) (c == '.' ? points : figures)++;
  if (points > 1 || figures == 0) return std::nullopt;
  return ToDouble(digits);
}
}  // namespace

double ParseCoordinate(std::string_view text) {
  text = TrimBlanksView(text);
  if (text.empty()) return NoValue();

  bool negative = false;
  double numbers[3] = {0, 0, 0};
  int count = 0;
  std::string digits;
  bool failed = false;
  const auto endNumber = [&] {
    if (digits.empty()) return;
    const auto value = ToCoordinateNumber(digits);
    if (!value)
      failed = true;
    else if (count < 3)
      numbers[count] = *value;
    digits.clear();
    ++count;
  };
  for (char c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c == '+') {
      if (count == 0) negative = false;
    } else if (c == '-') {
      if (count == 0) negative = true;
    } else if (IsDigit(c) || c == '.') {
      digits += c;
    } else if (c == 'N' || c == 'E') {
      negative = false;
    } else if (c == 'S' || c == 'W') {
      negative = true;
    } else {
      endNumber();
    }
  }
  endNumber();  // the space that ends the text
  if (failed) return NoValue();
  const double result = (numbers[2] / 60 + numbers[1]) / 60 + numbers[0];
  return negative ? -result : result;
}

std::optional<double> ReadNumber(std::string_view text) {
  text = TrimBlanksView(text);
  // Optional sign, digits with one optional ".", optional exponent; from_chars
  // would also take "inf", "nan" and hexadecimal, which are not numbers here.
  std::size_t i = 0;
  const bool minus = i < text.size() && text[i] == '-';
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  const std::size_t start = i;
  int figures = 0;
  while (i < text.size() && IsDigit(text[i])) ++i, ++figures;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) ++i, ++figures;
  }
  if (figures == 0) return std::nullopt;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t k = i + 1;
    if (k < text.size() && (text[k] == '+' || text[k] == '-')) ++k;
    const std::size_t exponentDigits = k;
    while (k < text.size() && IsDigit(text[k])) ++k;
    if (k == exponentDigits) return std::nullopt;
    i = k;
  }
  if (i != text.size()) return std::nullopt;
  const auto value = ToDouble(text.substr(start));
  if (!value) return std::nullopt;
  return minus ? -*value : *value;
}

double ParseNumber(std::string_view text) { return ReadNumber(text).value_or(0); }

}  // namespace tessmar
