// Where the program keeps its files. A portable program (a build tree, a
// copied folder) keeps them beside itself when that folder can be written; an
// installed one never writes there. Settings: "<name>.ini" beside the
// executable, else in the per-user folder (UserSettingsRoot's
// <name>/: $APPDATA/<name>/, $XDG_CONFIG_HOME/<name>/ or ~/.config/<name>/),
// where the copy beside the executable serves as a template copied in whenever
// it is newer. (ExecutablePath and FileStamp are the platform's: Platform.hpp.)
// Thread-safe for different paths; PlaceProgram fills a session, on its thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/Platform.hpp"
#include "session/Session.hpp"

namespace tessmar {

// The program runs from an install prefix: its folder is the prefix's bin/,
// beside the share/tessmar/ the package creates for the source grids.
bool RunsInstalled(const std::string& exePath);

// The folders the program reads its grids from, in the order searched. The
// first is where custom files and imports are written: the program's folder
// when portable (then the user's data folder when that cannot be written, as
// a folder unpacked into Program Files, and the program's after it); when
// installed the user's data folder ($XDG_DATA_HOME/
// tessmar/), followed by the system's (each of $XDG_DATA_DIRS, then the
// prefix's share/tessmar/).
std::vector<std::string> ProgramDataFolders(const std::string& exePath);

// Sets the session's ExeDir, DataDir and the folders searched for the source
// grids from the program's path, creating the user's data folder when the
// program is installed.
void PlaceProgram(TSession& session, const std::string& exePath);

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

}  // namespace tessmar
