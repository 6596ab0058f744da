#include "accuracy/Scan.hpp"

#include <cmath>
#include <vector>

#include "base/CoordText.hpp"
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

  // A row's points are independent: they are evaluated on every core, then
  // walked in order, so the first of equal extremes wins and the labels and
  // pumps come exactly as they would one point after the other.
  std::vector<double> diffs(nc >= 0 ? static_cast<std::size_t>(nc + 1) : 0);
  for (std::int64_t i = 0; i <= nr; ++i) {
    const double lat = (northc - rowoff) - dlats * static_cast<double>(i) / precision;
    const auto lonAt = [&](std::int64_t j) { return (westc + coloff) + dlons * static_cast<double>(j) / precision; };
#pragma omp parallel
    {
      TWindowSpline sourceSpline(source, MaxWindow), customSpline(custom, MaxWindow);
#pragma omp for schedule(static)
      for (std::int64_t j = 0; j <= nc; ++j) {
        const double lon = lonAt(j);
        const double src = sourceSpline(lat, lon);
        const double cus = static_cast<float>(customSpline(lat, lon));
        diffs[static_cast<std::size_t>(j)] = cus - src;  // NaN when either is
      }
    }
    if (source.FileChanged() || custom.FileChanged()) {  // zeros read where nodes were
      const char* text = source.FileChanged() ? SourceChangedText : CustomChangedText;
      session.SourceGrid.reset();
      session.CustomGrid.reset();
      throw TError(text);
    }
    if (sink) sink->Row(i, diffs.data(), diffs.size());
    for (std::int64_t j = 0; j <= nc; ++j) {
      const double diff = diffs[static_cast<std::size_t>(j)];
      if (std::isnan(diff)) continue;
      ++result.Points;
      if (diff > max) {
        max = diff;
        result.Max = TScanExtreme{diff, lat, lonAt(j)};
        view.SetText(TControl::LabelMaxG, ExtremeText("Max: ", *result.Max));
        view.ProcessMessages();
      }
      if (diff < min) {
        min = diff;
        result.Min = TScanExtreme{diff, lat, lonAt(j)};
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
