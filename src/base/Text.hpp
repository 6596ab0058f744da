// Text rules shared by the whole program. Pure functions; thread-safe.
#pragma once

#include <string>
#include <string_view>

namespace tessmar {

// Text without the characters of code 32 or below at either end.
inline std::string_view TrimBlanksView(std::string_view text) {
  const auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

inline std::string TrimBlanks(std::string_view text) { return std::string(TrimBlanksView(text)); }

}  // namespace tessmar
