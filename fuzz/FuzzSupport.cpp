#include "FuzzSupport.hpp"

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace tessmar::fuzz {

const test::TTempDir& Scratch() {
  static const test::TTempDir dir;
  return dir;
}

std::string WriteInput(const std::string& name, const std::uint8_t* data, std::size_t size) {
  const std::string path = Scratch().File(name);
  std::ofstream out;
  out.rdbuf()->pubsetbuf(nullptr, 0);  // one write of the whole input, no buffer to allocate per run
  out.open(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  out.close();
  if (!out) Fail("the scratch file could not be written", __FILE__, __LINE__);
  return path;
}

void Fail(const char* what, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, what);
  std::abort();
}

}  // namespace tessmar::fuzz
