#include "grid/Text.hpp"

#include <sys/stat.h>

namespace tessmar {

bool PathExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

}  // namespace tessmar
