#include "base/Path.hpp"

#include <fstream>
#include <iterator>

namespace tessmar {

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
