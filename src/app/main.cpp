// tessmar: the desktop program.
#include <QApplication>
#include <QIcon>

#include "app/FormMain.hpp"
#include "option/Settings.hpp"
#include "option/SettingsPath.hpp"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("tessmar");
  QApplication::setDesktopFileName("tessmar");
  QApplication::setWindowIcon(QIcon(":/tessmar.svg"));
  tessmar::UseEnglishFormats();  // QApplication took the user's locale; numbers stay "."
  QStringList files = QApplication::arguments();
  files.removeFirst();
  tessmar::TFormMain form(tessmar::ExecutablePath(), files);
  form.show();
  return QApplication::exec();
}
