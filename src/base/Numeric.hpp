// Integer conversion and the "no value" convention shared by the whole core.
//
// Round, Trunc and Floor give 64-bit integers. They throw TError with the text
// "Invalid floating point operation" for NaN, infinities and values outside the
// 64-bit range, so such a value ends the user action the way a floating-point
// fault would. Pure functions; thread-safe.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <string>

#include "base/Error.hpp"

namespace tessmar {

// x rounded to the nearest integer, an exact half to the even neighbour, as a
// double; NaN and infinities pass through. Adding and taking away 2^52 leaves
// no fraction bits, and the addition rounds ties to even: exact, and much
// cheaper than a library call on the conversion's hot path.
inline double RoundToEven(double x) noexcept {
  constexpr double two52 = 4503599627370496.0;
  if (!(std::fabs(x) < two52)) return x;  // already whole, or not a number
  return x >= 0 ? (x + two52) - two52 : (x - two52) + two52;
}

// True when x is finite and its integer part fits in 64 bits.
inline bool FitsInt64(double x) noexcept { return x >= -9223372036854775808.0 && x < 9223372036854775808.0; }

[[noreturn]] void ThrowInvalidOp();

inline std::int64_t CheckedInt64(double whole) {
  if (!FitsInt64(whole)) ThrowInvalidOp();
  return static_cast<std::int64_t>(whole);
}

// Nearest integer, an exact half to the even neighbour (0.5 -> 0, 1.5 -> 2, -0.5 -> 0).
inline std::int64_t Round(double x) { return CheckedInt64(RoundToEven(x)); }
// Towards zero: Trunc(-2.5) = -2.
inline std::int64_t Trunc(double x) { return CheckedInt64(std::trunc(x)); }
// Largest integer not above x.
inline std::int64_t Floor(double x) { return CheckedInt64(std::floor(x)); }

// The value of a node or a point that does not exist: single-precision 0xFFC00000.
inline constexpr std::uint32_t NoValueBits = 0xFFC00000u;
constexpr float NoValue() noexcept { return std::bit_cast<float>(NoValueBits); }

// "%W.Df" of a double, with "." whatever the locale.
std::string FormatFixed(double value, int width, int decimals);
// The same text written at out, which has room for FixedRoom characters (for
// any double, width <= 64 and decimals <= 9); returns its end.
inline constexpr std::size_t FixedRoom = 400;
char* WriteFixed(char* out, double value, int width, int decimals);

// The shortest text that reads back as value, with "." whatever the locale.
std::string ShortestText(double value);

// Decimal digits with "," between groups of three: 538796 -> "538,796".
std::string IntToGroupedStr(std::int64_t value);

}  // namespace tessmar
