// The CLI's commands: each sets the window's fields from its options, runs the
// core operation of the matching button and prints what it produced.
#pragma once

#include <string>

namespace tessmar::cli {

enum TExit { ExitDone = 0, ExitFailed = 1, ExitUsage = 2, ExitAborted = 130 };

struct TGlobalOptions {
  std::string DataDir;  // empty: the current folder
  std::string Model = "2.5";
  std::string Output = "Tessmar.qdat";
  bool Json = false;
};

struct TConvertOptions {
  std::string South = "20", West = "120", North = "50", East = "150";
  int Resolution = 0;
  bool Overwrite = false;
};

struct TCheckOptions {
  std::string Lat = "35 40 37.8", Lon = "139 44 52.3";
  std::string Points;  // a file of points, "-" for standard input; empty: one point
};

struct TScanOptions {
  std::string Precision = "1.0";
};

int RunConvert(const TGlobalOptions& global, const TConvertOptions& options);
int RunCheck(const TGlobalOptions& global, const TCheckOptions& options);
int RunScan(const TGlobalOptions& global, const TScanOptions& options);

}  // namespace tessmar::cli
