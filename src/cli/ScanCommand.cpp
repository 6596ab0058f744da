// tessmar-cli scan: the maximum error scan, its result printed; with
// --heatmap, its differences as a picture too.
#include <iostream>

#include "accuracy/Scan.hpp"
#include "base/CoordText.hpp"
#include "base/Numeric.hpp"
#include "base/Path.hpp"
#include "cli/Commands.hpp"
#include "cli/Context.hpp"
#include "picture/HeatMap.hpp"
#include "session/Grids.hpp"
#include "session/RunHandler.hpp"

namespace tessmar::cli {

int RunScan(const TGlobalOptions& global, const TScanOptions& options) {
  TContext context(global);
  TCliView& view = context.View;
  TSession& session = context.Session;
  const double precision = ReadPrecision(options.Precision);
  const std::optional<THeatScale> heatScale = ReadHeatScale(options.HeatmapScale);
  if (!heatScale)
    throw TUsageError("--heatmap-scale: \"" + options.HeatmapScale +
                      "\" is not a scale. Give max, p and a percentile above 0 and at most 100 (p99.5), or metres "
                      "above 0 (0.05)");
  const bool wantHeat = !options.Heatmap.empty();
  if (wantHeat) RequireNoFolder(options.Heatmap, "--heatmap");
  if (wantHeat) RefuseToReplace(options.Heatmap, "PNG file", options.Overwrite);  // before the scan, not after
  THeatMap heat(*heatScale);
  TScanResult result;
  result.Outcome = TScanOutcome::Failed;  // unless the scan returns
  RunHandler(view,
             [&] { result = MaximumErrorScan(session, context.Selection(), precision, wantHeat ? &heat : nullptr); });
  view.EndProgress();
  if (result.Scanned && result.Precision != precision)
    std::cerr << "Note: precision raised to " << ShortestText(result.Precision)
              << ": a coarser lattice would miss nodes of the custom grid.\n";

  std::string heatError;
  const bool heatWritten = wantHeat && HeatMapComplete(result, heat);
  if (heatWritten) {
    WriteHeatMap(heat, options.Heatmap);
    for (const std::string& line : HeatMapReport(heat, options.Heatmap)) view.ReportAppend(line);
  } else if (wantHeat && result.Outcome != TScanOutcome::Aborted) {
    heatError = result.Outcome == TScanOutcome::Done ? "no heat map: the scan's lattice has no points"
                                                     : "no heat map: no scan was made";
  }

  if (global.Json) {
    const auto extreme = [](const std::optional<TScanExtreme>& e) {
      return e ? TJson{{"diff", e->Diff}, {"lat", e->Lat}, {"lon", e->Lon}} : TJson(nullptr);
    };
    TJson out = {{"path", result.Path.empty() ? CustomGeoidFileName(session, context.Inputs.OutputName) : result.Path},
                 {"precision", result.Scanned ? Number(result.Precision) : TJson(nullptr)},
                 {"nr", result.Scanned ? TJson(result.LastRow) : TJson(nullptr)},
                 {"nc", result.Scanned ? TJson(result.LastColumn) : TJson(nullptr)},
                 {"points", result.Points},
                 // A scan stopped by Ctrl-C: its extremes are of the part scanned only.
                 {"complete", result.Scanned ? TJson(result.Outcome == TScanOutcome::Done) : TJson(nullptr)},
                 {"fraction", result.Scanned ? Number(result.ScannedFraction()) : TJson(nullptr)},
                 {"max", extreme(result.Max)},
                 {"min", extreme(result.Min)}};
    if (heatWritten) {
      const TScanLattice& l = heat.Lattice();
      out["heatmap"] = {{"path", options.Heatmap},  {"width", heat.Width()},
                        {"height", heat.Height()},  {"block", heat.Block()},
                        {"north", l.North},         {"west", l.West},
                        {"dlat", heat.PixelDLat()}, {"dlon", heat.PixelDLon()},
                        {"scale", heat.Scale()},    {"scaleRule", HeatScaleText(heat.ScaleRule())},
                        {"lowest", heat.Lowest()},  {"highest", heat.Highest()}};
    } else if (wantHeat) {
      out["heatmap"] = nullptr;
    }
    out["report"] = view.Lines;
    std::cout << JsonDump(out) << '\n';
  } else {
    PrintLines(view.Lines);
  }
  if (!heatError.empty()) {
    std::cerr << "Error: " << heatError << "\n";
    return ExitFailed;
  }
  switch (result.Outcome) {
    case TScanOutcome::Done:
    case TScanOutcome::Unnecessary: return ExitDone;
    case TScanOutcome::Aborted: return ExitAborted;
    default: return ExitFailed;
  }
}

}  // namespace tessmar::cli
