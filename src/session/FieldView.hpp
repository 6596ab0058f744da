// TFieldView: a TView whose controls are plain fields that keep what was shown
// in them, starting from the window layout's initial texts. The CLI and the
// tests derive from it and decide what a message dialog does; ProcessMessages
// does nothing here.
// Not thread-safe: a view belongs to its session's thread.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "session/View.hpp"

namespace tessmar {

class TFieldView : public TView {
 public:
  TFieldView();

  void SetText(TControl control, const std::string& text) override;
  void SetChecked(TControl control, bool checked) override;
  // What was last shown in a control.
  std::string Text(TControl control) const;
  bool Checked(TControl control) const;
  void ProcessMessages() override {}

  void SetProgressPosition(int position) override { ProgressPosition = position; }
  void SetProgressVisible(bool visible) override { ProgressVisible = visible; }
  std::uint64_t TaskbarMaximum() const override { return TaskbarMax; }
  void SetTaskbarValue(std::int64_t value) override { TaskbarValue = value; }
  void SetTaskbarState(TTaskBarProgressState state) override { TaskbarState = state; }

  void ReportClear() override { Lines.clear(); }
  void ReportAppend(const std::string& line) override { Lines.push_back(line); }
  void ReportShow() override { ReportVisible = true; }

  void PlaceOnWorkArea(std::int32_t&, std::int32_t&) override {}  // no screen: any place will do
  void SetWindowTopLeft(std::int32_t top, std::int32_t left) override { Top = top, Left = left; }
  void SetGeoidList(const std::string& first, const std::string& second) override { GeoidList = {first, second}; }
  void SetOpenDialog(const std::string& folder, const std::string& filter) override {
    DialogFolder = folder;
    DialogFilter = filter;
  }
  int LogicalDpiX() const override { return Dpi; }
  void SetFonts(std::uint8_t charset, const std::string& name, int size) override {
    FontCharset = charset;
    FontName = name;
    FontSize = size;
  }

  int ProgressPosition = 0;
  bool ProgressVisible = false;
  std::uint64_t TaskbarMax = 128;
  std::int64_t TaskbarValue = 0;
  TTaskBarProgressState TaskbarState = TTaskBarProgressState::None;
  std::vector<std::string> Lines;  // the report
  bool ReportVisible = false;
  std::int32_t Top = 0, Left = 0;
  std::vector<std::string> GeoidList;
  std::string DialogFolder, DialogFilter = "All|*.*";
  int Dpi = 96;
  std::uint8_t FontCharset = 0;
  std::string FontName = "Tahoma";
  int FontSize = 8;

 private:
  std::array<std::string, ControlCount> FTexts;
  std::array<bool, ControlCount> FChecked{};
};

// A dialog's text as one line: a line end (CR, LF) is a blank, none where a blank is already.
std::string OneLine(const std::string& text);
// "Error: " + text and the like: how a dialog reads as one line of text.
std::string DialogLine(TMsgDlgType kind, const std::string& text);

}  // namespace tessmar
