#include "base/MappedFile.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <mutex>
#include <utility>

namespace tessmar {

namespace {

// The mapped ranges the SIGBUS handler may mend. A slot's Begin is 0 when it is
// free and 1 while it is being filled, so the handler sees a range only once it
// is complete; all it touches are lock-free atomics.
struct TGuardSlot {
  std::atomic<std::uintptr_t> Begin{0}, End{0};
  std::atomic<bool> Changed{false};
};
constexpr int GuardSlots = 64;  // mappings open at once; more go unguarded
TGuardSlot Slots[GuardSlots];
static_assert(std::atomic<std::uintptr_t>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);

std::uintptr_t PageSize = 4096;
struct sigaction Previous {};

// A bus error in a guarded mapping: the file's page is gone (the file was
// truncated). A private page of zeros takes its place and the load that faulted
// runs again; the mapping is marked. Any other bus error goes where it went
// before.
void OnBusError(int signal, siginfo_t* info, void* context) {
  const auto at = reinterpret_cast<std::uintptr_t>(info->si_addr);
  for (TGuardSlot& slot : Slots) {
    const std::uintptr_t begin = slot.Begin.load(std::memory_order_acquire);
    if (begin > 1 && at >= begin && at < slot.End.load(std::memory_order_acquire)) {
      void* page = reinterpret_cast<void*>(at & ~(PageSize - 1));
      if (::mmap(page, PageSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED) {
        slot.Changed.store(true, std::memory_order_release);
        return;
      }
    }
  }
  if ((Previous.sa_flags & SA_SIGINFO) && Previous.sa_sigaction) {
    Previous.sa_sigaction(signal, info, context);
  } else if (Previous.sa_handler != SIG_DFL && Previous.sa_handler != SIG_IGN) {
    Previous.sa_handler(signal);
  } else {
    ::signal(signal, SIG_DFL);  // the fault repeats on return, and now ends the process as it would have
  }
}

void InstallGuard() {
  static std::once_flag once;
  std::call_once(once, [] {
    PageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &Previous);
  });
}

// A slot for the range, or -1 when all are taken.
int Guard(const unsigned char* data, std::int64_t size) {
  InstallGuard();
  for (int k = 0; k < GuardSlots; ++k) {
    std::uintptr_t expected = 0;
    if (Slots[k].Begin.compare_exchange_strong(expected, 1, std::memory_order_acq_rel)) {
      Slots[k].Changed.store(false, std::memory_order_relaxed);
      Slots[k].End.store(reinterpret_cast<std::uintptr_t>(data) + static_cast<std::uintptr_t>(size),
                         std::memory_order_relaxed);
      Slots[k].Begin.store(reinterpret_cast<std::uintptr_t>(data), std::memory_order_release);
      return k;
    }
  }
  return -1;
}

void Unguard(int slot) {
  if (slot >= 0) Slots[slot].Begin.store(0, std::memory_order_release);
}

}  // namespace

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
  if (!ok) {
    ::close(fd);
    return false;
  }
  FFd = fd;
  FSize = info.st_size;
  FOpen = true;
  if (FData) FGuard = Guard(FData, FSize);
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

bool TMappedFile::Changed() const noexcept {
  return FGuard >= 0 && Slots[FGuard].Changed.load(std::memory_order_acquire);
}

bool TMappedFile::ReadAt(std::int64_t offset, void* out, std::size_t size) const noexcept {
  auto* at = static_cast<unsigned char*>(out);
  while (size > 0) {
    const ssize_t n = ::pread(FFd, at, size, offset);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    at += n;
    offset += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

void TMappedFile::Close() noexcept {
  if (FFd >= 0) ::close(std::exchange(FFd, -1));
  Unguard(std::exchange(FGuard, -1));
  if (FData) ::munmap(const_cast<unsigned char*>(FData), static_cast<std::size_t>(FSize));
  FData = nullptr;
  FSize = 0;
  FOpen = false;
}

}  // namespace tessmar
