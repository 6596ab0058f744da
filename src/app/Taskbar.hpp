// TTaskbar: progress on the program's launcher entry, the Linux desktops' form
// of a taskbar button (the com.canonical.Unity.LauncherEntry signal, shown by
// KDE Plasma, Ubuntu's dock and others). Without a session bus there is no
// taskbar progress: the maximum is then 0 and nothing is sent.
#pragma once

#include <cstdint>

#include "session/View.hpp"

namespace tessmar {

class TTaskbar {
 public:
  TTaskbar();  // the set-up when the main window is created

  std::uint64_t ProgressMaxValue() const { return FMaximum; }
  void SetProgressValue(std::int64_t value);
  void SetProgressState(TTaskBarProgressState state);
  std::int64_t ProgressValue() const { return FValue; }
  TTaskBarProgressState ProgressState() const { return FState; }

 private:
  void Send();
  std::uint64_t FMaximum = 0;
  std::int64_t FValue = 0;
  TTaskBarProgressState FState = TTaskBarProgressState::None;
};

}  // namespace tessmar
