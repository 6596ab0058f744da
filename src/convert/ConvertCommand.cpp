#include "convert/ConvertCommand.hpp"

#include <cmath>
#include <vector>

#include "base/CoordText.hpp"
#include "base/Numeric.hpp"
#include "base/Path.hpp"
#include "base/Text.hpp"
#include "grid/Circle.hpp"
#include "session/Grids.hpp"

namespace tessmar {

namespace {
// A coordinate in a sentence: FormatLatLon without its padding.
std::string LatLonWord(double value, bool isLatitude) { return TrimBlanks(FormatLatLon(value, isLatitude)); }

// Degrees to six decimals at most, without trailing zeros: "342", "20.083333".
std::string DegreesWord(double value) {
  std::string text = FormatFixed(value, 0, 6);
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text;
}

std::string Grouped(double count) {
  return count < 9e18 ? IntToGroupedStr(static_cast<std::int64_t>(count)) : ShortestText(count);
}

// Why the region gives the range error, naming the corners at fault.
std::string RangeFaultText(const TCutFacts& cut) {
  const TCorners& typed = cut.Typed;
  switch (cut.Fault) {
    case TRangeFault::Rows:
      return "The south corner " + LatLonWord(typed.South, true) + " lies north of the north corner " +
             LatLonWord(typed.North, true) + ": the region has no rows.";
    case TRangeFault::Columns:
      return "The west corner " + ShortestText(typed.West) + " and the east corner " + ShortestText(typed.East) +
             " lie more than a turn apart: the region has no columns. Give longitudes within -360..360.";
    case TRangeFault::Size:
      return "The file would be " + Grouped(cut.Bytes) +
             " bytes: a custom geoid file stays below 2 GiB (2,147,483,648 bytes). Choose a smaller region or a "
             "coarser resolution.";
    case TRangeFault::None: break;
  }
  return {};
}

// What a written cut holds, after the size line: the nodes written, the
// corners the snap moved, a wide region across 180 degrees, the nodes without
// a value.
std::vector<std::string> CutReportLines(const TCutFacts& cut, const TCustomTrailer& trailer) {
  std::vector<std::string> lines;
  lines.push_back("Region written: " + FormatLatLon(trailer.south, true) + "," + FormatLatLon(trailer.west, false) +
                  " to " + FormatLatLon(cut.North, true) + "," + FormatLatLon(cut.East, false) + " (" +
                  IntToGroupedStr(trailer.rows) + " rows of " + IntToGroupedStr(trailer.cols) + " nodes)");
  for (const TMovedCorner& c : MovedCorners(cut)) {
    const double by = c.Snapped - c.Typed;
    const char* towards = c.Latitude ? (by > 0 ? "north" : "south") : (by > 0 ? "east" : "west");
    std::string name = c.Name;
    name[0] = static_cast<char>(name[0] - 'a' + 'A');
    lines.push_back(name + " corner moved to a whole cell: " + LatLonWord(c.Typed, c.Latitude) + " to " +
                    LatLonWord(c.Snapped, c.Latitude) + " (" + FormatFixed(std::fabs(by) * 3600, 0, 3) + "\" " +
                    towards + ")");
  }
  if (cut.WideAcross180) {
    const double W = EastFromZero(cut.Region.Snapped.West), E = EastFromZero(cut.Region.Snapped.East);
    lines.push_back("Warning: the region runs east from " + LatLonWord(W, false) + " across 180 degrees to " +
                    LatLonWord(E, false) + ", " + DegreesWord(W > E ? E - W + 360 : E - W) +
                    " degrees of longitude: were west and east meant the other way round?");
  }
  if (cut.NoValueNodes > 0)
    lines.push_back("Nodes without a value: " + IntToGroupedStr(cut.NoValueNodes) + " of " +
                    IntToGroupedStr(std::int64_t{trailer.rows} * trailer.cols) +
                    " (outside the source grid, or without a value there)");
  return lines;
}
}  // namespace

TConvertResult ConvertCustomGeoid(TSession& session, const TSelection& selection, const TConversionPlan& plan) {
  TView& view = session.View;
  TConvertResult result;
  session.AbortRequested = false;
  if (session.Busy) return result;
  TBusyGuard busy(session);

  if (TrimBlanks(selection.CustomName).empty()) return result;
  result.Path = CustomGeoidFileName(session, selection.CustomName);
  const std::string& path = result.Path;
  if (PathExists(path) && view.CenteredMessageDlg("File exist :\r\n" + path + "\r\n\n Overwrite?", TMsgDlgType::Warning,
                                                  mbYes | mbNo, 0) != TModalResult::mrYes) {
    result.Outcome = TConvertOutcome::Declined;
    return result;
  }

  OpenSelectedModel(session, selection.Model);
  const std::string& title = session.GeoidModels[selection.Model == 0 ? 0 : 1].title;  // as the combo box shows it now
  if (!session.SourceOpen()) {
    view.ReportAppend("Cannot open: " + title);
    CloseSource(session);
    result.Outcome = TConvertOutcome::SourceMissing;
    return result;
  }
  view.ReportClear();
  view.ReportAppend("Source Geoid model: " + title);
  view.ProcessMessages();
  view.ReportAppend("Output file name: " + path);

  const TEngineResult engine = MakeCustomGeoid(session, plan, path);
  result.Cut = engine.Cut;
  if (session.AbortRequested) {
    view.SetText(TControl::LabelMakeReport, "Aborted by user.");
    view.ReportAppend("Aborted by user.");
    view.SetProgressPosition(0);
    view.SetTaskbarState(TTaskBarProgressState::None);
    result.Outcome = TConvertOutcome::Aborted;
  } else if (engine.Outcome == TEngineOutcome::RangeError) {
    // The dialog's text stays as it is; the report says which corners.
    result.Reason = RangeFaultText(engine.Cut);
    view.ReportAppend(result.Reason);
    view.CenteredMessageDlg("Range specification error in latitude longitude.", TMsgDlgType::Error, mbOK, 0);
    result.Outcome = TConvertOutcome::RangeError;
  } else if (engine.Outcome != TEngineOutcome::Written) {
    view.ReportAppend("Done with error.");
    if (!engine.Reason.empty()) view.ReportAppend(engine.Reason);
    view.ReportShow();
    result.Outcome = TConvertOutcome::Failed;
    result.Reason = engine.Reason;
  } else {
    const std::string size = "Output size: " + IntToGroupedStr(engine.Size) + " bytes.";
    view.SetText(TControl::LabelMakeReport, size);
    view.ReportAppend(size);
    for (const std::string& line : CutReportLines(engine.Cut, engine.Trailer)) view.ReportAppend(line);
    result.Outcome = TConvertOutcome::Written;
    result.Size = engine.Size;
    result.Trailer = engine.Trailer;
  }
  CloseSource(session);
  return result;
}

}  // namespace tessmar
