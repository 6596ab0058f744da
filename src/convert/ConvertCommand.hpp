// The Convert command: the output path, the overwrite question, the report, the
// conversion and its outcome, under the Busy guard.
#pragma once

#include <cstdint>
#include <string>

#include "grid/Session.hpp"

namespace tessmar {

// The custom geoid file's path: DataDir's folder, the file-name part of
// EditFname (trimmed; a typed folder is dropped), its extension replaced by
// OutputExt. The one rule for it, used by the checks too.
std::string CustomGeoidFileName(const TSession& session);

// Decimal digits with "," between groups of three: 538796 -> "538,796".
std::string IntToGroupedStr(std::int64_t value);

// The whole command; an error that leaves it (a corner that does not read)
// propagates to the caller with Busy cleared.
void ConvertCustomGeoid(TSession& session);

// The Convert button: clears AbortRequested, runs the command and shows an
// error that leaves it with ShowGeneralError.
void ButtonConvertClick(TSession& session);

// Runs a handler and shows any error that leaves it with ShowGeneralError, as
// the application does for every event handler.
template <class Handler>
void RunHandler(TSession& session, Handler&& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    session.View.ShowGeneralError(e.what());
  }
}

}  // namespace tessmar
