// TCliView: the main window as plain fields and the console. Dialogs and general
// errors go to stderr prefixed by their kind; a question is answered from the
// command line; the message pump turns Ctrl-C into AbortRequested; a progress bar
// shows on stderr when it is a terminal.
#pragma once

#include <cstdio>
#include <string>

#include "session/FieldView.hpp"
#include "session/Session.hpp"

namespace tessmar::cli {

class TCliView : public TFieldView {
 public:
  TCliView();
  ~TCliView() override { EndProgress(); }

  TModalResult CenteredMessageDlg(const std::string& text, TMsgDlgType kind, TMsgDlgButtons buttons,
                                  int helpContext) override;
  void ShowGeneralError(const std::string& text) override;
  void ProcessMessages() override;
  void SetProgressPosition(int position) override;
  void SetProgressVisible(bool visible) override;

  // Ends a progress bar line on the terminal, if one is shown.
  void EndProgress();

  TSession* Session = nullptr;  // whose AbortRequested the pump sets
  bool AnswerYes = false;       // the answer to a Yes/No question

 private:
  bool FTerminal;
  int FShownPercent = -1;
};

// Ctrl-C sets a flag that the next pump hands on, as Escape does in the window.
void InstallInterruptHandler();
bool InterruptRequested();

}  // namespace tessmar::cli
