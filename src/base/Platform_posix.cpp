// The platform's calls on Linux (POSIX and a few of Linux's own).
#include <dlfcn.h>
#include <fcntl.h>
#include <fontconfig/fontconfig.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "base/Path.hpp"
#include "base/Platform.hpp"

namespace tessmar {

std::filesystem::path NativePath(const std::string& utf8) { return utf8; }
std::string Utf8Path(const std::filesystem::path& path) { return path.string(); }

bool PathExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

bool FileExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool IsFolder(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::int64_t FileStamp(const std::string& path) {
  struct statx info {};
  if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME | STATX_MTIME, &info) != 0) return 0;
  const auto ns = [](const statx_timestamp& t) { return std::int64_t{t.tv_sec} * 1000000000 + t.tv_nsec; };
  const std::int64_t written = (info.stx_mask & STATX_MTIME) ? ns(info.stx_mtime) : 0;
  const std::int64_t created = (info.stx_mask & STATX_BTIME) ? ns(info.stx_btime) : 0;
  return std::max(written, created);
}

std::int64_t FileSize(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? static_cast<std::int64_t>(info.st_size) : 0;
}

int OpenForReading(const std::string& path) { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC); }

// O_NONBLOCK keeps a FIFO given by mistake from hanging the open.
int OpenForMapping(const std::string& path) {
  return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
}

bool MappableSize(int fd, std::int64_t& size) {
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) return false;
  size = info.st_size;
  return true;
}

const unsigned char* MapFile(int fd, std::int64_t size) {
  void* map = ::mmap(nullptr, static_cast<std::size_t>(size), PROT_READ, MAP_SHARED, fd, 0);
  return map == MAP_FAILED ? nullptr : static_cast<const unsigned char*>(map);
}

void UnmapFile(const unsigned char* data, std::int64_t size) noexcept {
  ::munmap(const_cast<unsigned char*>(data), static_cast<std::size_t>(size));
}

void AdviseSequentialRead(const unsigned char* data, std::int64_t size) noexcept {
  // madvise takes whole pages.
  const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto from = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t start = page > 0 ? from / page * page : from;
  void* at = reinterpret_cast<void*>(start);
  const auto length = static_cast<std::size_t>(from - start + static_cast<std::uintptr_t>(size));
  ::madvise(at, length, MADV_SEQUENTIAL);
  ::madvise(at, length, MADV_WILLNEED);
}

bool ReadFileAt(int fd, std::int64_t offset, void* out, std::size_t size) noexcept {
  auto* at = static_cast<unsigned char*>(out);
  while (size > 0) {
    const ssize_t n = ::pread(fd, at, size, offset);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    at += n;
    offset += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// --- The bus error guard -------------------------------------------------------

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

}  // namespace

int GuardMapping(const unsigned char* data, std::int64_t size) {
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

bool MappingChanged(int slot) noexcept { return slot >= 0 && Slots[slot].Changed.load(std::memory_order_acquire); }

void UnguardMapping(int slot) noexcept {
  if (slot >= 0) Slots[slot].Begin.store(0, std::memory_order_release);
}

// --- Writing -------------------------------------------------------------------

int CreateNewFile(const std::string& path, bool& alreadyExists) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  alreadyExists = fd < 0 && errno == EEXIST;
  return fd;
}

std::ptrdiff_t ReadSome(int fd, void* out, std::size_t size) { return ::read(fd, out, size); }

bool WriteAll(int fd, const void* data, std::size_t size) {
  const auto* p = static_cast<const unsigned char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;  // nothing written: the disk is full
      return false;
    }
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool CloseFile(int fd) noexcept { return ::close(fd) == 0; }

bool MoveIntoPlace(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

void RemoveFile(const std::string& path) noexcept { ::unlink(path.c_str()); }

namespace {
TFileKind KindOf(mode_t mode) {
  if (S_ISREG(mode)) return TFileKind::File;
  if (S_ISDIR(mode)) return TFileKind::Folder;
  if (S_ISCHR(mode) || S_ISBLK(mode)) return TFileKind::Device;
  if (S_ISFIFO(mode)) return TFileKind::Pipe;
  if (S_ISSOCK(mode)) return TFileKind::Socket;
  return TFileKind::Other;
}
}  // namespace

TWritePlace WritePlace(const std::string& path) {
  TWritePlace place;
  place.Path = path;
  struct stat info {};
  // Nothing there, or nothing the system lets us see: creating the file says why.
  if (::lstat(path.c_str(), &info) != 0) return place;
  if (!S_ISLNK(info.st_mode)) {
    place.Kind = KindOf(info.st_mode);
    return place;
  }
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (!resolved || ::stat(resolved, &info) != 0) {
    place.Error = errno;
    std::free(resolved);
    std::error_code error;
    place.Link = std::filesystem::read_symlink(path, error).string();
    place.Kind = TFileKind::BrokenLink;
    return place;
  }
  place.Path = place.Link = resolved;
  std::free(resolved);
  place.Kind = KindOf(info.st_mode);
  return place;
}

// --- Folders -------------------------------------------------------------------

bool FolderIsWritable(const std::string& folder) {
  std::string probe = (folder.empty() ? "./" : AsFolder(folder)) + "$$$XXXXXX";
  const int fd = ::mkstemp(probe.data());
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

std::string ExecutablePath() {
  std::error_code error;
  const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string("./tessmar") : path.string();
}

std::string ModulePathOf(const void* address) {
  Dl_info info{};
  if (::dladdr(address, &info) == 0 || !info.dli_fname) return {};
  std::error_code error;
  const std::filesystem::path path = std::filesystem::canonical(info.dli_fname, error);
  return error ? std::string(info.dli_fname) : path.string();
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) { return {argv, argv + argc}; }

bool UserLocaleIsJapanese() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value && *value) return std::string_view(value).substr(0, 2) == "ja";
  }
  return false;
}

void UseEnglishFormats() { std::setlocale(LC_NUMERIC, "C"); }

std::string EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

void SetEnvironmentDefault(const char* name, const char* value) { ::setenv(name, value, 0); }

std::string UserSettingsRoot() {
  if (const char* appData = std::getenv("APPDATA"); appData && *appData) return AsFolder(appData);
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config) return AsFolder(config);
  const char* home = std::getenv("HOME");
  return std::string(home ? home : "") + "/.config/";
}

std::string UserDataRoot() {
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) return AsFolder(data);
  const char* home = std::getenv("HOME");
  return home && *home ? std::string(home) + "/.local/share/" : "";
}

std::vector<std::string> SystemDataRoots() {
  const char* dirs = std::getenv("XDG_DATA_DIRS");
  const std::string_view list = dirs && *dirs ? dirs : "/usr/local/share/:/usr/share/";
  std::vector<std::string> roots;
  for (std::size_t from = 0; from <= list.size();) {
    const std::size_t to = std::min(list.find(':', from), list.size());
    if (to > from) roots.push_back(AsFolder(std::string(list.substr(from, to - from))));
    from = to + 1;
  }
  return roots;
}

std::string BundledDataRoot() { return {}; }

// --- Typefaces ----------------------------------------------------------------

namespace {
// The file of the first typeface that fontconfig matches to a name; "" when none.
std::string MatchFont(FcConfig* config, const char* name) {
  std::string path;
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(name));
  FcConfigSubstitute(config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  if (FcPattern* match = FcFontMatch(config, pattern, &result)) {
    FcChar8* file = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) path = reinterpret_cast<const char*>(file);
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  return path;
}
}  // namespace

std::vector<std::string> SansTypefaceFiles() {
  FcConfig* config = FcInitLoadConfigAndFonts();
  if (!config) return {};
  std::vector<std::string> files;
  for (const char* name : {"DejaVu Sans:style=Book", "sans-serif"})
    if (std::string file = MatchFont(config, name); !file.empty()) files.push_back(std::move(file));
  FcConfigDestroy(config);
  return files;
}

// --- Modules -------------------------------------------------------------------

void* LoadModule(const std::string& path, std::string& why) {
  void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    why = ::dlerror();
    if (why.starts_with(path + ": ")) why.erase(0, path.size() + 2);  // the caller names the file
  }
  return module;
}

void* ModuleFunction(void* module, const char* name) { return ::dlsym(module, name); }

// --- The console ---------------------------------------------------------------

namespace {
volatile std::sig_atomic_t Interrupted = 0;

extern "C" void OnInterrupt(int) { Interrupted = 1; }
}  // namespace

void CatchConsoleInterrupt() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  // A file-size limit then shows as a failed write, not a killed process.
  std::signal(SIGXFSZ, SIG_IGN);
  // A reader that goes away ends the program quietly, as it does any filter,
  // even when whoever started it had set that signal aside.
  std::signal(SIGPIPE, SIG_DFL);
}

bool ConsoleInterrupted() noexcept { return Interrupted != 0; }

bool InputPending(int fd) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, 0) != 0;
}

bool DisplayAvailable() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
    if (const char* value = std::getenv(name); value && *value) return true;
  return false;
}

bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }
bool StdoutIsTerminal() { return ::isatty(STDOUT_FILENO) == 1; }

int StderrColumns() {
  struct winsize size {};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
}

int LastWriteError() { return errno; }

void UseBinaryStandardStreams() {}  // POSIX streams are bytes already

}  // namespace tessmar
