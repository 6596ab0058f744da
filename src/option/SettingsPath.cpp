#include "option/SettingsPath.hpp"

#include <algorithm>
#include <optional>

#include "base/AtomicFile.hpp"
#include "base/Numeric.hpp"
#include "base/Path.hpp"
#include "base/Platform.hpp"

namespace tessmar {

namespace {
// The install prefix (ending in "/") the program runs from, or nothing for a portable program.
std::optional<std::string> InstallPrefix(const std::string& exePath) {
  const std::string folder = FolderOf(exePath);
  const std::string bin = AsFolder(TESSMAR_INSTALL_BINDIR);
  if (folder.size() <= bin.size() || folder.compare(folder.size() - bin.size(), bin.size(), bin) != 0 ||
      PathSeparators.find(folder[folder.size() - bin.size() - 1]) == std::string_view::npos)
    return std::nullopt;
  std::string prefix = folder.substr(0, folder.size() - bin.size());
  if (!IsFolder(prefix + TESSMAR_INSTALL_DATADIR "/tessmar")) return std::nullopt;
  return prefix;
}
}  // namespace

bool RunsInstalled(const std::string& exePath) { return InstallPrefix(exePath).has_value(); }

std::vector<std::string> ProgramDataFolders(const std::string& exePath) {
  const std::string folder = FolderOf(exePath);
  const std::optional<std::string> prefix = InstallPrefix(exePath);
  if (!prefix) {
    const std::string user = UserDataRoot();
    if (FolderIsWritable(folder) || user.empty()) return {folder};
    return {AsFolder(user + "tessmar"), folder};
  }
  std::vector<std::string> folders;
  const auto add = [&](const std::string& path) {
    if (std::find(folders.begin(), folders.end(), path) == folders.end()) folders.push_back(path);
  };
  if (const std::string user = UserDataRoot(); !user.empty()) add(AsFolder(user + "tessmar"));
  for (const std::string& root : SystemDataRoots()) add(AsFolder(root + "tessmar"));
  add(NormalPath(*prefix + TESSMAR_INSTALL_DATADIR "/tessmar/"));
  return folders;
}

void PlaceProgram(TSession& session, const std::string& exePath) {
  session.ExeDir = FolderOf(exePath);
  std::vector<std::string> folders = ProgramDataFolders(exePath);
  session.DefaultDataDir = session.DataDir = folders.front();
  session.SourceDirs.assign(folders.begin() + 1, folders.end());
  if (session.DataDir != session.ExeDir) {
    CreateFolders(session.DataDir);  // a folder that cannot be made is said when a file is written there
  }
}

namespace {
// The program's own folder counts as writable only when it is not installed.
bool CanWriteIn(const std::string& folder, const std::string& exePath) {
  return !(folder == FolderOf(exePath) && RunsInstalled(exePath)) && FolderIsWritable(folder);
}

std::string UserFolderOf(const std::string& exePath) { return AsFolder(UserSettingsRoot() + BaseName(exePath)); }

bool CopyFile(const std::string& from, const std::string& to) {
  const std::optional<std::string> bytes = ReadWholeFile(from);
  if (!bytes) return false;
  TAtomicFile out(to);
  return out.Create() && out.Write(bytes->data(), bytes->size()) && out.Commit();
}
}  // namespace

std::string WritableSettingsPath(const std::string& path, const std::string& exePath) {
  return CanWriteIn(FolderOf(path), exePath) ? path : UserSettingsPath(path, exePath);
}

std::string UserSettingsPath(const std::string& path, const std::string& exePath) {
  const std::string user = UserFolderOf(exePath);
  if (!CreateFolders(user)) throw TError("Cannot create : " + user);
  const std::string copy = user + FileNameOf(path);
  if (PathExists(path) && FileStamp(path) > FileStamp(copy) && !CopyFile(path, copy))
    throw TError("Cannot Copy : " + copy);
  return copy;
}

std::string ResolveSettingsPath(const std::string& name, const std::string& exePath) {
  std::string path;
  if (name.empty()) {
    path = FolderOf(exePath) + BaseName(exePath) + ".ini";
  } else if (HasFolder(name)) {
    path = AbsolutePath(name);
  } else {
    path = FolderOf(exePath) + name;
  }
  return WritableSettingsPath(path, exePath);
}

std::string FindSettingsPath(const std::string& exePath) {
  const std::string beside = FolderOf(exePath) + BaseName(exePath) + ".ini";
  if (CanWriteIn(FolderOf(exePath), exePath)) return beside;
  const std::string copy = UserFolderOf(exePath) + FileNameOf(beside);
  return PathExists(copy) && FileStamp(copy) >= FileStamp(beside) ? copy : beside;
}

}  // namespace tessmar
