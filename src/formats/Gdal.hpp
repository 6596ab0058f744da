// GDAL as the formats layer uses it: drivers registered once, and its
// messages kept for the program's own (never straight to the terminal).
// Internal to the formats layer.
// RegisterDrivers is thread-safe; a TGdalErrors belongs to the thread that
// makes it (GDAL keeps its error handlers per thread).
#pragma once

#include <cpl_error.h>
#include <gdal_priv.h>
#include <ogr_srs_api.h>

#include <mutex>
#include <string>

#include "base/Platform.hpp"

namespace tessmar {

inline void RegisterDrivers() {
  static std::once_flag once;
  std::call_once(once, [] {
    // PROJ writes some complaints about a file's georeferencing (a unit it does
    // not know) to the terminal itself, past GDAL's error handler; the import
    // says in its own words what it needs. A PROJ_DEBUG already set is kept.
    SetEnvironmentDefault("PROJ_DEBUG", "0");
    // A proj.db the program brings along (Windows) is the one PROJ reads: its
    // own search would look beside its DLL and in the folder it was built for.
    if (const std::string bundled = BundledDataRoot(); !bundled.empty()) {
      const std::string proj = bundled + "proj";
      const char* const paths[] = {proj.c_str(), nullptr};
      OSRSetPROJSearchPaths(paths);
    }
    GDALAllRegister();
  });
}

// GDAL's messages go into the program's own, never straight to the terminal.
class TGdalErrors {
 public:
  TGdalErrors() {
    RegisterDrivers();
    CPLPushErrorHandler(CPLQuietErrorHandler);
    CPLErrorReset();
  }
  ~TGdalErrors() { CPLPopErrorHandler(); }
  TGdalErrors(const TGdalErrors&) = delete;
  TGdalErrors& operator=(const TGdalErrors&) = delete;
  // The last failure GDAL reported, after ": ", or nothing.
  static std::string Why() {
    const std::string message = CPLGetLastErrorMsg();
    return message.empty() ? "" : ": " + message;
  }
};

}  // namespace tessmar
