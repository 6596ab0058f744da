// tessmar-cli convert: the Convert command, its result printed.
#include <iostream>

#include "base/Text.hpp"
#include "cli/Commands.hpp"
#include "cli/Context.hpp"
#include "convert/ConvertCommand.hpp"
#include "session/RunHandler.hpp"

namespace tessmar::cli {

int RunConvert(const TGlobalOptions& global, const TConvertOptions& options) {
  TContext context(global);
  TCliView& view = context.View;
  TSession& session = context.Session;
  if (TrimBlanks(context.Inputs.OutputName).empty()) throw TUsageError("--output names no file.");
  const TConversionPlan plan =
      ReadPlan(context, options.South, options.West, options.North, options.East, options.Resolution);
  view.AnswerYes = options.Overwrite;

  TConvertResult result;
  if (!RunHandler(view, [&] { result = ConvertCustomGeoid(session, context.Selection(), plan); })) {
    result.Outcome = TConvertOutcome::Failed;
    result.Path = CustomGeoidFileName(session, context.Inputs.OutputName);
  }
  view.EndProgress();
  if (!result.Reason.empty()) std::cerr << "Error: " << result.Reason << "\n";

  const bool written = result.Outcome == TConvertOutcome::Written;
  if (global.Json) {
    TJson out = {{"path", result.Path}, {"size", nullptr}, {"rows", nullptr}, {"cols", nullptr},
                 {"south", nullptr},    {"west", nullptr}, {"dlat", nullptr}, {"dlon", nullptr}};
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
    // The region cut: its corner nodes, the corners the snap moved, the nodes
    // without a value, a wide region across 180 degrees.
    const TCutFacts& cut = result.Cut;
    out["region"] = nullptr;
    out["moved"] = nullptr;
    out["noValue"] = nullptr;
    out["wideAcross180"] = nullptr;
    if (cut.Known) {
      TJson moved = TJson::array();
      for (const TMovedCorner& c : MovedCorners(cut))
        moved.push_back({{"corner", c.Name}, {"typed", Number(c.Typed)}, {"snapped", Number(c.Snapped)}});
      out["moved"] = moved;
      out["wideAcross180"] = cut.WideAcross180;
    }
    if (written) {
      const TCustomTrailer& t = result.Trailer;
      out["region"] = {{"south", t.south}, {"west", t.west}, {"north", cut.North}, {"east", cut.East}};
      out["noValue"] = cut.NoValueNodes;
    }
    out["report"] = view.Lines;
    std::cout << JsonDump(out) << '\n';
  } else {
    PrintLines(view.Lines);
  }
  return result.Outcome == TConvertOutcome::Aborted ? ExitAborted : written ? ExitDone : ExitFailed;
}

}  // namespace tessmar::cli
