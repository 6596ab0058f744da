#include <QWidget>

#include "app/Taskbar.hpp"
// After Qt's headers, which bring their own view of windows.h:
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <shobjidl.h>
#include <windows.h>

namespace tessmar {

namespace {
ITaskbarList3* List(void* list) { return static_cast<ITaskbarList3*>(list); }

TBPFLAG Flag(TTaskBarProgressState state) {
  switch (state) {
    case TTaskBarProgressState::Indeterminate: return TBPF_INDETERMINATE;
    case TTaskBarProgressState::Normal: return TBPF_NORMAL;
    case TTaskBarProgressState::Error: return TBPF_ERROR;
    case TTaskBarProgressState::Paused: return TBPF_PAUSED;
    case TTaskBarProgressState::None: break;
  }
  return TBPF_NOPROGRESS;
}
}  // namespace

// Every Windows that runs the program has the button's progress (7 and later);
// a system without a taskbar (a server core, a test's desktop) gives no list.
TTaskbar::TTaskbar(QWidget* window) : FWindow(window) {
  ITaskbarList3* list = nullptr;
  if (SUCCEEDED(::CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                   reinterpret_cast<void**>(&list)))) {
    if (SUCCEEDED(list->HrInit())) {
      FList = list;
      FMaximum = 128;
    } else {
      list->Release();
    }
  }
}

TTaskbar::~TTaskbar() {
  if (FList) List(FList)->Release();
}

void TTaskbar::Send() {
  if (FMaximum == 0 || !FWindow->isWindow() || !FWindow->isVisible()) return;
  const HWND button = reinterpret_cast<HWND>(FWindow->winId());
  List(FList)->SetProgressState(button, Flag(FState));
  if (FState != TTaskBarProgressState::None)
    List(FList)->SetProgressValue(button, static_cast<ULONGLONG>(FValue), FMaximum);
}

}  // namespace tessmar
