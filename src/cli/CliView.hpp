// TCliView: the main window as plain fields and the console. Dialogs and general
// errors go to stderr prefixed by their kind; a question is answered from the
// command line; the message pump turns Ctrl-C into AbortRequested; the progress
// of a conversion or scan shows as the command line's progress line.
// Not thread-safe: used on the command's one thread.
#pragma once

#include <cstdio>
#include <string>

#include "cli/Progress.hpp"
#include "session/FieldView.hpp"
#include "session/Session.hpp"

namespace tessmar::cli {

class TCliView : public TFieldView {
 public:
  // quiet: --quiet, no progress line.
  explicit TCliView(bool quiet = false);
  ~TCliView() override { EndProgress(); }

  TModalResult CenteredMessageDlg(const std::string& text, TMsgDlgType kind, TMsgDlgButtons buttons,
                                  int helpContext) override;
  void ShowGeneralError(const std::string& text) override;
  void ProcessMessages() override;
  void SetProgressPosition(int position) override;
  void SetProgressVisible(bool visible) override;

  // Ends the progress line on the terminal, if one is shown.
  void EndProgress();

  TSession* Session = nullptr;  // whose AbortRequested the pump sets
  bool AnswerYes = false;       // the answer to a Yes/No question

 private:
  TProgressLine FProgress;
};

// Ctrl-C sets a flag that the next pump hands on, as Escape does in the window.
void InstallInterruptHandler();
bool InterruptRequested();

}  // namespace tessmar::cli
