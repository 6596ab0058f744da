#include "base/Path.hpp"

#include <fstream>
#include <iterator>

#include "base/Error.hpp"

namespace tessmar {

void RefuseToReplace(const std::string& path, const char* kind, bool overwrite) {
  if (!overwrite && PathExists(path)) throw TError(std::string("The ") + kind + " already exists: " + path);
}

std::optional<std::string> ReadWholeStream(std::istream& in) {
  std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) return std::nullopt;
  return bytes;
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  std::ifstream in(NativePath(path), std::ios::binary);
  if (!in) return std::nullopt;
  return ReadWholeStream(in);
}

}  // namespace tessmar
