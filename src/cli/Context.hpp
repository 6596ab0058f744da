// What every CLI command shares: one run's window and session, set from the
// global options, and the ways results are printed.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/CliView.hpp"
#include "cli/Commands.hpp"
#include "view/Session.hpp"

namespace tessmar::cli {

using TJson = nlohmann::ordered_json;

// A command line that asks for what cannot be: exit status 2, with the text.
class TUsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One run's window and state. The settings are read, never written back: the
// desktop program's file (both programs share it) or the one named by
// --settings. (import and import-gtx write one catalogue entry into --settings, nothing
// else.)
struct TContext {
  TCliView View;
  TSession Session{View};
  explicit TContext(const TGlobalOptions& options);
};

void SetIfGiven(TView& view, TControl control, const std::optional<std::string>& value);

// The catalogue entry --model names: 0 or 2.5, 1, or a title (exact, or
// without regard to case when only one matches). Throws TUsageError.
int ModelIndex(const std::string& text, const TGeoidModels& models);

// --res: 0, 5, 10, 15 or 20 minutes, or the selected model's own spacing (as
// 0). Throws TUsageError listing them.
int ResolutionMinutes(const std::string& text, const TSession& session);

// The region's corners and resolution from --south, --west, --north, --east and
// --res where given, each held to its rule (the strict coordinate rule, the
// resolutions above). Throws TUsageError naming the option.
void SetRegion(TContext& context, const std::optional<std::string>& south, const std::optional<std::string>& west,
               const std::optional<std::string>& north, const std::optional<std::string>& east,
               const std::optional<std::string>& resolution);

// The coordinate in a field (set from `option` or the settings) by the strict
// rule; throws TUsageError naming the option when it is refused.
void RequireCoordinate(const TView& view, TControl field, const char* option);
TControl ResolutionButton(int minutes);

// A number in full precision (shortest text that reads back the same), or null.
TJson Number(double value);
void AppendNumber(std::string& out, double value);
void PrintLines(const std::vector<std::string>& lines);

}  // namespace tessmar::cli
