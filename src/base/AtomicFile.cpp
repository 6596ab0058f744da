#include "base/AtomicFile.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include "base/Error.hpp"
#include "base/Path.hpp"
#include "base/Platform.hpp"

namespace tessmar {

std::string NotReplaceable(const TWritePlace& place) {
  const char* what = nullptr;
  switch (place.Kind) {
    case TFileKind::Missing:
    case TFileKind::File: return {};
    case TFileKind::Folder: what = "a folder"; break;
    case TFileKind::Device: what = "a device, not a file"; break;
    case TFileKind::Pipe: what = "a pipe, not a file"; break;
    case TFileKind::Socket: what = "a socket, not a file"; break;
    case TFileKind::Other: what = "not a regular file"; break;
    case TFileKind::BrokenLink:
      if (place.Link.empty()) return "it is a symbolic link that cannot be followed";
      return "it is a symbolic link to " + place.Link +
             (place.Error == ENOENT ? ", which does not exist"
                                    : ", which cannot be followed: " + SystemReason(place.Error));
  }
  return place.Link.empty() ? std::string("it is ") + what : "it is a symbolic link to " + place.Link + ", " + what;
}

void TAtomicFile::Failed(int error) { FError = SystemReason(error); }

bool TAtomicFile::Create() {
  Discard();
  FError.clear();
  const TWritePlace place = WritePlace(FTarget);
  FError = NotReplaceable(place);
  if (!FError.empty()) return false;
  FPlace = place.Path;
  const std::string folder = FolderOf(FPlace), name = FileNameOf(FPlace);
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
  // Something else may have taken the name while the file was written (a
  // conversion takes minutes): the rename would replace it, whatever it is.
  if (closed) FError = NotReplaceable(WritePlace(FPlace));
  if (!FError.empty()) {
    Discard();
    return false;
  }
  if (!closed || !MoveIntoPlace(FTemp, FPlace)) {
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
