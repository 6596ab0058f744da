// tessmar-cli convert: the Convert button, its result printed.
#include "cli/Commands.hpp"

#include <iostream>

#include "base/Text.hpp"
#include "cli/Context.hpp"
#include "convert/ConvertCommand.hpp"

namespace tessmar::cli {


int RunConvert(const TGlobalOptions& global, const TConvertOptions& options) {
  TContext context(global);
  TCliView& view = context.View;
  TSession& session = context.Session;
  if (TrimBlanks(view.Text(TControl::EditFname)).empty()) {
    std::cerr << "Error: --output names no file.\n";
    return ExitUsage;
  }
  SetRegion(context, options.South, options.West, options.North, options.East, options.Resolution);
  view.AnswerYes = options.Overwrite;

  const TConvertResult result = ButtonConvertClick(session);
  view.EndProgress();

  const bool written = result.Outcome == TConvertOutcome::Written;
  if (global.Json) {
    TJson out = {{"path", result.Path},  {"size", nullptr}, {"rows", nullptr}, {"cols", nullptr},
                 {"south", nullptr}, {"west", nullptr}, {"dlat", nullptr}, {"dlon", nullptr}};
    if (written) {
      const TCustomTrailer& t = result.Trailer;
      out["size"] = result.Size;
      out["rows"] = t.rows;
      out["cols"] = t.cols;
      out["south"] = t.south;
      out["west"] = t.west;
      out["dlat"] = t.dlat;
      out["dlon"] = t.dlon;
    }
    out["report"] = view.Lines;
    std::cout << out.dump() << '\n';
  } else {
    PrintLines(view.Lines);
  }
  return result.Outcome == TConvertOutcome::Aborted ? ExitAborted : written ? ExitDone : ExitFailed;
}

}  // namespace tessmar::cli
