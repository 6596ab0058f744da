// Text rules shared by the whole program. Pure functions; thread-safe.
#pragma once

#include <string>
#include <string_view>
#include <type_traits>

namespace tessmar {

// Text without the characters of code 32 or below at either end.
inline std::string_view TrimBlanksView(std::string_view text) {
  const auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

inline std::string TrimBlanks(std::string_view text) { return std::string(TrimBlanksView(text)); }

// ASCII letters in one case; every other code unit (of UTF-8 or UTF-16 text
// too) stays as it is, whatever the user's locale.
template <class Char>
requires std::is_integral_v<Char>
constexpr Char AsciiUpper(Char c) noexcept {
  return c >= Char('a') && c <= Char('z') ? static_cast<Char>(c - Char('a') + Char('A')) : c;
}
template <class Char>
requires std::is_integral_v<Char>
constexpr Char AsciiLower(Char c) noexcept {
  return c >= Char('A') && c <= Char('Z') ? static_cast<Char>(c - Char('A') + Char('a')) : c;
}
inline std::string AsciiLower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = AsciiLower(c);
  return lower;
}

}  // namespace tessmar
