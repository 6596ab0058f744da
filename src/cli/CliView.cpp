#include "cli/CliView.hpp"

#include <iostream>

#include "base/Platform.hpp"

namespace tessmar::cli {

void InstallInterruptHandler() { CatchConsoleInterrupt(); }

bool InterruptRequested() { return ConsoleInterrupted(); }

TCliView::TCliView(bool quiet) : FProgress(quiet) { TaskbarMax = 0; }

TModalResult TCliView::CenteredMessageDlg(const std::string& text, TMsgDlgType kind, TMsgDlgButtons buttons, int) {
  EndProgress();
  std::cerr << DialogLine(kind, OneLine(text)) << '\n';
  if (buttons & mbYes) {
    std::cerr << (AnswerYes ? "Answered Yes (--overwrite)." : "Answered No: pass --overwrite to replace it.") << '\n';
    return AnswerYes ? TModalResult::mrYes : TModalResult::mrNo;
  }
  return TModalResult::mrOK;
}

void TCliView::ShowGeneralError(const std::string& text) {
  EndProgress();
  std::cerr << DialogLine(TMsgDlgType::Error, GeneralErrorText(text)) << '\n';
}

void TCliView::ProcessMessages() {
  if (Session && InterruptRequested()) Session->AbortRequested = true;
}

void TCliView::SetProgressPosition(int position) {
  TFieldView::SetProgressPosition(position);
  if (ProgressVisible) FProgress.Update(static_cast<double>(position) / ProgressBarMax);
}

void TCliView::SetProgressVisible(bool visible) {
  const bool starts = visible && !ProgressVisible;
  TFieldView::SetProgressVisible(visible);
  if (starts) FProgress.Start();
  if (!visible) EndProgress();
}

void TCliView::EndProgress() { FProgress.End(); }

}  // namespace tessmar::cli
