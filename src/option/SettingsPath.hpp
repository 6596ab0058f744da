// Where the settings file lives: beside the executable as "<name>.ini" when
// that folder can be written, else in the per-user folder (UserSettingsRoot's
// <name>/: $APPDATA/<name>/, $XDG_CONFIG_HOME/<name>/ or ~/.config/<name>/),
// where the copy beside the executable serves as a template copied in whenever
// it is newer. (ExecutablePath and FileStamp are the platform's: Platform.hpp.)
#pragma once

#include <cstdint>
#include <string>

#include "base/Platform.hpp"

namespace tessmar {

// The settings path for an optional file name: empty gives the executable's
// path with ".ini"; a name with a folder is taken against the current folder;
// a bare name lies in the executable's folder. Throws TError "Cannot create : "
// + folder or "Cannot Copy : " + path.
std::string ResolveSettingsPath(const std::string& name, const std::string& exePath);

// path when its folder can be written, else UserSettingsPath.
std::string WritableSettingsPath(const std::string& path, const std::string& exePath);

// The per-user copy of path: its folder created when missing, the file at path
// copied over it when newer. Throws as ResolveSettingsPath.
std::string UserSettingsPath(const std::string& path, const std::string& exePath);

// The data folder when the settings name none (an empty DataPath): the
// executable's folder when it can be written (a program unpacked into a folder
// of its own), else the per-user data folder UserDataRoot()/tessmar/
// (%LOCALAPPDATA%\tessmar\ on Windows, ~/.local/share/tessmar/ on Linux),
// created when missing, so custom geoid files never go beside installed
// programs.
std::string DefaultDataFolder(const std::string& exeDir);

// The same choice without creating or copying anything, for readers that must
// not write: the per-user copy when it exists and is not older than the file
// beside the executable, else that file.
std::string FindSettingsPath(const std::string& exePath);

}  // namespace tessmar
