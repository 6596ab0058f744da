#include "base/AtomicFile.hpp"

#include <cstdio>
#include <random>

#include "base/Path.hpp"
#include "base/Platform.hpp"

namespace tessmar {

bool TAtomicFile::Create() {
  Discard();
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
  FTemp.clear();
  return false;
}

bool TAtomicFile::Write(const void* data, std::size_t size) {
  if (FFd < 0 || !WriteAll(FFd, data, size)) return false;
  FSize += static_cast<std::int64_t>(size);
  return true;
}

bool TAtomicFile::Commit() {
  if (FFd < 0) return false;
  const bool closed = CloseFile(FFd);
  FFd = -1;
  if (!closed || !MoveIntoPlace(FTemp, FTarget)) {
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
