#include "convert/ConvertCommand.hpp"

#include "convert/Conversion.hpp"
#include "grid/Source.hpp"

namespace tessmar {

namespace {
// "/" is this platform's separator; "\" also ends a folder typed the Windows way.
bool IsSeparator(char c) { return c == '/' || c == '\\'; }
}  // namespace

std::string CustomGeoidFileName(const TSession& session) {
  std::string name = TrimBlanks(session.View.Text(TControl::EditFname));
  for (std::size_t i = name.size(); i-- > 0;)
    if (IsSeparator(name[i])) {
      name.erase(0, i + 1);
      break;
    }
  std::string path = FolderOf(session.DataDir) + name;
  const auto mark = path.find_last_of("./");
  if (mark != std::string::npos && path[mark] == '.') path.erase(mark);
  return path + session.OutputExt;
}

std::string IntToGroupedStr(std::int64_t value) {
  // Byte counts are never negative; a sign would still stand before the groups.
  const std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : value;
  std::string digits = std::to_string(magnitude);
  const std::size_t length = digits.size();
  for (std::size_t k = 1; k <= (length - 1) / 3; ++k) digits.insert(length - 3 * k, ",");
  return value < 0 ? "-" + digits : digits;
}

void ConvertCustomGeoid(TSession& session) {
  TView& view = session.View;
  session.AbortRequested = false;
  if (session.Busy) return;
  TBusyGuard busy(session);

  if (TrimBlanks(view.Text(TControl::EditFname)).empty()) return;
  const std::string path = CustomGeoidFileName(session);
  if (PathExists(path) && view.CenteredMessageDlg("File exist :\r\n" + path + "\r\n\n Overwrite?", TMsgDlgType::Warning,
                                                  mbYes | mbNo, 0) != TModalResult::mrYes)
    return;

  OpenSelectedModel(session);
  if (!session.SourceOpen) {
    view.ReportAppend("Cannot open: " + view.Text(TControl::ComboBoxGeoid));
    CloseSource(session);
    return;
  }
  view.ReportClear();
  view.ReportAppend("Source Geoid model: " + view.Text(TControl::ComboBoxGeoid));
  view.ProcessMessages();
  view.ReportAppend("Output file name: " + path);

  const std::int64_t result = MakeCustomGeoid(session, path);
  if (session.AbortRequested) {
    view.SetText(TControl::LabelMakeReport, "Aborted by user.");
    view.ReportAppend("Aborted by user.");
    view.SetProgressPosition(0);
    view.SetTaskbarState(TTaskBarProgressState::None);
  } else if (result < 0) {
    view.CenteredMessageDlg("Range specification error in latitude longitude.", TMsgDlgType::Error, mbOK, 0);
  } else if (result == 0) {
    view.ReportAppend("Done with error.");
    view.ReportShow();
  } else {
    view.SetText(TControl::LabelMakeReport, "Output size: " + IntToGroupedStr(result) + " bytes.");
    view.ReportAppend(view.Text(TControl::LabelMakeReport));
  }
  CloseSource(session);
}

void ButtonConvertClick(TSession& session) {
  session.AbortRequested = false;
  RunHandler(session, [&] { ConvertCustomGeoid(session); });
}

}  // namespace tessmar
