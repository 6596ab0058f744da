// The platform's calls on Windows (Win32 and the C runtime's descriptors).
// Names go to the system as UTF-16: the program's UTF-8 manifest makes the
// ANSI calls UTF-8 too, but only on Windows 10 1903 and later.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// After windows.h:
#include <fcntl.h>
#include <io.h>
#include <knownfolders.h>
#include <shellapi.h>
#include <shlobj.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cwchar>
#include <random>
#include <system_error>

#include "base/Path.hpp"
#include "base/Platform.hpp"
#include "base/Text.hpp"

namespace tessmar {

namespace {

std::wstring Wide(const std::string& utf8) { return NativePath(utf8).native(); }

HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(::_get_osfhandle(fd)); }

// A FILETIME (100 ns since 1601) in nanoseconds since 1970.
std::int64_t Nanoseconds(const FILETIME& t) {
  const std::int64_t ticks = (std::int64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime;
  return ticks == 0 ? 0 : (ticks - 116444736000000000) * 100;
}

bool Attributes(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA& data) {
  return ::GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data) != 0;
}

// A name no other file in the folder has yet: "$$$" and eight hex digits.
std::string ProbeName(const std::string& folder) {
  static thread_local std::minstd_rand random{std::random_device{}()};
  char name[16];
  std::snprintf(name, sizeof name, "$$$%08x", static_cast<unsigned>(random()));
  return (folder.empty() ? "./" : AsFolder(folder)) + name;
}

}  // namespace

std::filesystem::path NativePath(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8Path(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

bool PathExists(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  return Attributes(path, data);
}

bool FileExists(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  return Attributes(path, data) && !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFolder(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  return Attributes(path, data) && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool SameFile(const std::string& a, const std::string& b) {
  // Inode numbers are 0 here: the file index within its volume stands in.
  const auto identity = [](const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
    const HANDLE h = ::CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool ok = ::GetFileInformationByHandle(h, &info) != 0;
    ::CloseHandle(h);
    return ok;
  };
  BY_HANDLE_FILE_INFORMATION ia, ib;
  return identity(a, ia) && identity(b, ib) && ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
         ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

std::int64_t FileStamp(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!Attributes(path, data)) return 0;
  return std::max(Nanoseconds(data.ftLastWriteTime), Nanoseconds(data.ftCreationTime));
}

std::int64_t FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!Attributes(path, data)) return 0;
  return static_cast<std::int64_t>((std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow);
}

int OpenForReading(const std::string& path) {
  return ::_wopen(Wide(path).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}

// Others may read, and delete or rename (the view keeps the old bytes), but
// not write: an edit in place would change nodes under a running operation,
// and a truncation is refused anyway while the file is mapped.
int OpenForMapping(const std::string& path) {
  const HANDLE h = ::CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return -1;
  const int fd = ::_open_osfhandle(reinterpret_cast<std::intptr_t>(h), _O_RDONLY | _O_BINARY);
  if (fd < 0) ::CloseHandle(h);
  return fd;
}

bool MappableSize(int fd, std::int64_t& size) {
  const HANDLE h = HandleOf(fd);
  BY_HANDLE_FILE_INFORMATION info;
  LARGE_INTEGER bytes;
  if (::GetFileType(h) != FILE_TYPE_DISK || !::GetFileInformationByHandle(h, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !::GetFileSizeEx(h, &bytes) || bytes.QuadPart < 0)
    return false;
  size = bytes.QuadPart;
  return true;
}

const unsigned char* MapFile(int fd, std::int64_t size) {
  const HANDLE mapping = ::CreateFileMappingW(HandleOf(fd), nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (!mapping) return nullptr;
  void* view = ::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, static_cast<SIZE_T>(size));
  ::CloseHandle(mapping);  // the view keeps the mapping
  return static_cast<const unsigned char*>(view);
}

void UnmapFile(const unsigned char* data, std::int64_t) noexcept { ::UnmapViewOfFile(data); }

void AdviseSequentialRead(const unsigned char* data, std::int64_t size) noexcept {
  WIN32_MEMORY_RANGE_ENTRY range{const_cast<unsigned char*>(data), static_cast<SIZE_T>(size)};
  ::PrefetchVirtualMemory(::GetCurrentProcess(), 1, &range, 0);
}

// ReadFile at an offset given in the OVERLAPPED block, on a handle opened for
// synchronous reads: the system serialises concurrent calls, each at its own
// offset.
bool ReadFileAt(int fd, std::int64_t offset, void* out, std::size_t size) noexcept {
  const HANDLE h = HandleOf(fd);
  auto* at = static_cast<unsigned char*>(out);
  while (size > 0) {
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(offset);
    position.OffsetHigh = static_cast<DWORD>(offset >> 32);
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, DWORD{1} << 30));
    DWORD got = 0;
    if (!::ReadFile(h, at, want, &got, &position) || got == 0) return false;
    at += got;
    offset += got;
    size -= got;
  }
  return true;
}

int GuardMapping(const unsigned char*, std::int64_t) { return -1; }
bool MappingChanged(int) noexcept { return false; }
void UnguardMapping(int) noexcept {}

int CreateNewFile(const std::string& path, bool& alreadyExists) {
  const int fd =
      ::_wopen(Wide(path).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
  alreadyExists = fd < 0 && errno == EEXIST;
  return fd;
}

std::ptrdiff_t ReadSome(int fd, void* out, std::size_t size) {
  return ::_read(fd, out, static_cast<unsigned>(std::min<std::size_t>(size, 1u << 30)));
}

namespace {
// A system error code as errno, for the messages the rest of the program
// words from errno.
int ErrnoOf(DWORD error) {
  switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return EACCES;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return ENOENT;
    case ERROR_CANT_RESOLVE_FILENAME: return ELOOP;  // a chain of links too long, or a loop
    case ERROR_NO_DATA:                              // "the pipe is being closed": its reader is gone
    case ERROR_PIPE_NOT_CONNECTED:                   // the same under Wine
    case ERROR_BROKEN_PIPE: return EPIPE;
    default: return EIO;
  }
}
}  // namespace

// WriteFile, not the C runtime's _write: under Wine a pipe whose reader goes
// away takes part of a write without an error, which _write reports as EINVAL
// with no reason; the next WriteFile says the pipe is closed.
bool WriteAll(int fd, const void* data, std::size_t size) {
  const HANDLE h = HandleOf(fd);
  const auto* p = static_cast<const unsigned char*>(data);
  while (size > 0) {
    DWORD written = 0;
    if (!::WriteFile(h, p, static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30)), &written, nullptr)) {
      errno = ErrnoOf(::GetLastError());
      return false;
    }
    if (written == 0) {
      errno = ENOSPC;  // nothing written: the disk is full
      return false;
    }
    p += written;
    size -= written;
  }
  return true;
}

bool CloseFile(int fd) noexcept { return ::_close(fd) == 0; }

// std::rename does not replace an existing file here.
bool MoveIntoPlace(const std::string& from, const std::string& to) {
  if (::MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  // The reason as errno, as the C runtime's calls leave it.
  const DWORD error = ::GetLastError();
  const DWORD attributes = ::GetFileAttributesW(Wide(to).c_str());
  errno = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) ? EISDIR : ErrnoOf(error);
  return false;
}

void RemoveFile(const std::string& path) noexcept { ::DeleteFileW(Wide(path).c_str()); }

namespace {
// What an open handle (opened with FILE_FLAG_BACKUP_SEMANTICS, so a folder too) stands for.
TFileKind KindOf(HANDLE h) {
  switch (::GetFileType(h)) {
    case FILE_TYPE_DISK: {
      BY_HANDLE_FILE_INFORMATION info;
      if (!::GetFileInformationByHandle(h, &info)) return TFileKind::Other;
      return info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? TFileKind::Folder : TFileKind::File;
    }
    case FILE_TYPE_CHAR: return TFileKind::Device;
    case FILE_TYPE_PIPE: return TFileKind::Pipe;
    default: return TFileKind::Other;
  }
}

// The path of a handle's file, every link followed, as a drive or UNC path
// (without the "\\?\" the system puts before it).
std::string FinalPath(HANDLE h) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetFinalPathNameByHandleW(h, path.data(), static_cast<DWORD>(path.size()),
                                                FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(n);  // too short: n is the size it needs, its final null included
  }
  if (path.starts_with(L"\\\\?\\UNC\\"))
    path = L"\\\\" + path.substr(8);
  else if (path.starts_with(L"\\\\?\\"))
    path.erase(0, 4);
  return Utf8Path(std::filesystem::path(path));
}
}  // namespace

TWritePlace WritePlace(const std::string& path) {
  TWritePlace place;
  place.Path = path;
  // The device namespace ("\\.\NUL", "\\.\pipe\name") holds no files; a pipe
  // opened to ask what it is would take the place of its client.
  if (path.starts_with("\\\\.\\") || path.starts_with("//./")) {
    const std::string rest = AsciiLower(std::string_view(path).substr(4));
    place.Kind = rest.starts_with("pipe\\") || rest.starts_with("pipe/") ? TFileKind::Pipe : TFileKind::Device;
    return place;
  }
  const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return place;  // nothing there: creating the file says why not
  const bool link = attributes & FILE_ATTRIBUTE_REPARSE_POINT;
  if (!link && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    place.Kind = TFileKind::Folder;
    return place;
  }
  // Opened for no access, only to ask what it is: NUL and CON are character
  // devices, and a link's handle is the file it leads to.
  const HANDLE h = ::CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    if (link) {
      place.Kind = TFileKind::BrokenLink;
      place.Error = ErrnoOf(::GetLastError());
    } else {
      place.Kind = TFileKind::File;  // a file we may not even open: replacing it says why not
    }
    return place;
  }
  place.Kind = KindOf(h);
  if (link) {
    place.Link = FinalPath(h);
    if (!place.Link.empty()) place.Path = place.Link;
  }
  ::CloseHandle(h);
  if (link && place.Link.empty()) place.Kind = TFileKind::BrokenLink;  // leads somewhere it cannot name
  return place;
}

bool FolderIsWritable(const std::string& folder) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const HANDLE h = ::CreateFileW(Wide(ProbeName(folder)).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      ::CloseHandle(h);  // and so removes it
      return true;
    }
    if (::GetLastError() != ERROR_FILE_EXISTS) return false;
  }
  return false;
}

std::string ExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return "./tessmar";
    if (n < path.size()) {
      path.resize(n);
      return Utf8Path(path);
    }
    path.resize(path.size() * 2);
  }
}

std::string ModulePathOf(const void* address) {
  HMODULE module = nullptr;
  if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(address), &module))
    return {};
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return Utf8Path(path);
    }
    path.resize(path.size() * 2);
  }
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (!wide) return {argv, argv + argc};
  std::vector<std::string> arguments;
  arguments.reserve(count);
  for (int i = 0; i < count; ++i) arguments.push_back(Utf8Path(std::filesystem::path(wide[i])));
  ::LocalFree(wide);
  return arguments;
}

bool UserLocaleIsJapanese() { return PRIMARYLANGID(LANGIDFROMLCID(::GetUserDefaultLCID())) == LANG_JAPANESE; }

void UseEnglishFormats() { std::setlocale(LC_NUMERIC, "C"); }

std::string EnvironmentValue(const char* name) {
  const wchar_t* value = ::_wgetenv(Wide(name).c_str());
  return value ? Utf8Path(std::filesystem::path(value)) : std::string();
}

void SetEnvironmentDefault(const char* name, const char* value) {
  const std::wstring wide = Wide(name);
  if (!::_wgetenv(wide.c_str())) ::_wputenv_s(wide.c_str(), Wide(value).c_str());
}

namespace {
// A user's folder: the environment variable first, as on Linux, so a test or a
// portable set-up can move it; else the known folder.
std::string UserFolder(const wchar_t* variable, REFKNOWNFOLDERID known) {
  if (const wchar_t* value = ::_wgetenv(variable); value && *value)
    return AsFolder(Utf8Path(std::filesystem::path(value)));
  PWSTR path = nullptr;
  std::string root;
  if (::SHGetKnownFolderPath(known, KF_FLAG_DEFAULT, nullptr, &path) == S_OK)
    root = AsFolder(Utf8Path(std::filesystem::path(path)));
  ::CoTaskMemFree(path);
  return root;
}
}  // namespace

std::string UserSettingsRoot() { return UserFolder(L"APPDATA", FOLDERID_RoamingAppData); }

std::string UserDataRoot() { return UserFolder(L"LOCALAPPDATA", FOLDERID_LocalAppData); }

// Windows has no font matching of the kind: the files themselves, by name.
std::vector<std::string> SansTypefaceFiles() {
  PWSTR path = nullptr;
  std::filesystem::path fonts;
  if (::SHGetKnownFolderPath(FOLDERID_Fonts, KF_FLAG_DEFAULT, nullptr, &path) == S_OK) fonts = path;
  ::CoTaskMemFree(path);
  std::vector<std::string> files;
  std::error_code error;
  for (const wchar_t* name : {L"DejaVuSans.ttf", L"arial.ttf", L"tahoma.ttf"})
    if (!fonts.empty() && std::filesystem::is_regular_file(fonts / name, error))
      files.push_back(Utf8Path(fonts / name));
  return files;
}

void* LoadModule(const std::string& path, std::string& why) {
  // No search beside the program or on PATH for what the module needs: its
  // own folder and the system's.
  const HMODULE module =
      ::LoadLibraryExW(Wide(path).c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!module) why = std::system_category().message(static_cast<int>(::GetLastError()));
  return reinterpret_cast<void*>(module);
}

void* ModuleFunction(void* module, const char* name) {
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(module), name));
}

std::vector<std::string> SystemDataRoots() { return {}; }

std::string BundledDataRoot() { return AsFolder(FolderOf(ExecutablePath())); }

namespace {
std::atomic<bool> Interrupted{false};

// Runs on a thread of its own, which the system starts for the event.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  Interrupted.store(true);
  return TRUE;
}
}  // namespace

// Windows has no file-size signal: a write past a limit fails as it is.
void CatchConsoleInterrupt() { ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

bool ConsoleInterrupted() noexcept { return Interrupted.load(); }

bool InputPending(int fd) {
  const HANDLE h = HandleOf(fd);
  switch (::GetFileType(h)) {
    case FILE_TYPE_PIPE: {
      // A pipe that cannot be peeked (one whose writer is gone, a POSIX pipe
      // that Wine hands on) says no: what is in hand goes out before the read,
      // which then ends or waits.
      DWORD available = 0;
      return ::PeekNamedPipe(h, nullptr, 0, nullptr, &available, nullptr) && available > 0;
    }
    case FILE_TYPE_CHAR:
      // A console signals every event (a key let go, a click), not only a
      // line: a read returns a line at a time, so each is answered at once.
      return false;
    default: return true;  // a file's read never waits
  }
}

bool DisplayAvailable() { return true; }

namespace {
// A console answers GetConsoleMode; the NUL device, a character device too
// (which _isatty takes for a terminal), does not.
bool IsConsole(int fd) {
  DWORD mode = 0;
  return ::GetConsoleMode(HandleOf(fd), &mode) != 0;
}
}  // namespace

bool StderrIsTerminal() { return IsConsole(2); }
bool StdoutIsTerminal() { return IsConsole(1); }

int StderrColumns() {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!::GetConsoleScreenBufferInfo(HandleOf(2), &info)) return 0;
  return info.srWindow.Right - info.srWindow.Left + 1;
}

// Windows says ERROR_NO_DATA ("the pipe is being closed"), Wine
// ERROR_PIPE_NOT_CONNECTED; the C runtime keeps the system's code of a failed
// write in _doserrno.
int LastWriteError() {
  const int error = errno;
  const unsigned long why = _doserrno;
  if (error == EINVAL && (why == ERROR_NO_DATA || why == ERROR_PIPE_NOT_CONNECTED || why == ERROR_BROKEN_PIPE))
    return EPIPE;
  return error;
}

void UseBinaryStandardStreams() {
  for (FILE* stream : {stdin, stdout, stderr}) ::_setmode(::_fileno(stream), _O_BINARY);
}

}  // namespace tessmar
