#include "option/SettingsPath.hpp"

#include <filesystem>

#include "base/AtomicFile.hpp"
#include "base/Numeric.hpp"
#include "base/Path.hpp"
#include "base/Platform.hpp"

namespace tessmar {

namespace fs = std::filesystem;

namespace {
std::string UserFolderOf(const std::string& exePath) { return AsFolder(UserSettingsRoot() + BaseName(exePath)); }

bool CopyFile(const std::string& from, const std::string& to) {
  const std::optional<std::string> bytes = ReadWholeFile(from);
  if (!bytes) return false;
  TAtomicFile out(to);
  return out.Create() && out.Write(bytes->data(), bytes->size()) && out.Commit();
}
}  // namespace

std::string WritableSettingsPath(const std::string& path, const std::string& exePath) {
  return FolderIsWritable(FolderOf(path)) ? path : UserSettingsPath(path, exePath);
}

std::string UserSettingsPath(const std::string& path, const std::string& exePath) {
  const std::string user = UserFolderOf(exePath);
  std::error_code error;
  fs::create_directories(NativePath(user), error);
  if (!fs::is_directory(NativePath(user))) throw TError("Cannot create : " + user);
  const std::string copy = user + FileNameOf(path);
  if (PathExists(path) && FileStamp(path) > FileStamp(copy) && !CopyFile(path, copy))
    throw TError("Cannot Copy : " + copy);
  return copy;
}

std::string DefaultDataFolder(const std::string& exeDir) {
  if (FolderIsWritable(exeDir)) return exeDir;
  const std::string user = AsFolder(UserDataRoot() + "tessmar");
  std::error_code error;
  fs::create_directories(NativePath(user), error);  // a failure shows when a file is written there
  return user;
}

std::string ResolveSettingsPath(const std::string& name, const std::string& exePath) {
  std::string path;
  if (name.empty()) {
    path = FolderOf(exePath) + BaseName(exePath) + ".ini";
  } else if (HasFolder(name)) {
    path = Utf8Path(fs::absolute(NativePath(name)).lexically_normal());
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
