// Paths and whole files: the one place for each rule about them. "/" is the
// separator; a folder's text ends in it. Thread-safe; nothing throws but
// RefuseToReplace.
#pragma once

#include <istream>
#include <optional>
#include <string>
#include <string_view>

namespace tessmar {

// A path's folder, up to and including its last "/" (empty when it has none),
// and its file name, after that "/".
inline std::string FolderOf(std::string_view path) { return std::string(path.substr(0, path.rfind('/') + 1)); }
inline std::string FileNameOf(std::string_view path) { return std::string(path.substr(path.rfind('/') + 1)); }
// Where a path's extension starts: at its last ".", when no "/" follows it;
// npos when it has none.
inline std::size_t ExtensionStart(std::string_view path) {
  const auto mark = path.find_last_of("./");
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

// folder as a folder's text: "/" added when it does not end in one; an empty
// folder stays empty (the current folder, as a prefix).
inline std::string AsFolder(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

// Something, a file or a folder, is at path.
bool PathExists(const std::string& path);
// A regular file is at path (what a grid or settings file must be).
bool FileExists(const std::string& path);
// A folder is at path.
bool IsFolder(const std::string& path);

// Throws TError "The <kind> already exists: <path>" when something is at path
// and may not be replaced: the one refusal of every writer that asks first.
void RefuseToReplace(const std::string& path, const char* kind, bool overwrite);

// A file can be created in folder (empty: the current folder), tried by
// creating one and removing it: permission bits alone do not tell (a read-only
// mount, a folder of the kernel's).
bool FolderIsWritable(const std::string& folder);

// The whole content of a file or a stream; nothing when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path);
std::optional<std::string> ReadWholeStream(std::istream& in);

}  // namespace tessmar
