#include "view/FieldView.hpp"

namespace tessmar {

namespace {
constexpr std::size_t Index(TControl control) { return static_cast<std::size_t>(control); }
}  // namespace

std::string DialogLine(TMsgDlgType kind, const std::string& text) {
  return std::string(MsgDlgCaption(kind)) + ": " + text;
}

// The window layout's initial texts and captions.
TFieldView::TFieldView() {
  const auto set = [this](TControl c, const char* text) { FTexts[Index(c)] = text; };
  set(TControl::ComboBoxGeoid, "EGM2008 2.5'x2.5'");
  set(TControl::RadioButton0, "2.5'");
  set(TControl::RadioButton5, "5'");
  set(TControl::RadioButton10, "10'");
  set(TControl::RadioButton15, "15'");
  set(TControl::RadioButton20, "20'");
  set(TControl::EditLat1, "20");
  set(TControl::EditLat2, "50");
  set(TControl::EditLon1, "120");
  set(TControl::EditLon2, "150");
  set(TControl::EditFname, "Tessmar.qdat");
  set(TControl::EditLat, "35 40 37.8");
  set(TControl::EditLon, "139 44 52.3");
  set(TControl::ComboBoxPrecision, "1.0");
  set(TControl::LabelMinG, "Min:");
  set(TControl::LabelMaxG, "Max:");
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
