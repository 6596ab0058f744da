// TView: the one narrow interface through which the core reads and writes the
// main window. Controls are addressed by their layout names. The desktop program
// implements it over widgets, the CLI over plain fields and the console, the
// tests with a recorder. Called on one thread only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tessmar {

// The controls the core reads or writes; Text() of a label or radio button is
// its caption.
enum class TControl : std::uint8_t {
  ComboBoxGeoid,
  RadioButton0,
  RadioButton5,
  RadioButton10,
  RadioButton15,
  RadioButton20,
  EditLat1,
  EditLon1,
  EditLat2,
  EditLon2,
  EditFname,
  LabelMakeReport,
  EditLat,
  EditLon,
  EditGeoid,
  EditCustomGeoid,
  EditError,
  ComboBoxPrecision,
  LabelMinG,
  LabelMaxG,
  LabelReso,
  Count
};

inline constexpr int ControlCount = static_cast<int>(TControl::Count);

std::string_view ControlName(TControl control);

enum class TMsgDlgType : std::uint8_t { Warning, Error, Information, Confirmation };

// A set of buttons, as bits.
enum TMsgDlgBtn : std::uint8_t { mbYes = 1, mbNo = 2, mbOK = 4, mbCancel = 8 };
using TMsgDlgButtons = std::uint8_t;

// The button a dialog was left with; mrNone when it was closed otherwise.
enum class TModalResult : std::uint8_t { mrNone, mrYes, mrNo, mrOK, mrCancel };

std::string_view MsgDlgCaption(TMsgDlgType kind);  // "Warning", "Error", ...

class TView {
public:
  virtual ~TView() = default;

  virtual std::string Text(TControl control) const = 0;
  virtual void SetText(TControl control, const std::string& text) = 0;
  virtual bool Checked(TControl control) const = 0;
  virtual void SetChecked(TControl control, bool checked) = 0;

  // A modal message dialog centred on the main window; the help context is
  // accepted and not used.
  virtual TModalResult CenteredMessageDlg(const std::string& text, TMsgDlgType kind, TMsgDlgButtons buttons,
                                          int helpContext) = 0;
  // The general error display for an error that left a user action.
  virtual void ShowGeneralError(const std::string& text) = 0;

  // Handles every waiting message and returns at once.
  virtual void ProcessMessages() = 0;
};

}  // namespace tessmar
