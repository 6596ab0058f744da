// A view for the benchmarks: dialogs and errors go to stderr, questions are
// answered Yes.
#pragma once

#include <cstdio>
#include <string>

#include "session/FieldView.hpp"

namespace tessmar::bench {

class TBenchView : public TFieldView {
 public:
  TModalResult CenteredMessageDlg(const std::string& text, TMsgDlgType, TMsgDlgButtons, int) override {
    std::fprintf(stderr, "%s\n", text.c_str());
    return TModalResult::mrYes;
  }
  void ShowGeneralError(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
};

}  // namespace tessmar::bench
