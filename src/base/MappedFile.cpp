#include "base/MappedFile.hpp"

#include <utility>

#include "base/Platform.hpp"

namespace tessmar {

TMappedFile::TMappedFile(TMappedFile&& other) noexcept
    : FData(std::exchange(other.FData, nullptr)),
      FSize(std::exchange(other.FSize, 0)),
      FOpen(std::exchange(other.FOpen, false)),
      FFd(std::exchange(other.FFd, -1)),
      FGuard(std::exchange(other.FGuard, -1)) {}

TMappedFile& TMappedFile::operator=(TMappedFile&& other) noexcept {
  if (this != &other) {
    Close();
    FData = std::exchange(other.FData, nullptr);
    FSize = std::exchange(other.FSize, 0);
    FOpen = std::exchange(other.FOpen, false);
    FFd = std::exchange(other.FFd, -1);
    FGuard = std::exchange(other.FGuard, -1);
  }
  return *this;
}

bool TMappedFile::Open(const std::string& path) {
  Close();
  const int fd = OpenForMapping(path);
  if (fd < 0) return false;
  std::int64_t size = 0;
  bool ok = MappableSize(fd, size);
  if (ok && size > 0) {
    FData = MapFile(fd, size);
    ok = FData != nullptr;
  }
  if (!ok) {
    CloseFile(fd);
    return false;
  }
  FFd = fd;
  FSize = size;
  FOpen = true;
  if (FData) FGuard = GuardMapping(FData, FSize);
  return true;
}

void TMappedFile::AdviseSequential(std::int64_t offset, std::int64_t length) const noexcept {
  if (!FData || offset >= FSize || length <= 0) return;
  if (offset < 0) {
    length += offset;
    offset = 0;
  }
  const std::int64_t end = length > FSize - offset ? FSize : offset + length;
  if (end <= offset) return;
  AdviseSequentialRead(FData + offset, end - offset);
}

bool TMappedFile::Changed() const noexcept { return MappingChanged(FGuard); }

bool TMappedFile::ReadAt(std::int64_t offset, void* out, std::size_t size) const noexcept {
  return ReadFileAt(FFd, offset, out, size);
}

void TMappedFile::Close() noexcept {
  if (FFd >= 0) CloseFile(std::exchange(FFd, -1));
  UnguardMapping(std::exchange(FGuard, -1));
  if (FData) UnmapFile(FData, FSize);
  FData = nullptr;
  FSize = 0;
  FOpen = false;
}

}  // namespace tessmar
