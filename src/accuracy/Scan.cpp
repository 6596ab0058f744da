#include "accuracy/Scan.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

#include "base/CoordText.hpp"
#include "base/WorkPool.hpp"
#include "grid/Circle.hpp"
#include "grid/Interpolation.hpp"
#include "view/Grids.hpp"
#include "view/RunHandler.hpp"

namespace tessmar {

std::string FormatLatLon(double value, bool isLatitude) {
  if (isLatitude) return FormatFixed(std::fabs(value), 9, 6) + (value < 0 ? "S" : "N");
  // Subtracting 360 at a time, with a shortcut for values so large that the
  // subtraction would take forever or change nothing.
  if (value > 1e9) value = std::fmod(value, 360.0);
  while (value > 180) value -= 360;
  return FormatFixed(std::fabs(value), 10, 6) + (value < 0 ? "W" : "E");
}

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
// the custom spacing to the source spacing.
void ApplyPrecisionRules(TView& view, std::int64_t ratio, double& precision) {
  const auto set = [&](double value, const char* text) {
    precision = value;
    view.SetText(TControl::ComboBoxPrecision, text);
  };
  if (ratio == 0)
    set(4, "4.0");
  else if (ratio == 1 && precision < 1.99)
    set(2, "2.0");
  else if ((ratio == 2 || ratio == 3) && precision < 0.99)
    set(1, "1.0");
  else if ((ratio == 4 || ratio == 5) && precision < 0.49)
    set(0.5, "0.5");
}

}  // namespace

TScanResult MaximumErrorScan(TSession& session, TScanRowSink* sink) {
  TView& view = session.View;
  TScanResult result;
  if (session.Busy) return result;
  TBusyGuard busy(session);
  session.AbortRequested = false;

  // The custom file is closed before the source is opened: closing it closes the
  // source too, so that the scan reads the selected model from the current DataDir.
  if (CustomIsOpen(session)) CloseCustomFile(session);
  if (!session.SourceOpen()) OpenSelectedModel(session);
  result.Outcome = TScanOutcome::SourceMissing;
  if (!session.SourceOpen()) return result;
  view.ProcessMessages();
  result.Path = CustomGeoidFileName(session);
  const std::string& path = result.Path;
  result.Outcome = TScanOutcome::CustomMissing;
  if (!OpenCustomFile(session, path)) {
    view.ReportAppend("Can not found: " + path);
    return result;
  }
  const TGeoidGrid& source = *session.SourceGrid;
  const TGeoidGrid& custom = *session.CustomGrid;
  const double dlats = source.dlat, dlons = source.dlon;
  const double dlatc = custom.dlat, dlonc = custom.dlon, northc = custom.north, westc = custom.west;
  const std::int32_t nlatc = custom.nlat, nlonc = custom.nlon;

  double precision = ParseNumber(view.Text(TControl::ComboBoxPrecision));
  if (precision == 0) {
    precision = 1;
    view.SetText(TControl::ComboBoxPrecision, "1.0");
  }
  if (std::fabs(dlons - dlonc) < 1e-5 && std::fabs(dlats - dlatc) < 1e-5) {
    view.CenteredMessageDlg("Check is unnecessary.\r\n\r\nBecause it is the same to original resolution.",
                            TMsgDlgType::Information, mbOK, 0);
    result.Outcome = TScanOutcome::Unnecessary;
    return result;
  }
  ApplyPrecisionRules(view, Round(dlonc / dlons), precision);
  result.Precision = precision;

  const std::int64_t nr = Round((nlatc - 7) * dlatc * precision / dlats);
  const double rowoff = dlatc * 3;
  const bool wholeCircle = LatticeIsWholeCircle(nlonc, dlonc);
  const std::int64_t nc =
      wholeCircle ? Round(nlonc * dlonc * precision / dlons) : Round((nlonc - 7) * dlonc * precision / dlons);
  const double coloff = wholeCircle ? 0 : dlonc * 3;
  result.nr = nr;
  result.nc = nc;

  ProgressStart(view);
  double max = -100, min = 100;
  view.ReportClear();
  view.ReportAppend("File name: " + path);
  view.ReportAppend("Range: " + FormatLatLon(northc - (nlatc - 1) * dlatc, true) + "," + FormatLatLon(westc, false) +
                    " to " + FormatLatLon(northc, true) + "," + FormatLatLon(westc + (nlonc - 1) * dlonc, false));
  view.SetText(TControl::LabelReso, "Resolution: " + FormatFixed(dlatc * 60, 4, 1) +
                                        " minute    Size: " + IntToGroupedStr(CustomFileSize(session)) + " bytes.");
  view.ReportAppend(view.Text(TControl::LabelReso));
  view.SetText(TControl::LabelMaxG, "");
  view.SetText(TControl::LabelMinG, "");
  result.Scanned = true;
  if (sink) sink->Begin({nr, nc, northc - rowoff, westc + coloff, dlats / precision, dlons / precision});

  // The lattice is worked out in blocks of rows on the pool's threads, each
  // block split into chunks of columns that keep their splines from block to
  // block. Meanwhile the block before is walked here, row by row in order, so
  // the first of equal extremes wins and the sink, the labels and the pumps
  // come exactly as they would one point after the other.
  const auto latAt = [&](std::int64_t i) { return (northc - rowoff) - dlats * static_cast<double>(i) / precision; };
  const auto lonAt = [&](std::int64_t j) { return (westc + coloff) + dlons * static_cast<double>(j) / precision; };
  const std::size_t width = nc >= 0 ? static_cast<std::size_t>(nc + 1) : 0;
  std::vector<double> lons(width);
  for (std::size_t j = 0; j < width; ++j) lons[j] = lonAt(static_cast<std::int64_t>(j));

  struct TChunk {
    std::size_t First, Count;
    TLatticeSpline Source, Custom;
    std::vector<double> SourceValues, CustomValues;
  };
  std::vector<std::unique_ptr<TChunk>> chunks;
  const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
  // A few chunks per thread let a thread that gets more of the processor
  // take more of them; a chunk stays wide enough to share its windows.
  const std::size_t chunkCount = std::min<std::size_t>(4 * threads, (width + ChunkColumns - 1) / ChunkColumns);
  for (std::size_t c = 0; c < chunkCount; ++c) {
    const std::size_t first = width * c / chunkCount, count = width * (c + 1) / chunkCount - first;
    chunks.push_back(std::make_unique<TChunk>(TChunk{first, count, TLatticeSpline(source, MaxWindow, &lons[first], count),
                                                     TLatticeSpline(custom, MaxWindow, &lons[first], count),
                                                     std::vector<double>(count), std::vector<double>(count)}));
  }
  const std::int64_t blockRows =
      std::clamp<std::int64_t>(static_cast<std::int64_t>(BlockPoints / std::max<std::size_t>(width, 1)), 1, 256);
  std::vector<double> blocks[2] = {std::vector<double>(static_cast<std::size_t>(blockRows) * width),
                                   std::vector<double>(static_cast<std::size_t>(blockRows) * width)};
  std::atomic<bool> stop{false};
  // The rows first .. last (at most blockRows of them) into blocks[b % 2].
  const auto work = [&](std::int64_t b) {
    const std::int64_t first = b * blockRows, last = std::min(nr, first + blockRows - 1);
    double* block = blocks[b % 2].data();
    return [&chunks, &stop, &latAt, first, last, block, width](std::size_t c) {
      TChunk& chunk = *chunks[c];
      for (std::int64_t i = first; i <= last && !stop; ++i) {
        const double lat = latAt(i);
        chunk.Source.Row(lat, chunk.SourceValues.data());
        chunk.Custom.Row(lat, chunk.CustomValues.data());
        double* diffs = block + static_cast<std::size_t>(i - first) * width + chunk.First;
        for (std::size_t k = 0; k < chunk.Count; ++k) {
          const double cus = static_cast<float>(chunk.CustomValues[k]);
          diffs[k] = cus - chunk.SourceValues[k];  // NaN when either is
        }
      }
    };
  };
  TWorkPool pool(threads);
  // Leaving early (an abort, an error) stops the block in hand at its next row.
  struct TStop {
    std::atomic<bool>& Flag;
    ~TStop() { Flag = true; }
  } stopGuard{stop};
  const std::int64_t blockCount = nr >= 0 ? nr / blockRows + 1 : 0;
  if (blockCount > 0) pool.Start(chunks.size(), work(0));
  for (std::int64_t b = 0; b < blockCount; ++b) {
    pool.Wait();
    if (source.FileChanged() || custom.FileChanged()) {  // zeros read where nodes were
      const char* text = source.FileChanged() ? SourceChangedText : CustomChangedText;
      session.SourceGrid.reset();
      session.CustomGrid.reset();
      throw TError(text);
    }
    if (b + 1 < blockCount) pool.Start(chunks.size(), work(b + 1));
    const double* block = blocks[b % 2].data();
    const std::int64_t first = b * blockRows, last = std::min(nr, first + blockRows - 1);
    for (std::int64_t i = first; i <= last; ++i) {
      const double lat = latAt(i);
      const double* diffs = block + static_cast<std::size_t>(i - first) * width;
      if (sink) sink->Row(i, diffs, width);
      for (std::size_t j = 0; j < width; ++j) {
        const double diff = diffs[j];
        if (std::isnan(diff)) continue;
        ++result.Points;
        if (diff > max) {
          max = diff;
          result.Max = TScanExtreme{diff, lat, lonAt(static_cast<std::int64_t>(j))};
          view.SetText(TControl::LabelMaxG, ExtremeText("Max: ", *result.Max));
          view.ProcessMessages();
        }
        if (diff < min) {
          min = diff;
          result.Min = TScanExtreme{diff, lat, lonAt(static_cast<std::int64_t>(j))};
          view.SetText(TControl::LabelMinG, ExtremeText("Min: ", *result.Min));
          view.ProcessMessages();
        }
      }
      view.ProcessMessages();
      ProgressStep(view, i, nr);
      if (session.AbortRequested) {
        view.SetProgressVisible(false);
        view.SetTaskbarState(TTaskBarProgressState::None);
        view.SetText(TControl::LabelReso, "Aborted.");
        view.ReportAppend("Aborted by user.");
        result.Outcome = TScanOutcome::Aborted;
        return result;
      }
    }
  }
  view.ReportAppend(view.Text(TControl::LabelMinG));
  view.ReportAppend(view.Text(TControl::LabelMaxG));
  result.Outcome = TScanOutcome::Done;
  return result;
}

TScanResult Button1Click(TSession& session, TScanRowSink* sink) {
  TScanResult result;
  result.Outcome = TScanOutcome::Failed;  // unless the scan returns
  RunHandler(session.View, [&] { result = MaximumErrorScan(session, sink); });
  return result;
}

}  // namespace tessmar
