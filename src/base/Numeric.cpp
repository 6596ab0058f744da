#include "base/Numeric.hpp"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

namespace tessmar {

void ThrowInvalidOp() { throw TError(InvalidOpText); }

namespace {
constexpr std::uint64_t Pow10[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};

// "%.Df" of a finite |value| below 2^32, D <= 9, written backwards so that it
// ends at end; its start. value is m * 2^-s with an integer m below 2^53, so
// value * 10^D is the integer m * 10^D (below 2^83) over 2^s: its quotient,
// rounded by the remainder with ties to even, is exactly the number printf
// and to_chars round to, at a fraction of their cost.
char* WriteSmallFixed(char* end, double value, int decimals) {
  const auto bits = std::bit_cast<std::uint64_t>(value);
  const auto biased = static_cast<int>(bits >> 52 & 0x7FF);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  const std::uint64_t m = biased ? fraction | std::uint64_t{1} << 52 : fraction;
  const int s = biased ? 1075 - biased : 1074;  // above 20: |value| < 2^32
  const unsigned __int128 scaled = static_cast<unsigned __int128>(m) * Pow10[decimals];
  std::uint64_t n = 0;
  if (s < 128) {
    n = static_cast<std::uint64_t>(scaled >> s);
    const unsigned __int128 rest = scaled & ((static_cast<unsigned __int128>(1) << s) - 1);
    const unsigned __int128 half = static_cast<unsigned __int128>(1) << (s - 1);
    if (rest > half || (rest == half && (n & 1))) ++n;
  }  // else below 2^83 / 2^128: nearer 0 than half a unit
  static constexpr char Pairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  char* d = end;
  int k = 0;
  for (; k + 2 <= decimals; k += 2, n /= 100) {
    d -= 2;
    std::memcpy(d, Pairs + 2 * (n % 100), 2);
  }
  if (k < decimals) {
    *--d = static_cast<char>('0' + n % 10);
    n /= 10;
  }
  if (decimals > 0) *--d = '.';
  do {
    *--d = static_cast<char>('0' + n % 10);
    n /= 10;
  } while (n);
  if (bits >> 63) *--d = '-';
  return d;
}
}  // namespace

char* WriteFixed(char* out, double value, int width, int decimals) {
  // to_chars, unlike printf, never follows the user's locale: "." always.
  char buffer[FixedRoom];
  char* const end = buffer + sizeof buffer;
  char* start = end;
  if (decimals >= 0 && decimals <= 9 && std::fabs(value) < 4294967296.0) {  // false for NaN
    start = WriteSmallFixed(end, value, decimals);
  } else {
    const auto written = std::to_chars(buffer, end, value, std::chars_format::fixed, decimals).ptr;
    start = end - (written - buffer);
    std::memmove(start, buffer, static_cast<std::size_t>(written - buffer));
  }
  while (end - start < width && start > buffer) *--start = ' ';
  const auto size = static_cast<std::size_t>(end - start);
  std::memcpy(out, start, size);
  return out + size;
}

std::string FormatFixed(double value, int width, int decimals) {
  char buffer[FixedRoom];
  return std::string(buffer, WriteFixed(buffer, value, width, decimals));
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
