#include "app/Taskbar.hpp"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

namespace tessmar {

namespace {
constexpr const char* EntryUri = "application://tessmar.desktop";
}

TTaskbar::TTaskbar(QWidget* window) : FWindow(window) {
  FMaximum = QDBusConnection::sessionBus().isConnected() ? 128 : 0;
}

TTaskbar::~TTaskbar() = default;

void TTaskbar::Send() {
  if (FMaximum == 0) return;
  QDBusMessage signal = QDBusMessage::createSignal("/com/canonical/unity/launcherentry/tessmar",
                                                   "com.canonical.Unity.LauncherEntry", "Update");
  QVariantMap properties;
  properties["progress"] = static_cast<double>(FValue) / static_cast<double>(FMaximum);
  properties["progress-visible"] = FState != TTaskBarProgressState::None;
  signal << QString(EntryUri) << properties;
  QDBusConnection::sessionBus().send(signal);
}

}  // namespace tessmar
