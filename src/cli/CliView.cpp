#include "cli/CliView.hpp"

#include <iostream>

#include "base/Platform.hpp"

namespace tessmar::cli {

namespace {
// Dialog texts are one line on the console: CR LF and the like become " ".
std::string OneLine(const std::string& text) {
  std::string line;
  for (char c : text) {
    if (c == '\r' || c == '\n') {
      if (!line.empty() && line.back() != ' ') line += ' ';
    } else {
      line += c;
    }
  }
  return line;
}
}  // namespace

void InstallInterruptHandler() { CatchConsoleInterrupt(); }

bool InterruptRequested() { return ConsoleInterrupted(); }

TCliView::TCliView() : FTerminal(IsTerminal(StandardError)) { TaskbarMax = 0; }

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
  if (!FTerminal || !ProgressVisible) return;
  const int percent = position / 10;
  if (percent == FShownPercent) return;
  FShownPercent = percent;
  constexpr int width = 40;
  const int filled = position * width / ProgressBarMax;
  std::cerr << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
            << std::string(static_cast<std::size_t>(width - filled), ' ') << "] " << percent << "%" << std::flush;
}

void TCliView::SetProgressVisible(bool visible) {
  TFieldView::SetProgressVisible(visible);
  if (!visible) EndProgress();
}

void TCliView::EndProgress() {
  if (FShownPercent >= 0) std::cerr << '\n';
  FShownPercent = -1;
}

}  // namespace tessmar::cli
