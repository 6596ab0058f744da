#include "convert/ConvertCommand.hpp"

#include "base/Numeric.hpp"
#include "base/Path.hpp"
#include "base/Text.hpp"
#include "view/Grids.hpp"
#include "view/RunHandler.hpp"

namespace tessmar {

TConvertResult ConvertCustomGeoid(TSession& session) {
  TView& view = session.View;
  TConvertResult result;
  session.AbortRequested = false;
  if (session.Busy) return result;
  TBusyGuard busy(session);

  if (TrimBlanks(view.Text(TControl::EditFname)).empty()) return result;
  result.Path = CustomGeoidFileName(session);
  const std::string& path = result.Path;
  if (PathExists(path) && view.CenteredMessageDlg("File exist :\r\n" + path + "\r\n\n Overwrite?", TMsgDlgType::Warning,
                                                  mbYes | mbNo, 0) != TModalResult::mrYes) {
    result.Outcome = TConvertOutcome::Declined;
    return result;
  }

  OpenSelectedModel(session);
  if (!session.SourceOpen()) {
    view.ReportAppend("Cannot open: " + view.Text(TControl::ComboBoxGeoid));
    CloseSource(session);
    result.Outcome = TConvertOutcome::SourceMissing;
    return result;
  }
  view.ReportClear();
  view.ReportAppend("Source Geoid model: " + view.Text(TControl::ComboBoxGeoid));
  view.ProcessMessages();
  view.ReportAppend("Output file name: " + path);

  const TEngineResult engine = MakeCustomGeoid(session, path);
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
    view.ReportShow();
    result.Outcome = TConvertOutcome::Failed;
  } else {
    view.SetText(TControl::LabelMakeReport, "Output size: " + IntToGroupedStr(engine.Size) + " bytes.");
    view.ReportAppend(view.Text(TControl::LabelMakeReport));
    result.Outcome = TConvertOutcome::Written;
    result.Size = engine.Size;
    result.Trailer = engine.Trailer;
  }
  CloseSource(session);
  return result;
}

TConvertResult ButtonConvertClick(TSession& session) {
  session.AbortRequested = false;
  TConvertResult result;
  bool left = true;  // an error left the command
  RunHandler(session.View, [&] {
    result = ConvertCustomGeoid(session);
    left = false;
  });
  if (left) result = {TConvertOutcome::Failed, CustomGeoidFileName(session)};
  return result;
}

}  // namespace tessmar
