// Paths and whole files: the one place for each rule about them. A folder's
// text ends in a separator (PathSeparators: "/", on Windows also "\\").
// Thread-safe; nothing throws but RefuseToReplace.
#pragma once

#include <istream>
#include <optional>
#include <string>
#include <string_view>

#include "base/Platform.hpp"

namespace tessmar {

// A path's folder, up to and including its last separator (empty when it has
// none), and its file name, after that separator.
inline std::string FolderOf(std::string_view path) {
  return std::string(path.substr(0, path.find_last_of(PathSeparators) + 1));
}
inline std::string FileNameOf(std::string_view path) {
  return std::string(path.substr(path.find_last_of(PathSeparators) + 1));
}
// A name a person typed, without the folder typed before it: "/" and "\" end
// a folder on every system (a folder typed the Windows way is no part of a name).
inline std::string TypedFileName(std::string_view name) {
  return std::string(name.substr(name.find_last_of("/\\") + 1));
}
// The path has a folder part: it is more than a file name.
inline bool HasFolder(std::string_view path) { return path.find_first_of(PathSeparators) != std::string_view::npos; }
// Where a path's extension starts: at its last ".", when no separator follows
// it; npos when it has none.
inline std::size_t ExtensionStart(std::string_view path) {
  const auto mark = path.find_last_of(std::string(".").append(PathSeparators));
  return mark != std::string_view::npos && path[mark] == '.' ? mark : std::string_view::npos;
}
// The extension, "." included ("" when none), as written.
inline std::string ExtensionOf(std::string_view path) {
  const auto dot = ExtensionStart(path);
  return dot == std::string_view::npos ? std::string() : std::string(path.substr(dot));
}
// The file name without its extension (a leading "." starts no extension).
inline std::string BaseName(std::string_view path) {
  const std::string name = FileNameOf(path);
  const auto dot = ExtensionStart(name);
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// folder as a folder's text: a separator added when it does not end in one,
// the one it already uses ("/data/geoid" stays "/"-separated on Windows too);
// an empty folder stays empty (the current folder, as a prefix).
inline std::string AsFolder(std::string folder) {
  if (folder.empty()) return folder;
  const std::size_t last = folder.find_last_of(PathSeparators);
  if (last == folder.size() - 1) return folder;
  folder += last != std::string::npos && folder[last] != ':' ? folder[last] : PreferredSeparator;
  return folder;
}

// The path without "." steps, ".." steps that follow a folder's name, or
// doubled separators, worked out on its text alone; and the same from the
// current folder (throws std::filesystem::filesystem_error when there is none).
std::string NormalPath(const std::string& path);
std::string AbsolutePath(const std::string& path);

// Makes the folder and those above it that are missing; whether a folder is
// then at path.
bool CreateFolders(const std::string& path);

// The one overwrite rule of every writer that asks first, to be applied before
// the work starts: throws TError "The <kind> already exists: <path>" when a
// file is at path and overwrite is false, and "Cannot write <path>: " and why
// (NotReplaceable: a folder, a device, ...) when what is there is no file to
// replace, whatever overwrite says.
void RefuseToReplace(const std::string& path, const char* kind, bool overwrite);

// The whole content of a file or a stream; nothing when it cannot be read.
// (PathExists, FileExists and FolderIsWritable are the platform's: Platform.hpp.)
std::optional<std::string> ReadWholeFile(const std::string& path);
std::optional<std::string> ReadWholeStream(std::istream& in);

}  // namespace tessmar
