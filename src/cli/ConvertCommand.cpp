// tessmar-cli convert: the Convert button, its result printed.
#include "cli/Commands.hpp"

#include <iostream>

#include <cmath>

#include "base/CoordText.hpp"
#include "base/Numeric.hpp"
#include "base/Text.hpp"
#include "view/Grids.hpp"
#include "cli/Context.hpp"
#include "convert/ConvertCommand.hpp"

namespace tessmar::cli {

namespace {
// --res: 0, 5, 10, 15 or 20 minutes, or the selected model's own spacing (as 0).
int ResolutionMinutes(const std::string& text, const TSession& session) {
  const TGeoidModel& model = session.GeoidModels[SelectedModelIndex(session)];
  const std::optional<double> minutes = ReadNumber(text);
  if (minutes)
    for (const int choice : {0, 5, 10, 15, 20})
      if (*minutes == choice) return choice;
  const double own = model.dgla * 60;
  if (minutes && std::fabs(*minutes - own) < 1e-9 * own) return 0;
  throw TUsageError("--res: \"" + text + "\" is not a resolution for " + model.title + ". Choose 5, 10, 15 or 20 minutes, or 0 (or " +
                    ShortestText(std::round(own * 1e9) / 1e9) + ") for the model's own spacing");
}
}  // namespace

int RunConvert(const TGlobalOptions& global, const TConvertOptions& options) {
  TContext context(global);
  TCliView& view = context.View;
  TSession& session = context.Session;
  if (TrimBlanks(view.Text(TControl::EditFname)).empty()) {
    std::cerr << "Error: --output names no file.\n";
    return ExitUsage;
  }
  SetIfGiven(view, TControl::EditLat1, options.South);
  SetIfGiven(view, TControl::EditLon1, options.West);
  SetIfGiven(view, TControl::EditLat2, options.North);
  SetIfGiven(view, TControl::EditLon2, options.East);
  RequireCoordinate(view, TControl::EditLat1, "--south");
  RequireCoordinate(view, TControl::EditLon1, "--west");
  RequireCoordinate(view, TControl::EditLat2, "--north");
  RequireCoordinate(view, TControl::EditLon2, "--east");
  if (options.Resolution) view.SetChecked(ResolutionButton(ResolutionMinutes(*options.Resolution, session)), true);
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
