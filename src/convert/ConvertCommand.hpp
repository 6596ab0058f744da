// The Convert command: the output path, the overwrite question, the report, the
// conversion and its outcome, under the Busy guard.
// Not thread-safe: runs on the session's thread.
#pragma once

#include <cstdint>
#include <string>

#include "convert/Conversion.hpp"
#include "session/Grids.hpp"
#include "session/Session.hpp"

namespace tessmar {

// What the command did, for front ends that report more than the window.
enum class TConvertOutcome : std::uint8_t {
  NotRun,         // busy, or no file name
  Declined,       // the file exists and the user kept it
  SourceMissing,  // the selected model's grid file did not open
  Written,
  Aborted,
  RangeError,
  Failed,  // a write failure: nothing replaced
};

struct TConvertResult {
  TConvertOutcome Outcome = TConvertOutcome::NotRun;
  std::string Path;  // the custom geoid file, once the command got that far
  std::int64_t Size = 0;
  TCustomTrailer Trailer{};  // rows, cols and geometry written, when Written
  std::string Reason;        // Failed: why, as the report's line after "Done with error." says it; RangeError: which
                             // corners, as the report's line after "Output resolution: " says it
  TCutFacts Cut;             // the region cut, once the engine read the corners
};

// The whole command, as the Convert button runs it, on the model and the custom
// file name of `selection` (nothing runs for a blank name). An error that
// leaves it (a corner that does not read) propagates to the caller with Busy
// cleared; the fronts show it as any handler's error (RunHandler).
TConvertResult ConvertCustomGeoid(TSession& session, const TSelection& selection, const TConversionPlan& plan);

}  // namespace tessmar
