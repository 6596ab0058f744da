#include "base/AtomicFile.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include "base/Error.hpp"
#include "base/Path.hpp"
#include "base/Platform.hpp"

namespace tessmar {

void TAtomicFile::Failed(int error) { FError = SystemReason(error); }

bool TAtomicFile::Create() {
  Discard();
  FError.clear();
  const std::string folder = FolderOf(FTarget), name = FileNameOf(FTarget);
  std::random_device entropy;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%08x", static_cast<unsigned>(entropy()));
    FTemp = folder + "." + name + suffix + ".part";
    bool taken = false;
    FFd = CreateNewFile(FTemp, taken);
    if (FFd >= 0) return true;
    if (!taken) break;
  }
  Failed(errno);
  FTemp.clear();
  return false;
}

bool TAtomicFile::Write(const void* data, std::size_t size) {
  if (FFd < 0) return false;
  if (!WriteAll(FFd, data, size)) {
    Failed(errno);
    return false;
  }
  FSize += static_cast<std::int64_t>(size);
  return true;
}

bool TAtomicFile::Commit() {
  if (FFd < 0) return false;
  const bool closed = CloseFile(FFd);
  FFd = -1;
  if (!closed || !MoveIntoPlace(FTemp, FTarget)) {
    Failed(errno);
    Discard();
    return false;
  }
  FTemp.clear();
  return true;
}

void TAtomicFile::Discard() noexcept {
  if (FFd >= 0) CloseFile(FFd);
  FFd = -1;
  if (!FTemp.empty()) RemoveFile(FTemp);
  FTemp.clear();
  FSize = 0;
}

}  // namespace tessmar
