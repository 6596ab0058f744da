#include "base/Numeric.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

namespace tessmar {

void ThrowInvalidOp() { throw TError(InvalidOpText); }

namespace {
// 10^0 .. 10^19, all that 64 bits hold.
constexpr auto Pow10 = [] {
  std::array<std::uint64_t, 20> p{1};
  for (std::size_t k = 1; k < p.size(); ++k) p[k] = p[k - 1] * 10;
  return p;
}();

// |value| * 10^D rounded to an integer as "%.Df" rounds it, for a finite
// |value| below 2^32 and D <= 9. value is m * 2^-s with an integer m below
// 2^53, so value * 10^D is the integer m * 10^D (below 2^83) over 2^s: its
// quotient, rounded by the remainder with ties to even, is exactly the number
// printf and to_chars round to, at a fraction of their cost.
std::uint64_t ScaledMagnitude(std::uint64_t bits, int decimals) {
  const auto biased = static_cast<int>(bits >> 52 & 0x7FF);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  const std::uint64_t m = biased ? fraction | std::uint64_t{1} << 52 : fraction;
  const int s = biased ? 1075 - biased : 1074;  // above 20: |value| < 2^32
  if (decimals <= 4) {
    // 10^D = 5^D * 2^D, and m * 5^D is below 2^63: the same in 64 bits.
    constexpr std::uint64_t Pow5[] = {1, 5, 25, 125, 625};
    const std::uint64_t scaled = m * Pow5[decimals];
    const int shift = s - decimals;  // above 16
    if (shift >= 64) return 0;       // below 2^63 / 2^64: nearer 0 than half a unit
    const std::uint64_t n = scaled >> shift, rest = scaled & ((std::uint64_t{1} << shift) - 1);
    const std::uint64_t half = std::uint64_t{1} << (shift - 1);
    return n + static_cast<std::uint64_t>((rest > half) | ((rest == half) & (n & 1)));
  }
  const unsigned __int128 scaled = static_cast<unsigned __int128>(m) * Pow10[decimals];
  if (s >= 128) return 0;  // below 2^83 / 2^128: nearer 0 than half a unit
  const auto n = static_cast<std::uint64_t>(scaled >> s);
  const unsigned __int128 rest = scaled & ((static_cast<unsigned __int128>(1) << s) - 1);
  const unsigned __int128 half = static_cast<unsigned __int128>(1) << (s - 1);
  // Up or not without a branch: which way is as hard to foresee as a coin.
  return n + static_cast<std::uint64_t>((rest > half) | ((rest == half) & (n & 1)));
}

// How many decimal digits n has (none for 0), without a branch.
int DecimalDigits(std::uint64_t n) {
  const int guess = std::bit_width(n) * 1233 >> 12;  // log10(2) ~ 1233 / 4096: the count or one less
  return guess + (n >= Pow10[guess] ? 1 : 0);
}

// The digits of n with a point before the last D, written backwards so that
// they end at end, in pairs: the whole part may get one leading 0 more, before
// its first digit. The fraction and the whole part apart: two short chains of
// divisions rather than one long one.
void WriteDigitsBackwards(char* end, std::uint64_t n, int decimals) {
  static constexpr char Pairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  // The usual four decimals by a constant: a multiplication, not a division.
  std::uint64_t whole = decimals == 4 ? n / 10000 : n / Pow10[decimals];
  auto fraction = static_cast<std::uint32_t>(n - whole * Pow10[decimals]);  // below 10^9
  char* d = end;
  int k = 0;
  for (; k + 2 <= decimals; k += 2, fraction /= 100) {
    d -= 2;
    std::memcpy(d, Pairs + 2 * (fraction % 100), 2);
  }
  if (k < decimals) *--d = static_cast<char>('0' + fraction % 10);
  if (decimals > 0) *--d = '.';
  do {
    d -= 2;
    std::memcpy(d, Pairs + 2 * (whole % 100), 2);
    whole /= 100;
  } while (whole);
}
}  // namespace

char* WriteFixed(char* out, double value, int width, int decimals) {
  // to_chars, unlike printf, never follows the user's locale: "." always.
  if (decimals >= 0 && decimals <= 9 && std::fabs(value) < 4294967296.0) {  // false for NaN
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const std::uint64_t n = ScaledMagnitude(bits, decimals);
    const int negative = static_cast<int>(bits >> 63);  // -0 too, as printf writes it
    const int digits = std::max(decimals + 1, DecimalDigits(n));
    const int size = digits + (decimals > 0 ? 1 : 0);  // without the sign
    // Written in a scratch place and copied whole: no branch on how long it is.
    constexpr int Most = 21;  // 19 digits, a point and a leading 0
    char text[2 * Most] = {};
    WriteDigitsBackwards(text + Most, n, decimals);
    for (int k = negative + size; k < width; ++k) *out++ = ' ';
    *out = '-';
    out += negative;
    std::memcpy(out, text + Most - size, Most);
    return out + size;
  }
  char buffer[FixedRoom];
  char* const end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals).ptr;
  for (auto k = end - buffer; k < width; ++k) *out++ = ' ';
  return std::copy(buffer, end, out);
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
