#include "session/View.hpp"

#include <array>

namespace tessmar {

namespace {
constexpr std::array<std::string_view, ControlCount> Names = {
    "ComboBoxGeoid", "RadioButton0", "RadioButton5", "RadioButton10",   "RadioButton15", "RadioButton20",
    "EditLat1",      "EditLon1",     "EditLat2",     "EditLon2",        "EditFname",     "LabelMakeReport",
    "EditLat",       "EditLon",      "EditGeoid",    "EditCustomGeoid", "EditError",     "ComboBoxPrecision",
    "LabelMinG",     "LabelMaxG",    "LabelReso"};

constexpr std::size_t Index(TControl control) { return static_cast<std::size_t>(control); }
}  // namespace

std::string_view ControlName(TControl control) {
  return Index(control) < Names.size() ? Names[Index(control)] : std::string_view{};
}

std::string_view InitialText(TControl control) {
  switch (control) {
    case TControl::ComboBoxGeoid: return "EGM2008 2.5'x2.5'";
    case TControl::RadioButton0: return "2.5'";
    case TControl::RadioButton5: return "5'";
    case TControl::RadioButton10: return "10'";
    case TControl::RadioButton15: return "15'";
    case TControl::RadioButton20: return "20'";
    case TControl::EditLat1: return "20";
    case TControl::EditLon1: return "120";
    case TControl::EditLat2: return "50";
    case TControl::EditLon2: return "150";
    case TControl::EditFname: return "Tessmar.qdat";
    case TControl::EditLat: return "35 40 37.8";
    case TControl::EditLon: return "139 44 52.3";
    case TControl::ComboBoxPrecision: return "1.0";
    case TControl::LabelMinG: return "Min:";
    case TControl::LabelMaxG: return "Max:";
    default: return {};
  }
}

std::string_view MsgDlgCaption(TMsgDlgType kind) {
  switch (kind) {
    case TMsgDlgType::Warning: return "Warning";
    case TMsgDlgType::Error: return "Error";
    case TMsgDlgType::Information: return "Information";
    case TMsgDlgType::Confirmation: return "Confirm";
  }
  return {};
}

void ProgressStart(TView& view) {
  view.SetProgressPosition(0);
  view.SetProgressVisible(true);
  view.SetTaskbarValue(0);
  if (view.TaskbarMaximum() > 0) view.SetTaskbarState(TTaskBarProgressState::Normal);
}

void ProgressStep(TView& view, std::int64_t i, std::int64_t n) {
  if (n <= 0) i = n = 1;  // one row only: it is the whole job
  view.SetProgressPosition(static_cast<int>(ProgressBarMax * i / n));
  const auto m = static_cast<std::int64_t>(view.TaskbarMaximum());
  if (m > 0) view.SetTaskbarValue((m - 11) * i / n + 11);
}

std::string GeneralErrorText(const std::string& text) {
  return !text.empty() && static_cast<unsigned char>(text.back()) > '.' ? text + "." : text;
}

}  // namespace tessmar
