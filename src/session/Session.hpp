// TSession: the state of one running program, owned by its front end (window,
// CLI or test) and handed to every operation. Nothing in the core is global.
// One thread uses a session at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "grid/GeoidGrid.hpp"
#include "session/View.hpp"

namespace tessmar {

struct TSession {
  explicit TSession(TView& view) : View(view) {}
  TSession(const TSession&) = delete;
  TSession& operator=(const TSession&) = delete;

  TView& View;
  TGeoidModels GeoidModels = DefaultGeoidModels();
  std::unique_ptr<const TGeoidGrid> SourceGrid;  // the selected model, once opened
  std::unique_ptr<const TGeoidGrid> CustomGrid;  // the custom geoid file, once opened
  std::string DataDir;                           // folder of the grid files, ending in the path separator
  std::vector<std::string> SourceDirs;           // further folders searched for the source grids, in order
  std::string OutputExt = ".qdat";               // extension of custom geoid files, dot included
  // The custom geoid file's folder when a command line names one with its
  // name (tessmar-cli --output DIR/NAME); empty: DataDir's. The window's
  // EditFname keeps a name only: its folder comes by the file dialog or a drop.
  std::string CustomDir;

  // Settings (module Option).
  std::string ExeDir;          // the executable's folder, ending in "/"
  std::string SettingsPath;    // the settings file in use; empty before start-up
  std::string DataPath;        // DataDir as saved: empty means DefaultDataDir
  std::string DefaultDataDir;  // ExeDir, or the user's data folder for an installed program
  std::string VersionCaption = "Tessmar";
  std::uint8_t FontCharset = 0;
  std::string FontName = "Arial";
  std::int32_t FontSize = 8;

  bool Busy = false;            // a conversion or a scan is running
  bool AbortRequested = false;  // the user asked the running one to stop

  // The selected model has been opened (and not closed since).
  bool SourceOpen() const noexcept { return SourceGrid != nullptr; }
};

// Sets Busy for a scope and clears it on every way out, an error included.
class TBusyGuard {
 public:
  explicit TBusyGuard(TSession& session) : FSession(session) { FSession.Busy = true; }
  ~TBusyGuard() { FSession.Busy = false; }
  TBusyGuard(const TBusyGuard&) = delete;
  TBusyGuard& operator=(const TBusyGuard&) = delete;

 private:
  TSession& FSession;
};

}  // namespace tessmar
