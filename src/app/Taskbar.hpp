// TTaskbar: progress on the program's taskbar button. On Windows the button's
// own (ITaskbarList3, Taskbar_windows.cpp); on Linux the program's launcher
// entry, the desktops' form of it (the com.canonical.Unity.LauncherEntry
// signal, shown by KDE Plasma, Ubuntu's dock and others, Taskbar.cpp). Where
// neither can be had (no session bus, no taskbar) the maximum is 0 and nothing
// is sent. Used on the window's thread only.
#pragma once

#include <cstdint>

class QWidget;

#include "session/View.hpp"

namespace tessmar {

class TTaskbar {
 public:
  // The set-up when the main window is created; the button is that window's.
  explicit TTaskbar(QWidget* window);
  ~TTaskbar();
  TTaskbar(const TTaskbar&) = delete;
  TTaskbar& operator=(const TTaskbar&) = delete;

  std::uint64_t ProgressMaxValue() const { return FMaximum; }
  // Each sends only a change.
  void SetProgressValue(std::int64_t value) {
    if (value == FValue) return;
    FValue = value;
    Send();
  }
  void SetProgressState(TTaskBarProgressState state) {
    if (state == FState) return;
    FState = state;
    Send();
  }
  std::int64_t ProgressValue() const { return FValue; }
  TTaskBarProgressState ProgressState() const { return FState; }

 private:
  void Send();
  QWidget* FWindow;
  void* FList = nullptr;  // the system's taskbar interface, where there is one
  std::uint64_t FMaximum = 0;
  std::int64_t FValue = 0;
  TTaskBarProgressState FState = TTaskBarProgressState::None;
};

}  // namespace tessmar
