// The CLI's commands: each reads its options once into the values the core
// operation of the matching button takes, runs it and prints what it produced.
// Not thread-safe: a command runs on the program's one thread.
#pragma once

#include <optional>
#include <string>

namespace tessmar::cli {

enum TExit { ExitDone = 0, ExitFailed = 1, ExitUsage = 2, ExitAborted = 130 };

// An option left out leaves what the settings file holds (or the window's
// layout default when there is no settings file).
struct TGlobalOptions {
  std::optional<std::string> Settings;  // a settings file to read instead of the program's own
  bool NoSettings = false;
  std::optional<std::string> DataDir, Model, Output;
  bool Json = false;
  bool Quiet = false;  // no progress line
};

struct TConvertOptions {
  std::optional<std::string> South, West, North, East;
  std::optional<std::string> Resolution;  // minutes, as typed
  bool Overwrite = false;
};

struct TCheckOptions {
  std::optional<std::string> Lat, Lon;
  std::string Points;  // a file of points, "-" for standard input; empty: one point
};

struct TScanOptions {
  std::string Precision = "1.0";
  std::string Heatmap;                 // a PNG file of the differences; empty: none
  std::string HeatmapScale = "p99.5";  // max, pPERCENTILE or metres
  bool Overwrite = false;              // an existing heat map file may be replaced
};

struct TMapOptions {
  std::string Png;
  bool Overwrite = false;
  int Width = 1024;
  std::optional<int> Height;      // none: half the width for the world, the region's fit for a region
  std::string Extent = "region";  // region (with room around it) or world
  std::optional<std::string> South, West, North, East, Lat, Lon;
  std::optional<std::string> Resolution;  // minutes, as typed
};

struct TImportOptions {
  std::string File;
  bool GtxOnly = false;  // import-gtx: the GTX reader of the program's own
  std::optional<std::string> Name, Title;
  int Entry = 0;
  bool Overwrite = false;
};

struct TExportOptions {
  std::string Format = "GTiff";  // GTiff or GTX
  std::optional<std::string> To;
  bool Overwrite = false;
};

int RunConvert(const TGlobalOptions& global, const TConvertOptions& options);
int RunCheck(const TGlobalOptions& global, const TCheckOptions& options);
int RunScan(const TGlobalOptions& global, const TScanOptions& options);
int RunMap(const TGlobalOptions& global, const TMapOptions& options);
int RunImport(const TGlobalOptions& global, const TImportOptions& options);
int RunExport(const TGlobalOptions& global, const TExportOptions& options);
int RunModels(const TGlobalOptions& global);

}  // namespace tessmar::cli
