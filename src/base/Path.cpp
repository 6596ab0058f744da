#include "base/Path.hpp"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/AtomicFile.hpp"
#include "base/Error.hpp"

namespace tessmar {

std::string NormalPath(const std::string& path) { return Utf8Path(NativePath(path).lexically_normal()); }

std::string AbsolutePath(const std::string& path) {
  return Utf8Path(std::filesystem::absolute(NativePath(path)).lexically_normal());
}

bool CreateFolders(const std::string& path) {
  std::error_code ignored;  // the test below says it
  std::filesystem::create_directories(NativePath(path), ignored);
  return IsFolder(path);
}

void RefuseToReplace(const std::string& path, const char* kind, bool overwrite) {
  const TWritePlace place = WritePlace(path);
  if (const std::string why = NotReplaceable(place); !why.empty()) throw TError("Cannot write " + path + ": " + why);
  if (!overwrite && place.Kind == TFileKind::File)
    throw TError(std::string("The ") + kind + " already exists: " + path);
}

std::optional<std::string> ReadWholeStream(std::istream& in) {
  // In blocks, not a call per byte; a read that fails (a folder, a disk
  // error) sets bad instead of throwing.
  std::string bytes;
  char block[16384];
  while (in.read(block, sizeof block) || in.gcount() > 0) bytes.append(block, static_cast<std::size_t>(in.gcount()));
  if (in.bad()) return std::nullopt;
  return bytes;
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  std::ifstream in(NativePath(path), std::ios::binary);
  if (!in) return std::nullopt;
  return ReadWholeStream(in);
}

}  // namespace tessmar
