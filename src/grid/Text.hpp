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

// A path's folder, up to and including its last "/" (empty when it has none),
// and its file name, after that "/".
inline std::string FolderOf(std::string_view path) { return std::string(path.substr(0, path.rfind('/') + 1)); }
inline std::string FileNameOf(std::string_view path) { return std::string(path.substr(path.rfind('/') + 1)); }
// The file name without its extension (a leading "." starts no extension).
inline std::string BaseName(std::string_view path) {
  const std::string name = FileNameOf(path);
  const auto dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// Something, a file or a folder, is at path.
bool PathExists(const std::string& path);

}  // namespace tessmar
