#include "convert/ConvertCommand.hpp"

#include "base/Numeric.hpp"
#include "base/Path.hpp"
#include "base/Text.hpp"
#include "session/Grids.hpp"

namespace tessmar {

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
  if (session.AbortRequested) {
    view.SetText(TControl::LabelMakeReport, "Aborted by user.");
    view.ReportAppend("Aborted by user.");
    view.SetProgressPosition(0);
    view.SetTaskbarState(TTaskBarProgressState::None);
    result.Outcome = TConvertOutcome::Aborted;
  } else if (engine.Outcome == TEngineOutcome::RangeError) {
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
    result.Outcome = TConvertOutcome::Written;
    result.Size = engine.Size;
    result.Trailer = engine.Trailer;
  }
  CloseSource(session);
  return result;
}

}  // namespace tessmar
