// tessmar-window-bench FOLDER convert RES | scan: the desktop program's window,
// offscreen, driven as a person drives it: the whole earth's corners typed into
// the region fields, the resolution clicked, then Convert (or the maximum
// error's Check) clicked; it prints the wall and CPU seconds (all threads)
// from the click to the end. The
// source grid is FOLDER's (tessmar-make-grid), the custom file FOLDER/world.qdat.
// bench/window_vs_cli times it against tessmar-cli on the same work.
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "app/FormMain.hpp"
#include "option/Profile.hpp"

using namespace tessmar;

int main(int argc, char** argv) {
  if (argc < 3 || (std::strcmp(argv[2], "convert") == 0 && argc < 4)) {
    std::fprintf(stderr, "usage: tessmar-window-bench FOLDER convert 0|5 | FOLDER scan\n");
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const std::string folder = std::string(argv[1]) + "/";
  const bool convert = std::strcmp(argv[2], "convert") == 0;
  {
    TProfile ini(folder + "tessmar.ini");
    ini.Write("Option", "DataPath", folder);
    ini.Write("Option", "OutputName", "world.qdat");
    ini.Save();
  }
  TFormMain form(folder + "tessmar");
  form.DialogHook = [](const std::string&, TMsgDlgType, TMsgDlgButtons) { return TModalResult::mrYes; };
  form.GeneralErrorHook = [](const std::string& text) { std::fprintf(stderr, "Error: %s\n", text.c_str()); };
  form.show();
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  const auto type = [&](const char* name, const char* text) {
    auto* edit = form.findChild<QLineEdit*>(name);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(edit, text);
  };
  type("EditLat1", "-90");
  type("EditLon1", "0");
  type("EditLat2", "90");
  type("EditLon2", "360");
  if (convert)
    QTest::mouseClick(form.findChild<QRadioButton*>(std::strcmp(argv[3], "5") == 0 ? "RadioButton5" : "RadioButton0"),
                      Qt::LeftButton);
  QElapsedTimer timer;
  timer.start();
  const std::clock_t cpu = std::clock();
  QTest::mouseClick(form.findChild<QPushButton*>(convert ? "ButtonConvert" : "Button1"), Qt::LeftButton);
  std::printf("%.3f %.3f\n", static_cast<double>(timer.nsecsElapsed()) / 1e9,
              static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC);
  const std::string result = form.Text(convert ? TControl::LabelMakeReport : TControl::LabelMaxG);
  std::fprintf(stderr, "%s\n", result.c_str());
  return result.rfind(convert ? "Output size: " : "Max: ", 0) == 0 ? 0 : 1;
}
