// tessmar: the desktop program.
#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <cstdio>
#include <cstring>

#include "Version.hpp"
#include "app/FormMain.hpp"
#include "base/Platform.hpp"
#include "option/Settings.hpp"
#include "option/SettingsPath.hpp"

namespace {
// --help and --version, answered before the window system is touched, so they
// work without a display (and the man page is made from them at build time).
// Every other argument is left as it was: Qt takes its own, the rest are files.
bool AnsweredHelpOrVersion(int argc, char** argv) {
  int count = argc;
  const QCoreApplication plain(count, argv);  // no window system; gives the help its program name
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Tessmar cuts a regional custom geoid out of a global geoid-undulation grid\n"
      "(EGM2008, 2.5' or 1'), checks it at a point and scans it for its largest\n"
      "error against the source. This is its window; tessmar-cli runs the same\n"
      "operations from the command line.");
  // Qt's own options are single-dash words ("-reverse"): never letters to split.
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const QCommandLineOption help({"h", "help"}, "Show this help and exit.");
  const QCommandLineOption version({"v", "version"}, "Show the version and exit.");
  parser.addOption(help);
  parser.addOption(version);
  parser.addPositionalArgument(
      "files", "A settings file (.ini) to read instead of tessmar.ini; any other name becomes the custom geoid name.",
      "[FILE...]");
  parser.parse(QCoreApplication::arguments());  // unknown options are Qt's or file names: not an error here
  if (parser.isSet(help)) {
    std::fputs(parser.helpText().toLocal8Bit().constData(), stdout);
    return true;
  }
  if (parser.isSet(version)) {
    std::printf("tessmar %s\n", tessmar::VersionText);
    return true;
  }
  return false;
}
}  // namespace

int main(int argc, char** argv) {
  QApplication::setApplicationName("tessmar");
  QApplication::setApplicationVersion(tessmar::VersionText);
  if (AnsweredHelpOrVersion(argc, argv)) return 0;
  // Without a display Qt would abort with its own advice; say what helps here.
  bool platformArgument = false;
  for (int i = 1; i < argc; ++i) platformArgument = platformArgument || std::strcmp(argv[i], "-platform") == 0;
  if (!platformArgument && !tessmar::DisplayAvailable()) {
    std::fputs("No display to open the window on: set DISPLAY, or use tessmar-cli\n", stderr);
    return 1;
  }
  QApplication app(argc, argv);
  QApplication::setDesktopFileName("tessmar");
  QApplication::setWindowIcon(QIcon(":/tessmar.svg"));
  tessmar::UseEnglishFormats();  // QApplication took the user's locale; numbers stay "."
  QStringList files = QApplication::arguments();
  files.removeFirst();
  tessmar::TFormMain form(tessmar::ExecutablePath(), files);
  form.show();
  return QApplication::exec();
}
