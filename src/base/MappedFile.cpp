#include "base/MappedFile.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace tessmar {

TMappedFile::TMappedFile(TMappedFile&& other) noexcept
    : FData(std::exchange(other.FData, nullptr)),
      FSize(std::exchange(other.FSize, 0)),
      FOpen(std::exchange(other.FOpen, false)) {}

TMappedFile& TMappedFile::operator=(TMappedFile&& other) noexcept {
  if (this != &other) {
    Close();
    FData = std::exchange(other.FData, nullptr);
    FSize = std::exchange(other.FSize, 0);
    FOpen = std::exchange(other.FOpen, false);
  }
  return *this;
}

bool TMappedFile::Open(const std::string& path) {
  Close();
  // O_NONBLOCK keeps a FIFO given by mistake from hanging the open.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat info {};
  bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= 0;
  if (ok && info.st_size > 0) {
    void* map = ::mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ, MAP_SHARED, fd, 0);
    ok = map != MAP_FAILED;
    if (ok) FData = static_cast<const unsigned char*>(map);
  }
  ::close(fd);  // the mapping keeps the file's contents reachable
  if (!ok) return false;
  FSize = info.st_size;
  FOpen = true;
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
  // madvise takes whole pages.
  const auto page = static_cast<std::int64_t>(::sysconf(_SC_PAGESIZE));
  const std::int64_t start = page > 0 ? offset / page * page : 0;
  void* at = const_cast<unsigned char*>(FData + start);
  const auto size = static_cast<std::size_t>(end - start);
  ::madvise(at, size, MADV_SEQUENTIAL);
  ::madvise(at, size, MADV_WILLNEED);
}

void TMappedFile::Close() noexcept {
  if (FData) ::munmap(const_cast<unsigned char*>(FData), static_cast<std::size_t>(FSize));
  FData = nullptr;
  FSize = 0;
  FOpen = false;
}

}  // namespace tessmar
