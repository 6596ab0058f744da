// What every CLI command shares: one run's window and session, set from the
// global options, and the ways results are printed.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliView.hpp"
#include "cli/Commands.hpp"
#include "view/Session.hpp"

namespace tessmar::cli {

using TJson = nlohmann::ordered_json;

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
TControl ResolutionButton(int minutes);

// A number in full precision (shortest text that reads back the same), or null.
TJson Number(double value);
void AppendNumber(std::string& out, double value);
void PrintLines(const std::vector<std::string>& lines);

}  // namespace tessmar::cli
