// What every CLI command shares: one run's console view and session, the
// inputs the settings file gives (the desktop program's defaults), read once
// into values, and the ways results are printed.
// Not thread-safe: used on the command's one thread.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/CoordText.hpp"
#include "cli/CliView.hpp"
#include "cli/Commands.hpp"
#include "convert/Conversion.hpp"
#include "option/Settings.hpp"
#include "option/Start.hpp"
#include "session/Grids.hpp"
#include "session/Session.hpp"

namespace tessmar::cli {

using TJson = nlohmann::ordered_json;

// JSON as the CLI prints it, on one line. A text that is not UTF-8 (a Latin-1
// name, a stray byte in a refused line) never costs an answer: each byte that
// is not part of a valid UTF-8 sequence is shown as U+FFFD, the rest as it is.
// Every JSON text the CLI writes goes through here.
inline std::string JsonDump(const TJson& value) { return value.dump(-1, ' ', false, TJson::error_handler_t::replace); }

// One run's view, session and inputs. The settings are read, never written
// back: the desktop program's file (both programs share it) or the one named
// by --settings. (import and import-gtx write one catalogue entry into
// --settings, nothing else.)
struct TContext {
  TCliView View;
  TSession Session{View};
  TInputs Inputs = InitialInputs();    // the settings' inputs, or the window layout's
  std::vector<std::string> KeysGiven;  // those of them the settings file holds
  int Model = 0;                       // --model, else the settings' model
  explicit TContext(const TGlobalOptions& options);

  TSelection Selection() const { return {Model, Inputs.OutputName}; }
  // Who gave a value: `option` when it was given, else the settings file's
  // `key` when the file holds it ("settings file PATH, key KEY"), else the option.
  std::string Origin(bool given, const char* option, const char* key) const;
};

// A command line's usage error: exit status 2, with the text (TUsageError,
// base/Error.hpp; ModelIndex, ResolutionMinutes, ReadPrecision and
// RequireNoFolder read their options as option/Start.hpp says).
using tessmar::RequireNoFolder;
using tessmar::TUsageError;

// A coordinate by the strict rule: `given` (the option's text) or else
// `fallback`, the settings' `key` (or the window's initial text). Throws
// TUsageError naming the option, or the settings file and its key, when it is
// refused.
double ReadCoordinate(const TContext& context, const std::optional<std::string>& given, const std::string& fallback,
                      TAxis axis, const char* option, const char* key);

// The conversion that --south, --west, --north, --east and --res ask for,
// each left out taken from the settings. Throws TUsageError naming the option.
TConversionPlan ReadPlan(const TContext& context, const std::optional<std::string>& south,
                         const std::optional<std::string>& west, const std::optional<std::string>& north,
                         const std::optional<std::string>& east, const std::optional<std::string>& resolution);

// The exit status once what was printed has reached standard output: output
// that could not be written is a failure, "Cannot write the output: " and why
// (exit 1); a reader that went away (a closed pipe) ends it quietly, with the
// status of a filter stopped by SIGPIPE (141).
int FinishOutput(int status);
// A write to standard output has just failed: the same rule, its exit status.
int OutputFailed();
inline constexpr int ExitPipeClosed = 141;

// A number in full precision (shortest text that reads back the same), or null.
TJson Number(double value);
void AppendNumber(std::string& out, double value);
// A text as a JSON string, as JsonDump writes it.
void AppendString(std::string& out, std::string_view text);
void PrintLines(const std::vector<std::string>& lines);

}  // namespace tessmar::cli
