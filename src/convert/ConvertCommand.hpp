// The Convert command: the output path, the overwrite question, the report, the
// conversion and its outcome, under the Busy guard.
#pragma once

#include <cstdint>
#include <string>

#include "convert/Conversion.hpp"
#include "view/Session.hpp"

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
};

// The whole command; an error that leaves it (a corner that does not read)
// propagates to the caller with Busy cleared.
TConvertResult ConvertCustomGeoid(TSession& session);

// The Convert button: clears AbortRequested, runs the command and shows an
// error that leaves it with ShowGeneralError (the result then says Failed).
TConvertResult ButtonConvertClick(TSession& session);

}  // namespace tessmar
