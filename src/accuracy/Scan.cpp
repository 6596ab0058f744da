#include "accuracy/Scan.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <vector>

#include "base/CoordText.hpp"
#include "base/Numeric.hpp"
#include "base/WorkPool.hpp"
#include "grid/Circle.hpp"
#include "grid/Interpolation.hpp"
#include "session/Grids.hpp"
#include "session/Rows.hpp"

namespace tessmar {

std::string ExtremeText(const char* name, const TScanExtreme& e) {
  return std::string(name) + FormatFixed(e.Diff, 5, 3) + "m  " + FormatLatLon(e.Lat, true) + "  " +
         FormatLatLon(e.Lon, false);
}

namespace {
// Lattice points handed to the threads at a time, and the narrowest chunk of
// columns one thread takes.
constexpr std::size_t BlockPoints = 1 << 17;
constexpr std::size_t ChunkColumns = 64;

// The precision rules: the smallest precision worth scanning for the ratio of
// the custom spacing to the source spacing, and the finest (MaxPrecision).
void ApplyPrecisionRules(std::int64_t ratio, double& precision, const char*& text) {
  const auto set = [&](double value, const char* shown) {
    precision = value;
    text = shown;
  };
  if (ratio == 0)
    set(4, "4.0");
  else if (ratio == 1 && precision < 1.99)
    set(2, "2.0");
  else if ((ratio == 2 || ratio == 3) && precision < 0.99)
    set(1, "1.0");
  else if ((ratio == 4 || ratio == 5) && precision < 0.49)
    set(0.5, "0.5");
  else if (precision > MaxPrecision)
    set(MaxPrecision, "100.0");
}

}  // namespace

TScanPlan PlanScan(const TGeoidGrid& source, const TGeoidGrid& custom, double precision) {
  TScanPlan plan;
  const double dlats = source.dlat, dlons = source.dlon;
  const double dlatc = custom.dlat, dlonc = custom.dlon;
  const std::int32_t nlatc = custom.nlat, nlonc = custom.nlon;
  if (precision == 0) {
    precision = 1;
    plan.PrecisionText = "1.0";
  }
  plan.Precision = precision;
  // Nothing to find only where the custom grid is a cut of the source's own
  // nodes: its spacing, and its nodes on the source's. A grid of that spacing
  // placed between them (an older version's cut, another program's) is scanned.
  const auto onNodes = [](double offset, double spacing) {
    return std::fabs(offset - RoundToEven(offset / spacing) * spacing) < 1e-6;
  };
  if (std::fabs(dlons - dlonc) < 1e-5 && std::fabs(dlats - dlatc) < 1e-5 &&
      onNodes(source.north - custom.north, dlats) && onNodes(AngleInCircle(custom.west - source.west), dlons)) {
    plan.Unnecessary = true;
    return plan;
  }
  ApplyPrecisionRules(Round(dlonc / dlons), plan.Precision, plan.PrecisionText);
  precision = plan.Precision;
  plan.LastRow = Round((nlatc - 7) * dlatc * precision / dlats);
  const bool wholeCircle = LatticeIsWholeCircle(nlonc, dlonc);
  plan.LastColumn =
      wholeCircle ? Round(nlonc * dlonc * precision / dlons) : Round((nlonc - 7) * dlonc * precision / dlons);
  plan.North = custom.north - dlatc * 3;
  plan.West = custom.west + (wholeCircle ? 0 : dlonc * 3);
  plan.SourceDLat = dlats;
  plan.SourceDLon = dlons;
  return plan;
}

TScanResult MaximumErrorScan(TSession& session, const TSelection& selection, double precision, TScanRowSink* sink) {
  TView& view = session.View;
  TScanResult result;
  if (session.Busy) return result;
  TBusyGuard busy(session);
  session.AbortRequested = false;

  // The custom file is closed before the source is opened: closing it closes the
  // source too, so that the scan reads the selected model from the current DataDir.
  if (CustomIsOpen(session)) CloseCustomFile(session);
  if (!session.SourceOpen()) OpenSelectedModel(session, selection.Model);
  result.Outcome = TScanOutcome::SourceMissing;
  if (!session.SourceOpen()) return result;
  view.ProcessMessages();
  result.Path = CustomGeoidFileName(session, selection.CustomName);
  const std::string& path = result.Path;
  result.Outcome = TScanOutcome::CustomMissing;
  if (!OpenCustomFile(session, path)) {
    view.ReportAppend("Can not found: " + path);
    return result;
  }
  const TGeoidGrid& source = *session.SourceGrid;
  const TGeoidGrid& custom = *session.CustomGrid;

  const TScanPlan plan = PlanScan(source, custom, precision);
  if (plan.PrecisionText) view.SetText(TControl::ComboBoxPrecision, plan.PrecisionText);
  if (plan.Unnecessary) {
    view.CenteredMessageDlg("Check is unnecessary.\r\n\r\nBecause it is the same to original resolution.",
                            TMsgDlgType::Information, mbOK, 0);
    result.Outcome = TScanOutcome::Unnecessary;
    return result;
  }
  result.Precision = plan.Precision;
  result.LastRow = plan.LastRow;
  result.LastColumn = plan.LastColumn;

  ProgressStart(view);
  double max = -100, min = 100;
  std::string maxText, minText;
  view.ReportClear();
  view.ReportAppend("File name: " + path);
  const double northc = custom.north, westc = custom.west, dlatc = custom.dlat, dlonc = custom.dlon;
  view.ReportAppend("Range: " + FormatLatLon(northc - (custom.nlat - 1) * dlatc, true) + "," +
                    FormatLatLon(westc, false) + " to " + FormatLatLon(northc, true) + "," +
                    FormatLatLon(westc + (custom.nlon - 1) * dlonc, false));
  const std::string resolution = "Resolution: " + FormatFixed(dlatc * 60, 4, 1) +
                                 " minute    Size: " + IntToGroupedStr(CustomFileSize(session)) + " bytes.";
  view.SetText(TControl::LabelReso, resolution);
  view.ReportAppend(resolution);
  view.SetText(TControl::LabelMaxG, maxText);
  view.SetText(TControl::LabelMinG, minText);
  result.Scanned = true;
  if (sink) sink->Begin(plan.Lattice());

  // The lattice is worked out in blocks of rows, each split into chunks of
  // columns that run on the pool's threads and keep their splines from block
  // to block. Meanwhile the block before is walked here, row by row in order,
  // so the first of equal extremes wins and the sink, the labels and the pumps
  // come exactly as they would one point after the other.
  const std::size_t width = plan.LastColumn >= 0 ? static_cast<std::size_t>(plan.LastColumn + 1) : 0;
  std::vector<double> lons(width);
  for (std::size_t j = 0; j < width; ++j) lons[j] = plan.Lon(static_cast<std::int64_t>(j));

  struct TChunk {
    std::size_t First, Count;
    TLatticeSpline Source, Custom;
    std::vector<double> SourceValues, CustomValues;
  };
  std::vector<std::unique_ptr<TChunk>> chunks;
  const unsigned threads = HardwareThreads();
  // A few chunks per thread let a thread that gets more of the processor
  // take more of them; a chunk stays wide enough to share its windows.
  const std::size_t chunkCount = std::min<std::size_t>(4 * threads, (width + ChunkColumns - 1) / ChunkColumns);
  for (std::size_t c = 0; c < chunkCount; ++c) {
    const std::size_t first = width * c / chunkCount, count = width * (c + 1) / chunkCount - first;
    chunks.push_back(
        std::make_unique<TChunk>(TChunk{first, count, TLatticeSpline(source, MaxWindow, &lons[first], count),
                                        TLatticeSpline(custom, MaxWindow, &lons[first], count),
                                        std::vector<double>(count), std::vector<double>(count)}));
  }
  TRowWork work;
  work.LastRow = plan.LastRow;
  work.BlockRows =
      std::clamp<std::int64_t>(static_cast<std::int64_t>(BlockPoints / std::max<std::size_t>(width, 1)), 1, 256);
  work.Ahead = 2;  // one block worked out while the one before is walked
  work.PumpBeforeProgress = true;
  std::vector<std::vector<double>> blocks(RowSlots(work),
                                          std::vector<double>(static_cast<std::size_t>(work.BlockRows) * width));
  TWorkPool pool(threads);
  work.Compute = [&](std::int64_t first, std::int64_t last, std::size_t slot, const std::atomic<bool>& leaving) {
    double* block = blocks[slot].data();
    pool.Start(chunks.size(), [&, first, last, block](std::size_t c) {
      TChunk& chunk = *chunks[c];
      for (std::int64_t i = first; i <= last && !leaving; ++i) {
        const double lat = plan.Lat(i);
        chunk.Source.Row(lat, chunk.SourceValues.data());
        chunk.Custom.Row(lat, chunk.CustomValues.data());
        double* diffs = block + static_cast<std::size_t>(i - first) * width + chunk.First;
        for (std::size_t k = 0; k < chunk.Count; ++k) {
          const double cus = static_cast<float>(chunk.CustomValues[k]);
          diffs[k] = cus - chunk.SourceValues[k];  // NaN when either is
        }
      }
    });
    pool.Wait();
  };
  work.TakeRow = [&](std::int64_t i, std::size_t slot, std::int64_t index) {
    const double lat = plan.Lat(i);
    const double* diffs = blocks[slot].data() + static_cast<std::size_t>(index) * width;
    result.RowsScanned = i + 1;
    if (sink) sink->Row(i, diffs, width);
    for (std::size_t j = 0; j < width; ++j) {
      const double diff = diffs[j];
      if (std::isnan(diff)) continue;
      ++result.Points;
      if (diff > max) {
        max = diff;
        result.Max = TScanExtreme{diff, lat, plan.Lon(static_cast<std::int64_t>(j))};
        maxText = ExtremeText("Max: ", *result.Max);
        view.SetText(TControl::LabelMaxG, maxText);
        view.ProcessMessages();
      }
      if (diff < min) {
        min = diff;
        result.Min = TScanExtreme{diff, lat, plan.Lon(static_cast<std::int64_t>(j))};
        minText = ExtremeText("Min: ", *result.Min);
        view.SetText(TControl::LabelMinG, minText);
        view.ProcessMessages();
      }
    }
  };
  if (WalkRows(session, work) == TRowsEnd::Aborted) {
    view.SetProgressVisible(false);
    view.SetTaskbarState(TTaskBarProgressState::None);
    view.SetText(TControl::LabelReso, "Aborted.");
    view.ReportAppend("Aborted by user.");
    result.Outcome = TScanOutcome::Aborted;
    // The extremes found so far are of part of the lattice only: say how much.
    view.ReportAppend("Partial scan: " + IntToGroupedStr(result.RowsScanned) + " of " +
                      IntToGroupedStr(plan.LastRow + 1) + " rows of the lattice (" +
                      FormatFixed(100 * result.ScannedFraction(), 0, 1) + "%)");
    for (const std::string* text : {&minText, &maxText})
      if (!text->empty()) view.ReportAppend(*text + "  (partial)");
    return result;
  }
  view.ReportAppend(minText);
  view.ReportAppend(maxText);
  result.Outcome = TScanOutcome::Done;
  return result;
}

}  // namespace tessmar
