// Every call into the operating system, each in one named function, so the code
// above base compiles unchanged for Linux and for Windows: Platform_posix.cpp or
// Platform_windows.cpp implements them, chosen by the build. Paths are UTF-8
// text; a file descriptor is the C runtime's (on Windows it wraps a HANDLE and
// never translates line ends). Thread-safe; nothing throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tessmar {

// The characters that end a path's folder part: "/" on Linux; on Windows also
// "\" and the ":" of a drive ("C:name" lies in drive C's current folder). The
// separator a folder's text is given when it ends in none.
#ifdef _WIN32
inline constexpr std::string_view PathSeparators = "/\\:";
inline constexpr char PreferredSeparator = '\\';
#else
inline constexpr std::string_view PathSeparators = "/";
inline constexpr char PreferredSeparator = '/';
#endif

// The file system's form of a UTF-8 path (on Windows UTF-16: a path made from
// a plain std::string there would be read in the ANSI code page), and back.
std::filesystem::path NativePath(const std::string& utf8);
std::string Utf8Path(const std::filesystem::path& path);

// --- Files -------------------------------------------------------------------

// Something, a file or a folder, is at path; a regular file is at path.
bool PathExists(const std::string& path);
bool FileExists(const std::string& path);
// A folder is at path.
bool IsFolder(const std::string& path);
// Both paths name the same existing file (device and inode; on Windows, where
// inode numbers are 0, the volume serial number and the file index).
bool SameFile(const std::string& a, const std::string& b);
// The later of the file's creation and last-write times (nanoseconds since
// 1970); 0 when it cannot be read.
std::int64_t FileStamp(const std::string& path);
// The size of the file at path in bytes; 0 when it cannot be read.
std::int64_t FileSize(const std::string& path);

// Opens a file to read from front to back (a pipe or a FIFO too); -1 when it
// cannot be opened. Standard input is StandardInput.
int OpenForReading(const std::string& path);
inline constexpr int StandardInput = 0, StandardOutput = 1;
// Reads what fd has next, up to size bytes, waiting for some: the count, 0 at
// its end, -1 on failure with errno (EINTR: a signal cut the wait short).
std::ptrdiff_t ReadSome(int fd, void* out, std::size_t size);
// Opens a file to map and read at offsets, never blocking (a FIFO given by
// mistake opens and then fails MappableSize). On Windows other programs may
// read, delete or rename it, but not write it, while it is open.
int OpenForMapping(const std::string& path);
// The size of the regular file open as fd; false for anything else.
bool MappableSize(int fd, std::int64_t& size);
// Maps size > 0 bytes of the file read-only; null when it cannot.
const unsigned char* MapFile(int fd, std::int64_t size);
void UnmapFile(const unsigned char* data, std::int64_t size) noexcept;
// Tells the system that [data, data + size) of a mapping is about to be read
// once, front to back. A hint; data needs no alignment.
void AdviseSequentialRead(const unsigned char* data, std::int64_t size) noexcept;
// Copies bytes [offset, offset + size) of the file to out, without moving the
// file's position; false when the file no longer holds them.
bool ReadFileAt(int fd, std::int64_t offset, void* out, std::size_t size) noexcept;

// A mapping other programs may shrink under it (Linux: a truncated file's pages
// vanish and a read would end the process). GuardMapping watches the range and
// gives a slot (-1 when it needs none or none is free); a read of a vanished
// page then reads zeros and MappingChanged(slot) turns true. Windows refuses to
// truncate a mapped file and OpenForMapping denies writes: nothing to guard.
int GuardMapping(const unsigned char* data, std::int64_t size);
bool MappingChanged(int slot) noexcept;
void UnguardMapping(int slot) noexcept;

// Creates a new file to write (permissions as for any new file, not inherited
// by child processes); -1 when it cannot, with alreadyExists telling whether
// something already had the name.
int CreateNewFile(const std::string& path, bool& alreadyExists);
// Writes all of data to fd; false on any failure (disk full, file too large).
bool WriteAll(int fd, const void* data, std::size_t size);
// Closes fd; false when the system reports data not written.
bool CloseFile(int fd) noexcept;
// Puts the file at from in place of the file at to, which may exist, in one
// step (on Windows written through to the disk before it returns). It replaces
// whatever stands at to: WritePlace says first what that is.
bool MoveIntoPlace(const std::string& from, const std::string& to);

// What stands at a name a file is to be written to.
enum class TFileKind { Missing, File, Folder, Device, Pipe, Socket, Other, BrokenLink };
struct TWritePlace {
  std::string Path;                     // where the file goes: the name, or the file a link there leads to
  TFileKind Kind = TFileKind::Missing;  // what stands there (Missing also when the system cannot say)
  std::string Link;                     // a link at the name: where it leads (its text when broken); else empty
  int Error = 0;                        // BrokenLink: why it cannot be followed, as errno
};
// A symbolic link at path (on Windows a reparse point: a symbolic link or a
// junction) is followed to the end of its chain.
TWritePlace WritePlace(const std::string& path);
void RemoveFile(const std::string& path) noexcept;

// --- Folders -----------------------------------------------------------------

// A file can be created in folder (empty: the current folder), tried by
// creating one and removing it: permission bits alone do not tell (a read-only
// mount, a folder of the kernel's).
bool FolderIsWritable(const std::string& folder);
// The running program's full path.
std::string ExecutablePath();
// The full path of the loaded file (the program, or a shared module such as a
// Python extension) that holds the code at address; empty when none does.
std::string ModulePathOf(const void* address);
// The program's arguments as UTF-8, the program's name first: argv on Linux;
// on Windows the system's UTF-16 command line, converted here once (the C
// runtime's argv is in the ANSI code page, which need not be UTF-8).
std::vector<std::string> CommandLineArguments(int argc, char** argv);
// The user's folder for settings, ending in "/": $APPDATA (on Windows, when it
// is not set, the known folder RoamingAppData), else $XDG_CONFIG_HOME, else
// ~/.config. Empty when none can be found.
std::string UserSettingsRoot();
// The user's folder for data, ending in "/": $XDG_DATA_HOME, else
// ~/.local/share (on Windows %LOCALAPPDATA%). Empty when none can be found.
std::string UserDataRoot();
// The system's folders for data, each ending in "/", in the order they are
// searched: $XDG_DATA_DIRS, else /usr/local/share and /usr/share (none on
// Windows).
std::vector<std::string> SystemDataRoots();

// The folder, ending in "/", where the program's package puts the data of
// other projects it brings along (PROJ's proj.db in proj/, the coastlines in
// gmt-gshhg/): on Windows the program's own folder; empty on Linux, where the
// system's packages keep them where their libraries look.
std::string BundledDataRoot();

// The user's locale is Japanese: on Linux LC_ALL, LC_MESSAGES or LANG (the
// first set) starts with "ja"; on Windows the user's default locale is.
bool UserLocaleIsJapanese();
// Fixes the process's number formats to "." decimals, whatever the user's
// locale (the C runtime's LC_NUMERIC).
void UseEnglishFormats();
// The environment variable's value as UTF-8; empty when it is not set.
std::string EnvironmentValue(const char* name);
// Sets the environment variable to value (UTF-8) unless it is set already.
void SetEnvironmentDefault(const char* name, const char* value);

// --- Typefaces ---------------------------------------------------------------

// The files of the typefaces the pictures' text may be drawn in, the first
// choice first: DejaVu Sans, then the system's sans serif (on Linux as
// fontconfig matches them; on Windows from the Fonts folder: DejaVu Sans, else
// Arial, else Tahoma). Empty when there is none.
std::vector<std::string> SansTypefaceFiles();

// --- Modules -----------------------------------------------------------------

// Loads the shared module at path with every name it needs bound now, so a
// module that does not fit fails here; it stays loaded for the rest of the run.
// Null with the system's reason in why when it cannot.
void* LoadModule(const std::string& path, std::string& why);
// The address of the function the module gives under name; null when none.
void* ModuleFunction(void* module, const char* name);

// --- The console -------------------------------------------------------------

// Ctrl-C (SIGINT; on Windows also Ctrl-Break and closing the console) sets a
// flag instead of ending the process; a write past a file-size limit fails
// instead of killing it (SIGXFSZ); a closed pipe ends it quietly (SIGPIPE).
void CatchConsoleInterrupt();
bool ConsoleInterrupted() noexcept;
// Input is waiting on fd (a pipe, a terminal, a file): a read would not block.
// (A Windows console says no: its reads come a line at a time; so does a
// pipe that cannot be peeked.)
bool InputPending(int fd);
// A display the window can open on: on Linux an X or Wayland display, or a
// platform named for Qt (QT_QPA_PLATFORM, "offscreen" in tests); always on Windows.
bool DisplayAvailable();
// Standard error, standard output is a terminal (a person watching) rather
// than a file or a pipe; the terminal on standard error is this many columns
// wide (0 when it is none or does not say).
bool StderrIsTerminal();
bool StdoutIsTerminal();
int StderrColumns();
// Why the last write failed, as errno: called at once after it. A reader
// that went away (a closed pipe) is EPIPE on every system (on Windows the C
// runtime says EINVAL for it; the system's own code says which).
int LastWriteError();
// Standard input, output and error pass bytes as they are (on Windows no CR
// before LF, no end at Ctrl-Z).
void UseBinaryStandardStreams();

}  // namespace tessmar
