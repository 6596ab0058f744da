#include "base/CoordText.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
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
    c = AsciiUpper(c);
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

namespace {
// A plain decimal number of at most 15 digits ("-35.605712", "139"), read at a
// fraction of the cost of the general rule below, the bits it reads: its digits
// make an integer below 2^53 and 10^fraction digits is exact, so their quotient
// is the correctly rounded value from_chars gives; (0 / 60 + 0) / 60 adds 0
// to it. Nothing for anything else.
std::optional<double> PlainDecimal(std::string_view text) {
  static constexpr double Pow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                     1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  std::size_t i = 0;
  const bool negative = text[0] == '-';
  if (text[0] == '+' || text[0] == '-') ++i;
  std::uint64_t digits = 0;
  int figures = 0, fraction = -1;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (IsDigit(c)) {
      digits = digits * 10 + static_cast<std::uint64_t>(c - '0');
      ++figures;
      if (fraction >= 0) ++fraction;
    } else if (c == '.' && fraction < 0 && figures > 0) {
      fraction = 0;
    } else {
      return std::nullopt;
    }
  }
  if (figures == 0 || figures > 15 || fraction == 0) return std::nullopt;
  const double value = static_cast<double>(digits) / Pow10[std::max(fraction, 0)];
  return negative ? -value : value;
}
}  // namespace

std::optional<double> PlainCoordinate(std::string_view text, TAxis axis) {
  if (text.empty()) return std::nullopt;
  const auto plain = PlainDecimal(text);
  if (plain && std::fabs(*plain) <= (axis == TAxis::Latitude ? 90 : 360)) return plain;
  return std::nullopt;
}

TStrictCoordinate ReadStrictCoordinate(std::string_view text, TAxis axis) {
  const bool latitude = axis == TAxis::Latitude;
  const auto refuse = [](std::string reason) { return TStrictCoordinate{std::nullopt, std::move(reason)}; };
  text = TrimBlanksView(text);
  if (text.empty()) return refuse("it is empty");
  if (const auto plain = PlainCoordinate(text, axis)) return {plain, {}};

  struct TNumber {
    std::string_view Digits;
    bool Fraction;
  };
  // Three numbers at most are kept: a coordinate with more is refused below.
  std::array<TNumber, 3> numbers{};
  std::size_t count = 0;
  bool sign = false, letter = false, letterBeforeNumbers = false;
  const char* hemispheres = latitude ? "NS" : "EW";
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    const char upper = AsciiUpper(c);
    if (IsDigit(c) || c == '.') {
      if (letter && !letterBeforeNumbers) return refuse("a hemisphere letter stands between numbers");
      const std::size_t start = i;
      while (i < text.size() && (IsDigit(text[i]) || text[i] == '.')) ++i;
      const std::string_view digits = text.substr(start, i - start);
      if (!ToCoordinateNumber(digits)) return refuse("\"" + std::string(digits) + "\" is not a number");
      if (count < numbers.size()) numbers[count] = {digits, digits.find('.') != std::string_view::npos};
      ++count;
      continue;
    }
    if (c == '+' || c == '-') {
      if (i != 0) return refuse(std::string("a \"") + c + "\" stands after the start");
      sign = true;
    } else if (upper == hemispheres[0] || upper == hemispheres[1]) {
      if (letter) return refuse("it has two hemisphere letters");
      letter = true;
      letterBeforeNumbers = count == 0;
    } else if (upper == 'N' || upper == 'S' || upper == 'E' || upper == 'W') {
      return refuse(std::string("\"") + c + "\" is no hemisphere of a " +
                    (latitude ? "latitude (N or S)" : "longitude (E or W)"));
    } else if (static_cast<unsigned char>(c) == 0xC2 && i + 1 < text.size() &&
               static_cast<unsigned char>(text[i + 1]) == 0xB0) {
      ++i;  // the degree sign, in UTF-8
    } else if (c == ',') {
      return refuse("a comma is no decimal separator here");
    } else if (!(c == ' ' || c == '\t' || c == ':' || c == '\'' || c == '"')) {
      const bool printable = static_cast<unsigned char>(c) >= 32 && static_cast<unsigned char>(c) < 127;
      return refuse(printable ? std::string("\"") + c + "\" is not part of a coordinate"
                              : "it holds a character that is not part of a coordinate");
    }
    ++i;
  }
  if (count == 0) return refuse("it has no digit");
  if (sign && letter) return refuse("it has both a sign and a hemisphere letter");
  if (count > numbers.size()) return refuse("it has more than three numbers");
  for (std::size_t k = 0; k + 1 < count; ++k)
    if (numbers[k].Fraction) return refuse("only its last number may have a fraction");
  for (std::size_t k = 1; k < count; ++k)
    if (*ToCoordinateNumber(numbers[k].Digits) >= 60)
      return refuse(std::string(k == 1 ? "minutes" : "seconds") + " must be below 60");
  const double value = ParseCoordinate(text);
  if (std::isnan(value)) return refuse("it does not read");
  if (latitude ? std::fabs(value) > 90 : std::fabs(value) > 360)
    return refuse(latitude ? "a latitude lies within -90..90" : "a longitude lies within -360..360");
  return {value, {}};
}

double ShownLongitude(double lon) noexcept {
  if (lon > 1e9) lon = std::fmod(lon, 360.0);
  while (lon > 180) lon -= 360;
  return lon;
}

std::string FormatLatLon(double value, bool isLatitude) {
  if (isLatitude) return FormatFixed(std::fabs(value), 9, 6) + (value < 0 ? "S" : "N");
  value = ShownLongitude(value);
  return FormatFixed(std::fabs(value), 10, 6) + (value < 0 ? "W" : "E");
}

}  // namespace tessmar
