#include "session/FieldView.hpp"

namespace tessmar {

namespace {
constexpr std::size_t Index(TControl control) { return static_cast<std::size_t>(control); }
}  // namespace

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

std::string DialogLine(TMsgDlgType kind, const std::string& text) {
  return std::string(MsgDlgCaption(kind)) + ": " + text;
}

TFieldView::TFieldView() {
  for (int c = 0; c < ControlCount; ++c) FTexts[static_cast<std::size_t>(c)] = InitialText(static_cast<TControl>(c));
}

std::string TFieldView::Text(TControl control) const { return FTexts.at(Index(control)); }
void TFieldView::SetText(TControl control, const std::string& text) { FTexts.at(Index(control)) = text; }
bool TFieldView::Checked(TControl control) const { return FChecked.at(Index(control)); }

// The radio buttons form one group: checking one unchecks the others.
void TFieldView::SetChecked(TControl control, bool checked) {
  if (checked && control >= TControl::RadioButton0 && control <= TControl::RadioButton20)
    for (auto c = Index(TControl::RadioButton0); c <= Index(TControl::RadioButton20); ++c) FChecked[c] = false;
  FChecked.at(Index(control)) = checked;
}

}  // namespace tessmar
