// TFieldView: a TView whose controls are plain fields, holding the window
// layout's initial texts. The CLI and the tests derive from it and decide what
// a message dialog does; ProcessMessages does nothing here.
#pragma once

#include <array>
#include <string>

#include "grid/View.hpp"

namespace tessmar {

class TFieldView : public TView {
public:
  TFieldView();

  std::string Text(TControl control) const override;
  void SetText(TControl control, const std::string& text) override;
  bool Checked(TControl control) const override;
  void SetChecked(TControl control, bool checked) override;
  void ProcessMessages() override {}

private:
  std::array<std::string, ControlCount> FTexts;
  std::array<bool, ControlCount> FChecked{};
};

// "Error: " + text and the like: how a dialog reads as one line of text.
std::string DialogLine(TMsgDlgType kind, const std::string& text);

}  // namespace tessmar
