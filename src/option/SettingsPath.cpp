#include "option/SettingsPath.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/AtomicFile.hpp"
#include "base/Numeric.hpp"
#include "base/Path.hpp"

namespace tessmar {

namespace fs = std::filesystem;

namespace {
std::string UserFolderOf(const std::string& exePath) {
  const auto under = [&](const std::string& folder) { return AsFolder(folder) + BaseName(exePath) + "/"; };
  if (const char* appData = std::getenv("APPDATA"); appData && *appData) return under(appData);
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config) return under(config);
  const char* home = std::getenv("HOME");
  return under(std::string(home ? home : "") + "/.config");
}

bool CopyFile(const std::string& from, const std::string& to) {
  const std::optional<std::string> bytes = ReadWholeFile(from);
  if (!bytes) return false;
  TAtomicFile out(to);
  return out.Create() && out.Write(bytes->data(), bytes->size()) && out.Commit();
}
}  // namespace

std::string ExecutablePath() {
  std::error_code error;
  const fs::path path = fs::read_symlink("/proc/self/exe", error);
  return error ? std::string("./tessmar") : path.string();
}

std::int64_t FileStamp(const std::string& path) {
  struct statx info {};
  if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME | STATX_MTIME, &info) != 0) return 0;
  const auto ns = [](const statx_timestamp& t) { return std::int64_t{t.tv_sec} * 1000000000 + t.tv_nsec; };
  const std::int64_t written = (info.stx_mask & STATX_MTIME) ? ns(info.stx_mtime) : 0;
  const std::int64_t created = (info.stx_mask & STATX_BTIME) ? ns(info.stx_btime) : 0;
  return std::max(written, created);
}

std::string WritableSettingsPath(const std::string& path, const std::string& exePath) {
  return FolderIsWritable(FolderOf(path)) ? path : UserSettingsPath(path, exePath);
}

std::string UserSettingsPath(const std::string& path, const std::string& exePath) {
  const std::string user = UserFolderOf(exePath);
  std::error_code error;
  fs::create_directories(user, error);
  if (!fs::is_directory(user)) throw TError("Cannot create : " + user);
  const std::string copy = user + FileNameOf(path);
  if (PathExists(path) && FileStamp(path) > FileStamp(copy) && !CopyFile(path, copy))
    throw TError("Cannot Copy : " + copy);
  return copy;
}

std::string ResolveSettingsPath(const std::string& name, const std::string& exePath) {
  std::string path;
  if (name.empty()) {
    path = FolderOf(exePath) + BaseName(exePath) + ".ini";
  } else if (name.find('/') != std::string::npos) {
    path = fs::absolute(name).lexically_normal().string();
  } else {
    path = FolderOf(exePath) + name;
  }
  return WritableSettingsPath(path, exePath);
}

std::string FindSettingsPath(const std::string& exePath) {
  const std::string beside = FolderOf(exePath) + BaseName(exePath) + ".ini";
  if (FolderIsWritable(FolderOf(exePath))) return beside;
  const std::string copy = UserFolderOf(exePath) + FileNameOf(beside);
  return PathExists(copy) && FileStamp(copy) >= FileStamp(beside) ? copy : beside;
}

}  // namespace tessmar
