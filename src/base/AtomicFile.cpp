#include "base/AtomicFile.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include "base/Path.hpp"

namespace tessmar {

void TAtomicFile::Failed(int error) {
  // A folder under the target's name is the one failure whose words the
  // system does not say plainly.
  FError = error == EISDIR ? "it is a folder" : std::strerror(error);
}

bool TAtomicFile::Create() {
  Discard();
  FError.clear();
  const std::string folder = FolderOf(FTarget), name = FileNameOf(FTarget);
  std::random_device entropy;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%08x", static_cast<unsigned>(entropy()));
    FTemp = folder + "." + name + suffix + ".part";
    FFd = ::open(FTemp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (FFd >= 0) return true;
    if (errno != EEXIST) break;
  }
  Failed(errno);
  FTemp.clear();
  return false;
}

bool TAtomicFile::Write(const void* data, std::size_t size) {
  if (FFd < 0) return false;
  const auto* p = static_cast<const unsigned char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(FFd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      Failed(n < 0 ? errno : ENOSPC);  // a write of nothing: the disk is full
      return false;
    }
    p += n;
    size -= static_cast<std::size_t>(n);
    FSize += n;
  }
  return true;
}

bool TAtomicFile::Commit() {
  if (FFd < 0) return false;
  const bool closed = ::close(FFd) == 0;
  FFd = -1;
  if (!closed || std::rename(FTemp.c_str(), FTarget.c_str()) != 0) {
    Failed(errno);
    Discard();
    return false;
  }
  FTemp.clear();
  return true;
}

void TAtomicFile::Discard() noexcept {
  if (FFd >= 0) ::close(FFd);
  FFd = -1;
  if (!FTemp.empty()) ::unlink(FTemp.c_str());
  FTemp.clear();
  FSize = 0;
}

}  // namespace tessmar
