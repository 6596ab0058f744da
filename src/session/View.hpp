// TView: the one narrow interface through which the core shows what it does in
// the main window: control texts and states, progress, report lines, dialogs
// and the message pump. It only shows: an operation takes its inputs as values
// (the window's handlers read their controls, the CLI parses its options), so
// nothing here reads a control back. Controls are addressed by their layout
// names. The desktop program implements it over widgets, the CLI over plain
// fields and the console, the tests with a recorder. Called on one thread only.
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

// The text or caption a control has in the window layout, before the settings
// are read ("" for one that starts empty).
std::string_view InitialText(TControl control);

enum class TMsgDlgType : std::uint8_t { Warning, Error, Information, Confirmation };

// A set of buttons, as bits.
enum TMsgDlgBtn : std::uint8_t { mbYes = 1, mbNo = 2, mbOK = 4, mbCancel = 8 };
using TMsgDlgButtons = std::uint8_t;

// The button a dialog was left with; mrNone when it was closed otherwise.
enum class TModalResult : std::uint8_t { mrNone, mrYes, mrNo, mrOK, mrCancel };

std::string_view MsgDlgCaption(TMsgDlgType kind);  // "Warning", "Error", ...

// The taskbar button's progress state; only None and Normal are used.
enum class TTaskBarProgressState : std::uint8_t { None, Indeterminate, Normal, Error, Paused };

inline constexpr int ProgressBarMax = 1000;  // ProgressBar1's range is 0 .. 1000

// A window position the settings do not hold (either edge).
inline constexpr std::int32_t NoSavedPosition = 2147483647;

class TView {
 public:
  virtual ~TView() = default;

  virtual void SetText(TControl control, const std::string& text) = 0;
  // Checks a radio button; the buttons of a group uncheck each other.
  virtual void SetChecked(TControl control, bool checked) = 0;

  // A modal message dialog centred on the main window; the help context is
  // accepted and not used.
  virtual TModalResult CenteredMessageDlg(const std::string& text, TMsgDlgType kind, TMsgDlgButtons buttons,
                                          int helpContext) = 0;
  // The general error display for an error that left a user action.
  virtual void ShowGeneralError(const std::string& text) = 0;

  // Handles every waiting message and returns at once.
  virtual void ProcessMessages() = 0;

  // ProgressBar1 (0 .. ProgressBarMax) and the taskbar button's progress. A
  // taskbar maximum of 0 means that no taskbar progress is shown.
  virtual void SetProgressPosition(int position) = 0;
  virtual void SetProgressVisible(bool visible) = 0;
  virtual std::uint64_t TaskbarMaximum() const = 0;
  virtual void SetTaskbarValue(std::int64_t value) = 0;
  virtual void SetTaskbarState(TTaskBarProgressState state) = 0;

  // The report: Memo1's lines in the report window.
  virtual void ReportClear() = 0;
  virtual void ReportAppend(const std::string& line) = 0;
  virtual void ReportShow() = 0;

  // The main window's top-left corner on the screen (outer frame, pixels).
  // PlaceOnWorkArea brings a saved corner inside the work area of its monitor,
  // or centres the window there when either value is NoSavedPosition.
  virtual void PlaceOnWorkArea(std::int32_t& top, std::int32_t& left) = 0;
  virtual void SetWindowTopLeft(std::int32_t top, std::int32_t left) = 0;

  // ComboBoxGeoid's two list items; its text stays as it is.
  virtual void SetGeoidList(const std::string& first, const std::string& second) = 0;
  // The file dialog's initial folder and its filter ("description|pattern").
  virtual void SetOpenDialog(const std::string& folder, const std::string& filter) = 0;
  // The display's horizontal logical dots per inch, and the font of both windows.
  virtual int LogicalDpiX() const = 0;
  virtual void SetFonts(std::uint8_t charset, const std::string& name, int size) = 0;
};

// Progress start of a long operation: bar at 0 and visible, taskbar at 0 and Normal.
void ProgressStart(TView& view);
// Progress after row i of rows 0 .. n. A single row (n = 0) shows as complete.
void ProgressStep(TView& view, std::int64_t i, std::int64_t n);

// ShowGeneralError's text: a "." follows a text whose last character comes
// after "." in character-code order.
std::string GeneralErrorText(const std::string& text);

}  // namespace tessmar
