// How a failure travels in Tessmar: each kind has one channel.
//
// - A value that does not exist (a node without a value, a point outside a
//   grid) is NaN (NoValue in base/Numeric.hpp), never an error.
// - An expected ending of an operation (busy, declined, a file that does not
//   open, a range error, a failed write, an abort) is an outcome in the result
//   it returns (TConvertOutcome, TScanOutcome, ...). The operation itself has
//   already told the user, in the program's own words, through the view's
//   dialogs and report lines; readers below the session layer show nothing.
// - The unexpected (an invalid floating-point operation, a grid file changed
//   while in use, memory running out, a reader's refusal of a file with its
//   reason) is a TError, or another std::exception, that leaves the operation.
//   The fronts catch it where a handler runs (RunHandler: the window's general
//   error display, the CLI's "Error: " line) and the program goes on.
// - A request that asks for what cannot be (an option or an argument that
//   does not read, a model the catalogue lacks) is a TUsageError, its text
//   naming what was asked by the front's own name for it.
// - Exit statuses are decided by tessmar-cli alone: 0 done, 1 failed, 2 a
//   command line that asks for what cannot be (TUsageError, its one route),
//   130 stopped by Ctrl-C. The Python module raises its own errors instead:
//   ValueError for a TUsageError, OSError for a file.
// The error types are plain values: thread-safe.
#pragma once

#include <cerrno>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

namespace tessmar {

// An error that leaves a user action; its text is what the user is shown.
class TError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A request that asks for what cannot be, with the text that says why.
class TUsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The text the user is shown for an error that left an action: its own, but
// words rather than the library's type name when memory ran out (a grid far
// wider than memory holds).
inline std::string ErrorText(const std::exception& e) {
  return dynamic_cast<const std::bad_alloc*>(&e) ? "Out of memory" : e.what();
}

inline constexpr const char* InvalidOpText = "Invalid floating point operation";

// Why a call into the system failed (its errno), in the system's words ("No
// space left on device", "Permission denied"), but a folder where a file was
// to be said plainly.
inline std::string SystemReason(int error) { return error == EISDIR ? "it is a folder" : std::strerror(error); }

}  // namespace tessmar
