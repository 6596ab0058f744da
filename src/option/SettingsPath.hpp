// Where the settings file lives: beside the executable as "<name>.ini" when
// that folder can be written, else in the per-user folder ($APPDATA/<name>/,
// $XDG_CONFIG_HOME/<name>/ or ~/.config/<name>/), where the copy beside the
// executable serves as a template copied in whenever it is newer.
#pragma once

#include <cstdint>
#include <string>

namespace tessmar {

// The executable's full path (from /proc/self/exe).
std::string ExecutablePath();

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

// The same choice without creating or copying anything, for readers that must
// not write: the per-user copy when it exists and is not older than the file
// beside the executable, else that file.
std::string FindSettingsPath(const std::string& exePath);

// The later of the file's creation and last-write times (nanoseconds since
// 1970); 0 when it cannot be read.
std::int64_t FileStamp(const std::string& path);

}  // namespace tessmar
