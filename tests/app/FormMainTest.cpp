// The main window driven as a user would, on the offscreen platform, with the
// modal dialogs scripted.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOptionComboBox>
#include <QStyleOptionGroupBox>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "TestGrids.hpp"
#include "accuracy/PointCheck.hpp"
#include "app/FormMain.hpp"
#include "app/FormMap.hpp"
#include "app/FormReport.hpp"
#include "base/CoordText.hpp"
#include "base/Numeric.hpp"
#include "grid/Check.hpp"
#include "grid/Gtx.hpp"
#include "grid/Interpolation.hpp"
#include "grid/Source.hpp"
#include "option/Profile.hpp"
#include "option/Settings.hpp"
#include "session/Grids.hpp"

using namespace tessmar;
namespace fs = std::filesystem;

namespace {
// The faces the window's tests lay it out with, as Debian installs them
// (scripts/deps): DejaVu Sans, two faces with Arial's metrics and Wine's Tahoma.
struct TFace {
  const char *Family, *File, *Package;
};
const TFace Faces[] = {
    {"DejaVu Sans", "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", "fonts-dejavu-core"},
    {"Liberation Sans", "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf", "fonts-liberation2"},
    {"Nimbus Sans", "/usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf", "fonts-urw-base35"},
    {"Tahoma", "/usr/share/wine/fonts/tahoma.ttf", "fonts-wine"},
};
// Every other test uses the one face every machine that runs them has.
constexpr const char* PlainFace = "DejaVu Sans";

const TFace& FaceOf(const QString& family) {
  for (const TFace& face : Faces)
    if (family == face.Family) return face;
  qFatal("no face %s", qPrintable(family));
}

// The tests' own fontconfig configuration, made before the application starts:
// only the files above that this machine has (copied into a folder of their
// own), nothing of the machine's own configuration, and DejaVu Sans for any
// other family asked for.
void UseOwnFonts(const std::string& folder) {  // ends in "/"
  fs::create_directories(folder + "fonts");
  std::ofstream conf(folder + "fonts.conf");
  conf << "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"urn:fontconfig:fonts.dtd\">\n<fontconfig>\n"
       << "  <dir>" << folder << "fonts</dir>\n  <cachedir>" << folder << "cache</cachedir>\n"
       << "  <match target=\"pattern\"><edit name=\"family\" mode=\"append_last\"><string>" << PlainFace
       << "</string></edit></match>\n</fontconfig>\n";
  for (const TFace& face : Faces) {
    std::error_code error;
    if (fs::exists(face.File))
      fs::copy_file(face.File, folder + "fonts/" + fs::path(face.File).filename().string(), error);
  }
  qputenv("FONTCONFIG_FILE", QByteArray::fromStdString(folder + "fonts.conf"));
  // Where Qt reads fonts without fontconfig (the offscreen platform on Windows):
  // the same files.
  qputenv("QT_QPA_FONTDIR", QByteArray::fromStdString(folder + "fonts"));
}

float Smooth(int r, int c) {
  return static_cast<float>(30 * std::sin(r * 0.05) * std::cos(c * 0.07) + 5 * std::sin(c * 0.3));
}

// A folder holding the program's settings (a small 2.5' source in the
// catalogue, the folder itself as DataPath) and the source grid.
struct TWorld {
  test::TTempDir Dir;
  std::string Exe = Dir.File("tessmar");
  std::string Ini = Dir.File("tessmar.ini");

  explicit TWorld(const std::string& fname = "source25", const char* face = PlainFace, int size = 8) {
    const TGeoidModel m = test::SmallModel("source25", 1.0 / 24, 19, 119, 769, 769);
    test::WriteSourceGrid(Dir.File("source25"), m, Smooth);
    TProfile ini(Ini);
    ini.Write("Option", "DataPath", Dir.Path());
    ini.Write("Option", "Resolution", "5");
    ini.Write("EGM2008_25", "fname", fname);
    ini.Write("EGM2008_25", "nrows", "769");
    ini.Write("EGM2008_25", "ncols", "771");
    ini.Write("EGM2008_25", "glamn", "19");
    ini.Write("EGM2008_25", "glomn", "119");
    ini.Write("EGM2008_25", "nlat", "769");
    ini.Write("EGM2008_25", "nlon", "769");
    ini.Write("Font", "FontName", face);
    ini.Write("Font", "FontSize", std::to_string(size));
    ini.Save();
  }
};

// A main window with every dialog scripted and recorded.
struct TForm {
  TFormMain Form;
  std::vector<std::string> Dialogs, Errors, FileDialogs;
  TModalResult Answer = TModalResult::mrYes;

  explicit TForm(const TWorld& world, QStringList arguments = {}) : Form(world.Exe, std::move(arguments)) {
    Form.DialogHook = [this](const std::string& text, TMsgDlgType, TMsgDlgButtons) {
      Dialogs.push_back(text);
      return Answer;
    };
    Form.GeneralErrorHook = [this](const std::string& text) { Errors.push_back(text); };
    Form.FileDialogHook = [this](const std::string&, const std::string& file, const std::string& filter) {
      FileDialogs.push_back(file + "|" + filter);
      return std::optional<std::string>();
    };
    Form.show();
    QCoreApplication::processEvents();  // the start-up sequence and the first idle moment
    QCoreApplication::processEvents();
  }
  std::string Text(TControl c) const { return Form.Text(c); }
  // A control of the window, found as a test or an accessibility tool finds it: by name.
  template <class W>
  W* Child(const char* name) const {
    W* w = Form.findChild<W*>(name);
    if (!w) qFatal("no control %s", name);
    return w;
  }
};

// A companion window opened beside the main window: inside the work area, off the main window.
void ExpectBeside(const QWidget* window, TFormMain& form) {
  const TRect area = form.MonitorWorkArea();
  const QRect frame = window->frameGeometry();
  QVERIFY2(!frame.intersects(form.frameGeometry()), qPrintable(window->objectName() + " covers the main window"));
  QVERIFY2(QRect(area.left, area.top, area.Width(), area.Height()).contains(frame),
           qPrintable(QString("%1 at %2,%3 %4x%5")
                          .arg(window->objectName())
                          .arg(frame.x())
                          .arg(frame.y())
                          .arg(frame.width())
                          .arg(frame.height())));
}

// For scripts/screenshot: the main window in each face, in Fusion, at the scale the test runs at.
void SaveFaceScreenshot(TFormMain& form, const QString& family, int size, const QString& style) {
  const char* folder = std::getenv("TESSMAR_SCREENSHOTS");
  if (!folder || style != "Fusion" || size != 8) return;
  const QString file = QString("%1/main-%2-%3x.png")
                           .arg(folder, family.toLower().replace(' ', '-'))
                           .arg(qRound(form.devicePixelRatioF()));
  form.grab().save(file);
}

void SaveScreenshots(TFormMain& form) {
  const char* folder = std::getenv("TESSMAR_SCREENSHOTS");
  if (!folder) return;
  form.grab().save(QString(folder) + "/main-window.png");
  form.FormReport()->grab().save(QString(folder) + "/report-window.png");
  if (form.FormMap()->isVisible()) {
    form.FormMap()->resize(880, 560);  // as a person enlarges it on a screen as small as the test's
    QCoreApplication::processEvents();
    form.FormMap()->grab().save(QString(folder) + "/map-window.png");
  }
}
}  // namespace

class FormMainTest : public QObject {
  Q_OBJECT
 private slots:
  void controlsStartWithTheLayoutsTexts() {
    TFormMain form(TWorld().Exe);  // not shown: no settings read yet
    for (int c = 0; c < ControlCount; ++c) {
      const auto control = static_cast<TControl>(c);
      QCOMPARE(form.Text(control), std::string(InitialText(control)));
    }
    QVERIFY(!form.Checked(TControl::RadioButton0));  // none until the settings say
  }

  void everyControlSitsWhereTheLayoutPutsIt_data() {
    QTest::addColumn<QString>("family");
    QTest::addColumn<bool>("designMetrics");
    QTest::newRow("Liberation Sans") << "Liberation Sans" << true;
    QTest::newRow("Tahoma") << "Tahoma" << true;
    QTest::newRow("DejaVu Sans") << "DejaVu Sans" << false;  // the texts only: its line is taller
  }

  // The texts, and in a face of the design's metrics the design's places and size.
  void everyControlSitsWhereTheLayoutPutsIt() {
    QFETCH(QString, family);
    const TFace& face = FaceOf(family);
    if (!fs::exists(face.File))
      QSKIP(qPrintable("no " + family + ": the package " + face.Package + " is not installed"));
    QFETCH(bool, designMetrics);
    TWorld world("source25", face.Family);
    TForm f(world);
    if (designMetrics) QCOMPARE(f.Form.size(), QSize(527, 298));
    const struct {
      const char* name;
      QRect geometry;
      const char* text;
    } controls[] = {
        {"GroupBoxMake", {10, 8, 305, 201}, " Make custom geoid "},
        {"GroupBoxCkeck", {325, 8, 190, 201}, " Geoid check "},
        {"GroupBoxError", {10, 215, 435, 68}, " Maximum error  "},
        {"ButtonExit", {460, 250, 55, 25}, "Exit"},
        {"LabelReport", {460, 225, 55, 13}, "Report"},
        {"LabelMap", {460, 210, 55, 13}, "Map"},
        {"ButtonConvert", {211, 168, 70, 25}, "Convert"},
        {"ButtonCalc", {97, 168, 70, 23}, "Check"},
        {"Button1", {350, 40, 70, 25}, "Check"},  // below the caption of a style that puts it above the frame
        {"EditFname", {118, 138, 163, 21}, "Tessmar.qdat"},
        {"EditLat", {72, 22, 95, 21}, nullptr},
        {"EditLon2", {186, 112, 95, 21}, nullptr},
        {"EditError", {97, 138, 70, 21}, nullptr},
        {"ProgressBar1", {10, 285, 505, 8}, nullptr},
    };
    for (const auto& c : controls) {
      auto* w = f.Form.findChild<QWidget*>(c.name);
      QVERIFY2(w, c.name);
      if (designMetrics) QCOMPARE(w->geometry(), c.geometry);
      if (!c.text) continue;
      if (auto* g = qobject_cast<QGroupBox*>(w)) QCOMPARE(g->title(), QString(c.text));
      if (auto* b = qobject_cast<QAbstractButton*>(w)) QCOMPARE(b->text(), QString(c.text));
      if (auto* l = qobject_cast<QLabel*>(w)) QCOMPARE(l->text(), QString(c.text));
      if (auto* e = qobject_cast<QLineEdit*>(w)) QCOMPARE(e->text(), QString(c.text));
    }
    if (designMetrics) {
      QCOMPARE(f.Child<QLabel>("LabelOutFname")->geometry().right(), 20 + 95 - 1);  // sized to its text, growing left
      QCOMPARE(f.Child<QRadioButton>("RadioButton20")->geometry().topLeft(), QPoint(261, 47));
    }
    QCOMPARE(f.Child<QLabel>("LabelOutFname")->text(), QString("Custom Geoid name"));
    QCOMPARE(f.Child<QPushButton>("ButtonConvert")->toolTip(), QString("Conversion is started"));
    QCOMPARE(f.Child<QPushButton>("Button1")->toolTip(), QString("Check the maximum error"));
    QCOMPARE(f.Child<QComboBox>("ComboBoxPrecision")->count(), 5);
    QCOMPARE(f.Child<QLineEdit>("EditLat1")->nextInFocusChain(), f.Child<QLineEdit>("EditLon1"));
  }

  // Each face at the design's size, and one at a larger size.
  void layoutIsTidy_data() {
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("designMetrics");  // a line no taller than the design's: its size holds
    QTest::newRow("DejaVu Sans") << "DejaVu Sans" << 8 << false;
    QTest::newRow("Liberation Sans") << "Liberation Sans" << 8 << true;
    QTest::newRow("Nimbus Sans") << "Nimbus Sans" << 8 << false;
    QTest::newRow("Tahoma") << "Tahoma" << 8 << true;
    QTest::newRow("DejaVu Sans 11") << "DejaVu Sans" << 11 << false;
  }

  // No text on a group's frame line or caption, no text cut off or on another,
  // the controls of a row on one baseline, the links in the link colour under a
  // pointing hand: in Fusion and in the platform's own style, at the scale the
  // test runs at (ctest runs it at 1x and, under QT_SCALE_FACTOR=2, at 2x).
  void layoutIsTidy() {
    QFETCH(QString, family);
    QFETCH(int, size);
    QFETCH(bool, designMetrics);
    const TFace& face = FaceOf(family);
    if (!fs::exists(face.File))
      QSKIP(qPrintable("no " + family + ": the package " + face.Package + " is not installed"));
    const QString original = QApplication::style()->name();
    for (const QString& name : {QString("Fusion"), original, QString("Windows")}) {
      QApplication::setStyle(QStyleFactory::create(name));
      TWorld world("source25", face.Family, size);
      TForm f(world);
      QCOMPARE(QFontInfo(f.Form.font()).family(), family);
      QCOMPARE(f.Form.font().pointSize(), size);
      const QString where =
          QString("%1 %2 in %3 at %4x: ").arg(family).arg(size).arg(name).arg(f.Form.devicePixelRatioF());
      if (designMetrics) QCOMPARE(f.Form.size(), QSize(527, 298));
      // Where a widget's text lies: a label's text is centred in its box and may be taller than it.
      const auto textRect = [](const QWidget* w) {
        const QRect g = w->geometry();
        if (!qobject_cast<const QLabel*>(w)) return g;
        const int h = std::max(g.height(), w->fontMetrics().height());
        return QRect(g.x(), g.center().y() - h / 2 + (g.height() % 2 ? 0 : 1), g.width(), h);
      };
      const auto describe = [](const QRect& r) {
        return QString("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
      };
      for (QWidget* w : f.Form.findChildren<QWidget*>()) {
        if (!w->isVisibleTo(&f.Form) || w->objectName().isEmpty()) continue;  // a control, not its parts
        const QFontMetrics metrics = w->fontMetrics();
        const QRect r = w->geometry();
        // Nothing cut off: a label as wide and as tall as its text, a button or
        // radio button as its text needs, a field as tall as its line needs.
        if (auto* l = qobject_cast<QLabel*>(w); l && !l->text().isEmpty()) {
          if (r.width() < metrics.horizontalAdvance(l->text()) || r.height() < metrics.height())
            QFAIL(qPrintable(where + w->objectName() + " cuts its text off: " + describe(r)));
        }
        if (auto* b = qobject_cast<QAbstractButton*>(w)) {
          if (r.width() < b->sizeHint().width() && qobject_cast<QRadioButton*>(w))
            QFAIL(qPrintable(where + w->objectName() + " cuts its text off: " + describe(r)));
          if (r.height() < metrics.height() + 2 || r.width() < metrics.horizontalAdvance(b->text()) + 4)
            QFAIL(qPrintable(where + w->objectName() + " cuts its text off: " + describe(r)));
        }
        if ((qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w)) && r.height() < metrics.height() + 6)
          QFAIL(qPrintable(where + w->objectName() + " is lower than its line: " + describe(r)));
      }
      // A combo box's field leaves its arrow alone.
      for (QComboBox* combo : f.Form.findChildren<QComboBox*>()) {
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.editable = true;
        option.subControls = QStyle::SC_All;
        const QRect field =
            combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
        if (!field.contains(combo->lineEdit()->geometry()))
          QFAIL(qPrintable(where + combo->objectName() + "'s field lies on its arrow: " +
                           describe(combo->lineEdit()->geometry()) + " in " + describe(field)));
      }
      // No control on another, in each container.
      for (QWidget* parent :
           std::vector<QWidget*>{&f.Form, f.Child<QGroupBox>("GroupBoxMake"), f.Child<QGroupBox>("GroupBoxCkeck"),
                                 f.Child<QGroupBox>("GroupBoxError")}) {
        const QList<QWidget*> children = parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (QWidget* a : children)
          for (QWidget* b : children)
            if (a < b && a->isVisibleTo(&f.Form) && b->isVisibleTo(&f.Form) && textRect(a).intersects(textRect(b)))
              QFAIL(qPrintable(where + a->objectName() + " lies on " + b->objectName() + ": " + describe(textRect(a)) +
                               " and " + describe(textRect(b))));
        for (QWidget* a : children)
          if (a->isVisibleTo(&f.Form) && !parent->rect().contains(a->geometry()))
            QFAIL(qPrintable(where + a->objectName() + " runs out of " + parent->objectName()));
      }
      for (QGroupBox* group : f.Form.findChildren<QGroupBox*>()) {
        QStyleOptionGroupBox option;
        option.initFrom(group);
        option.text = group->title();
        option.lineWidth = 1;
        option.midLineWidth = 0;
        option.textAlignment = group->alignment();
        option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        const QRect contents =
            group->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxContents, group);
        const QRect caption =
            group->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, group);
        for (QWidget* w : group->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
          const QRect r = textRect(w);
          if (!contents.contains(r) || caption.intersects(r))
            QFAIL(qPrintable(where + w->objectName() + " crosses the frame of " + group->objectName() + ": at " +
                             describe(r) + ", the frame's inside " + describe(contents) +
                             QString(", its caption to y %1").arg(caption.bottom())));
        }
      }
      // Rows: the same vertical centre (so one baseline: one font), to a pixel.
      const std::vector<std::vector<const char*>> rows = {
          {"Label13", "ComboBoxGeoid"},
          {"Label14", "RadioButton0", "RadioButton5", "RadioButton10", "RadioButton15", "RadioButton20"},
          {"Label8", "Label9"},
          {"Label6", "EditLat1", "EditLat2"},
          {"Label7", "EditLon1", "EditLon2"},
          {"LabelOutFname", "EditFname"},
          {"LabelMakeReport", "ButtonConvert"},
          {"Label1", "EditLat"},
          {"Label2", "EditLon"},
          {"Label3", "EditGeoid"},
          {"Label11", "EditCustomGeoid"},
          {"Label12", "EditError"},
          {"Label4", "ComboBoxPrecision"}};
      for (const auto& row : rows) {
        const QRect first = f.Child<QWidget>(row[0])->geometry();
        for (const char* name : row) {
          const QRect r = f.Child<QWidget>(name)->geometry();
          if (std::abs((r.top() + r.bottom()) - (first.top() + first.bottom())) > 2)
            QFAIL(qPrintable(where + name + " is not on the row of " + row[0]));
        }
      }
      // Text does not run into text: the links and the labels of the maximum error.
      for (const auto& [upper, lower] : std::vector<std::pair<const char*, const char*>>{
               {"LabelMap", "LabelReport"}, {"LabelMinG", "LabelMaxG"}, {"LabelMaxG", "LabelReso"}}) {
        const QRect a = textRect(f.Child<QWidget>(upper)), b = textRect(f.Child<QWidget>(lower));
        if (a.bottom() >= b.top()) QFAIL(qPrintable(where + upper + " runs into " + lower));
      }
      for (const char* name : {"LabelMap", "LabelReport"}) {
        auto* link = f.Child<QLabel>(name);
        QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(link->palette().color(link->foregroundRole()), link->palette().color(QPalette::Link));
        QVERIFY(link->font().underline());
        QVERIFY(f.Form.rect().contains(link->geometry()));
      }
      if (designMetrics) QCOMPARE(f.Child<QLabel>("LabelReport")->geometry(), QRect(460, 225, 55, 13));
      SaveFaceScreenshot(f.Form, family, size, name);
    }
    QApplication::setStyle(QStyleFactory::create(original));
  }

  void startUpRunsOnce() {
    TWorld world;
    TForm f(world);
    QVERIFY(f.Form.Activated());
    QCOMPARE(f.Form.windowTitle(), QString("Tessmar Ver2.05"));
    QCOMPARE(f.Form.Session().SettingsPath, world.Ini);
    QVERIFY(f.Form.Checked(TControl::RadioButton5));
    QCOMPARE(f.Child<QComboBox>("ComboBoxGeoid")->count(), 2);
    QVERIFY(f.Dialogs.empty());  // the source is there: no locate prompt
    f.Child<QLineEdit>("EditFname")->setText("changed");
    f.Form.FormActivate();  // a later activation loads nothing
    QCOMPARE(f.Text(TControl::EditFname), std::string("changed"));
    QCOMPARE(VersionCaptionText(2, 12), std::string("Tessmar Ver2.12"));
  }

  void convertCheckAndScan() {
    TWorld world;
    TForm f(world);
    QTest::mouseClick(f.Child<QPushButton>("ButtonConvert"), Qt::LeftButton);
    QCOMPARE(f.Text(TControl::LabelMakeReport), std::string("Output size: 538,796 bytes."));
    QCOMPARE(f.Form.FormReport()->Lines().size(), std::size_t{5});
    QCOMPARE(f.Form.FormReport()->Lines().back(),
             std::string("Region written: 19.750000N,119.750000E to 50.250000N,150.250000E (367 rows of 367 nodes)"));
    QVERIFY(fs::exists(world.Dir.File("Tessmar.qdat")));
    QVERIFY(f.Child<QProgressBar>("ProgressBar1")->isVisible());
    QCOMPARE(f.Child<QProgressBar>("ProgressBar1")->value(), 1000);
    QVERIFY(!f.Form.FormReport()->isVisible());

    f.Child<QLineEdit>("EditLat")->setText("35 30");
    f.Child<QLineEdit>("EditLon")->setText("139 45");
    QTest::mouseClick(f.Child<QPushButton>("ButtonCalc"), Qt::LeftButton);
    // 35.5 N, 139.75 E is a node of both grids: row (51 - 35.5) x 24, column (139.75 - 119) x 24.
    const std::string node = FormatFixed(Smooth(372, 498), 6, 4);
    QCOMPARE(f.Text(TControl::EditGeoid), node);
    QCOMPARE(f.Text(TControl::EditCustomGeoid), node);
    QCOMPARE(f.Text(TControl::EditError), std::string("0.0000"));

    f.Child<QLineEdit>("EditGeoid")->clear();
    QTest::keyClick(f.Child<QLineEdit>("EditLat1"), Qt::Key_Return);  // Enter in a region field: the point check
    QCOMPARE(f.Text(TControl::EditGeoid), node);
    QCOMPARE(f.Text(TControl::EditLat1), std::string("20"));

    QTest::mouseClick(f.Child<QPushButton>("Button1"), Qt::LeftButton);
    QCOMPARE(f.Text(TControl::LabelReso), std::string("Resolution:  5.0 minute    Size: 538,796 bytes."));
    QVERIFY(f.Text(TControl::LabelMaxG).rfind("Max: ", 0) == 0);
    QVERIFY(f.Text(TControl::LabelMinG).rfind("Min: ", 0) == 0);
    // The scan's picture beside the custom file, its name in the report, and on the map.
    const std::string heat = world.Dir.File("Tessmar_error.png");
    QVERIFY(fs::exists(heat));
    const std::vector<std::string> lines = f.Form.FormReport()->Lines();
    QVERIFY(std::find(lines.begin(), lines.end(), "Heat map: " + heat) != lines.end());
    QTest::mouseClick(f.Child<QLabel>("LabelMap"), Qt::LeftButton);
    QVERIFY(f.Form.FormMap()->isVisible());
    const QImage& map = f.Form.FormMap()->Image();
    const TMapFrame frame = f.Form.FormMap()->Picture->Shown();
    QCOMPARE(map.size(), QSize(frame.Width, frame.Height));
    // The maximum's marker, in the red of the ramp's end, at its place in the frame shown.
    const QStringList words = QString::fromStdString(f.Text(TControl::LabelMaxG)).split(' ', Qt::SkipEmptyParts);
    QCOMPARE(words.size(), 4);  // "Max:", the difference, "35.675000N", "139.725000E"
    QVERIFY(words[2].endsWith('N') && words[3].endsWith('E'));
    const double lat = words[2].chopped(1).toDouble(), lon = words[3].chopped(1).toDouble();
    const QPoint marker(static_cast<int>(frame.X(lon)), static_cast<int>(frame.Y(lat)));
    QCOMPARE(map.pixelColor(marker), QColor(178, 24, 43));
    QVERIFY(map.pixelColor(marker + QPoint(40, 0)) != QColor(178, 24, 43));
    SaveScreenshots(f.Form);

    // A new file: the last file's check and scan results go.
    auto* name = f.Child<QLineEdit>("EditFname");
    QTest::keyClick(name, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(name, "Other.qdat");
    QTest::mouseClick(f.Child<QPushButton>("ButtonConvert"), Qt::LeftButton);
    QCOMPARE(f.Text(TControl::LabelMakeReport), std::string("Output size: 538,796 bytes."));
    for (const TControl c : {TControl::EditGeoid, TControl::EditCustomGeoid, TControl::EditError, TControl::LabelMinG,
                             TControl::LabelMaxG, TControl::LabelReso})
      QCOMPARE(f.Text(c), std::string(InitialText(c)));
  }

  // A coordinate the command line would refuse is marked as it is typed: a
  // tinted frame and a tooltip with the reading and the reason; the window's
  // reading, its controls' places and its modality stay as they are.
  void refusedCoordinatesAreMarkedAsTyped() {
    TWorld world;
    TForm f(world);
    const struct {
      const char *field, *typed, *tip;
    } cases[] = {
        {"EditLat", "35,1", "read as 35.016667: a comma is no decimal separator here"},  // degrees, minutes
        {"EditLat", "95", "read as 95.000000: a latitude lies within -90..90"},          // the check point's too
        {"EditLat", "35.1", ""},
        {"EditLon2", "139 44 N", "read as 139.733333: \"N\" is no hemisphere of a longitude (E or W)"},
        {"EditLon2", "150", ""},
        {"EditLat1", "95", "read as 95.000000: a latitude lies within -90..90"},
        {"EditLat1", "20", ""},
        {"EditLon", "1O", "read as 1.000000: \"O\" is not part of a coordinate"},
        {"EditLon", "", "read as no number: it is empty"},
        {"EditLon", "139 45", ""},
        {"EditLon1", "40,5 W", "read as -40.083333: a comma is no decimal separator here"},
        {"EditLon1", "40 W", ""},
    };
    for (const auto& c : cases) {
      auto* edit = f.Child<QLineEdit>(c.field);
      const QRect place = edit->geometry();
      QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
      QTest::keyClick(edit, Qt::Key_Delete);
      QTest::keyClicks(edit, c.typed);
      QCOMPARE(edit->text(), QString(c.typed));
      QCOMPARE(edit->toolTip(), QString(c.tip));
      QCOMPARE(edit->styleSheet().isEmpty(), !*c.tip);
      QCOMPARE(edit->geometry(), place);
      QVERIFY(!QApplication::activeModalWidget());
      // Marked or not, it looks like its neighbours: the window's font.
      QCOMPARE(edit->font(), f.Form.font());
      QCOMPARE(QFontInfo(edit->font()).pointSize(), QFontInfo(f.Form.font()).pointSize());
    }
    // Read as before: 35.1 N, 139.75 E checked with Enter in a field, no dialog.
    QTest::mouseClick(f.Child<QPushButton>("ButtonConvert"), Qt::LeftButton);
    QTest::keyClick(f.Child<QLineEdit>("EditLon"), Qt::Key_Return);
    QVERIFY2(f.Dialogs.empty(), f.Dialogs.empty() ? "" : f.Dialogs[0].c_str());
    const auto source = OpenSourceGrid(world.Dir.File(""), test::SmallModel("source25", 1.0 / 24, 19, 119, 769, 769));
    QVERIFY(source);
    const double value = SourceValue(source.get(), 35.1, 139.75);
    QVERIFY(!std::isnan(value));
    QCOMPARE(f.Text(TControl::EditGeoid), CheckValueText(value));
  }

  // For scripts/screenshot: the window on the demo model after a conversion, a
  // point check and a scan, with the Map window below it.
  void demoScreenshots() {
    const char* folder = std::getenv("TESSMAR_SCREENSHOTS");
    const char* ini = std::getenv("TESSMAR_DEMO_INI");
    if (!folder || !ini) QSKIP("only for scripts/screenshot");
    TWorld world("missing-grid");
    TForm f(world, {QString(ini)});
    QTest::mouseClick(f.Child<QPushButton>("ButtonConvert"), Qt::LeftButton);
    f.Child<QLineEdit>("EditLat")->setText("35 30");
    f.Child<QLineEdit>("EditLon")->setText("139 45");
    QTest::mouseClick(f.Child<QPushButton>("ButtonCalc"), Qt::LeftButton);
    QTest::mouseClick(f.Child<QPushButton>("Button1"), Qt::LeftButton);
    QVERIFY(f.Text(TControl::LabelMaxG).rfind("Max: ", 0) == 0);
    QTest::mouseClick(f.Child<QLabel>("LabelMap"), Qt::LeftButton);
    QVERIFY(f.Form.FormMap()->isVisible());
    f.Form.FormMap()->resize(880, 560);  // as a person enlarges it on a screen as small as the test's
    QCoreApplication::processEvents();
    const QPixmap main = f.Form.grab(), map = f.Form.FormMap()->grab();
    QPixmap both(std::max(main.width(), map.width()), main.height() + map.height() + 8);
    both.fill(QColor(60, 60, 60));
    QPainter painter(&both);
    painter.drawPixmap((both.width() - main.width()) / 2, 0, main);
    painter.drawPixmap((both.width() - map.width()) / 2, main.height() + 8, map);
    painter.end();
    QVERIFY(main.save(QString(folder) + "/demo-window.png"));
    QVERIFY(both.save(QString(folder) + "/demo-map.png"));

    // The Map window on Japan, on the whole earth and on a polar cap, each
    // after its own cut and scan: the map follows the region typed.
    const struct {
      const char *south, *west, *north, *east, *file;
    } regions[] = {{"30", "128", "46", "146", "/map-japan.png"},
                   {"-90", "0", "90", "360", "/map-world.png"},
                   {"60", "0", "90", "360", "/map-polar.png"}};
    for (const auto& r : regions) {
      for (const auto& [name, text] : {std::pair{"EditLat1", r.south}, std::pair{"EditLon1", r.west},
                                       std::pair{"EditLat2", r.north}, std::pair{"EditLon2", r.east}}) {
        auto* edit = f.Child<QLineEdit>(name);
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, text);
      }
      QTest::mouseClick(f.Child<QPushButton>("ButtonConvert"), Qt::LeftButton);
      QTest::mouseClick(f.Child<QPushButton>("Button1"), Qt::LeftButton);
      QVERIFY(f.Text(TControl::LabelMaxG).rfind("Max: ", 0) == 0);
      QCoreApplication::processEvents();
      QVERIFY(f.Form.FormMap()->grab().save(QString(folder) + r.file));
    }
  }

  void mapLinkOpensAndClosesOncePerClick() {
    TWorld world;
    TForm f(world);
    auto* link = f.Child<QLabel>("LabelMap");
    QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseClick(link, Qt::LeftButton);  // a real press and release, through every event filter
    QVERIFY(f.Form.FormMap()->isVisible());
    ExpectBeside(f.Form.FormMap(), f.Form);
    QCOMPARE(f.Form.FormMap()->windowTitle(), QString("Map"));
    // The coastlines come through the formats module: it loads (the note could
    // only say that the machine has no coastline file). The Windows build
    // brings its own beside the program: they load.
    const QString note = f.Form.FormMap()->Note->text();
    QVERIFY2(f.Form.FormMap()->Note->isHidden() ||
                 (!test::OnWindows && note.startsWith("No coastlines: no GSHHG coastline file")),
             qPrintable(note));
    TMapCanvas* canvas = f.Form.FormMap()->Picture;
    const auto image = [&] { return f.Form.FormMap()->Image(); };
    // The region's west edge (at `lon`) at its pixel in the frame shown, half way down the region.
    const auto westEdge = [&](double lon) {
      const TMapFrame frame = canvas->Shown();
      return image().pixelColor(static_cast<int>(frame.X(lon)), static_cast<int>(frame.Y(35)));
    };
    const QImage first = image();
    QCOMPARE(first.size(), QSize(canvas->Shown().Width, canvas->Shown().Height));
    QVERIFY(first.width() > 400);  // the window's size, not a fixed picture
    // The region 20..50 N, 120..150 E at 5', with its margin: its west edge at 119.75 E.
    QCOMPARE(westEdge(119.75), QColor(0, 0, 0));
    // Redrawn when a corner changes, still around the region: the west edge moves to 109.75 E.
    f.Child<QLineEdit>("EditLon1")->setText("110");
    QCoreApplication::processEvents();
    QCOMPARE(westEdge(109.75), QColor(0, 0, 0));
    QVERIFY(image() != first);
    // ... and the resolution: a margin of three 20' cells puts it at 109 E.
    f.Child<QRadioButton>("RadioButton20")->click();
    QCoreApplication::processEvents();
    QCOMPARE(westEdge(109), QColor(0, 0, 0));
    // ... and the model: the 1' model's grid is not there, so no relief inside the region.
    const auto inside = [&] {
      const TMapFrame frame = canvas->Shown();
      return image().pixelColor(static_cast<int>(frame.X(131.3)), static_cast<int>(frame.Y(40.3)));
    };
    QVERIFY(inside() != QColor(215, 215, 215));
    f.Child<QComboBox>("ComboBoxGeoid")->setEditText("EGM2008 1'x1'");
    QCoreApplication::processEvents();
    QCOMPARE(inside(), QColor(215, 215, 215));
    QTest::mouseClick(link, Qt::LeftButton);
    QVERIFY(!f.Form.FormMap()->isVisible());
    QTest::mouseClick(link, Qt::RightButton);  // not a click of the link
    QVERIFY(!f.Form.FormMap()->isVisible());
  }

  // The wheel zooms about the pointer, a drag pans, a double click returns to
  // the region; the person's view stays while the fields change.
  void mapZoomsPansAndReturnsToTheRegion() {
    TWorld world;
    TForm f(world);
    QTest::mouseClick(f.Child<QLabel>("LabelMap"), Qt::LeftButton);
    TMapCanvas* canvas = f.Form.FormMap()->Picture;
    QCoreApplication::processEvents();
    const TMapFrame region = canvas->Shown();
    QVERIFY(canvas->Following());
    QCOMPARE(canvas->PixelRatio(), 1.0);

    const QPointF at(200, 150);
    QWheelEvent wheel(at, canvas->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(canvas, &wheel);
    QCoreApplication::processEvents();
    const TMapFrame zoomed = canvas->Shown();
    QVERIFY(!canvas->Following());
    QCOMPARE(zoomed.Step, region.Step / 1.25);                            // a notch is a quarter closer
    QVERIFY(std::fabs(zoomed.Lon(200) - region.Lon(200)) < region.Step);  // the place under the pointer stays
    QVERIFY(std::fabs(zoomed.Lat(150) - region.Lat(150)) < region.Step);

    QTest::mousePress(canvas, Qt::LeftButton, {}, QPoint(300, 200));
    QMouseEvent move(QEvent::MouseMove, QPointF(350, 180), canvas->mapToGlobal(QPointF(350, 180)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(canvas, &move);
    QTest::mouseRelease(canvas, Qt::LeftButton, {}, QPoint(350, 180));
    QCoreApplication::processEvents();
    const TMapFrame panned = canvas->Shown();
    QCOMPARE(panned.West, zoomed.West - 50 * zoomed.Step);  // the map follows the pointer
    QCOMPARE(panned.North, zoomed.North - 20 * zoomed.Step);
    QCOMPARE(f.Form.FormMap()->Image().size(), QSize(panned.Width, panned.Height));

    f.Child<QLineEdit>("EditLon1")->setText("110");  // the person's view stays
    QCoreApplication::processEvents();
    QCOMPARE(canvas->Shown(), panned);

    QTest::mouseDClick(canvas, Qt::LeftButton, {}, QPoint(100, 100));
    QCoreApplication::processEvents();
    QVERIFY(canvas->Following());
    QVERIFY(canvas->Shown().West < region.West);  // the region now reaches 110 E
    f.Child<QLineEdit>("EditLon1")->setText("120");
    QCoreApplication::processEvents();
    QCOMPARE(canvas->Shown(), region);
  }

  void escapeAbortsAConversionAfterItsRow() {
    TWorld world;
    TForm f(world);
    QCoreApplication::postEvent(f.Child<QPushButton>("ButtonConvert"),
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    f.Form.ButtonConvertClick();
    QCOMPARE(f.Text(TControl::LabelMakeReport), std::string("Aborted by user."));
    QCOMPARE(f.Form.FormReport()->Lines().back(), std::string("Aborted by user."));
    QVERIFY(f.Child<QProgressBar>("ProgressBar1")->isVisible());
    QCOMPARE(f.Child<QProgressBar>("ProgressBar1")->value(), 0);
    QVERIFY(!fs::exists(world.Dir.File("Tessmar.qdat")));
  }

  void escapeDuringAScanReportsThePartScanned() {
    TWorld world;
    TForm f(world);
    QTest::mouseClick(f.Child<QPushButton>("ButtonConvert"), Qt::LeftButton);
    QCoreApplication::postEvent(f.Child<QPushButton>("Button1"),
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    QTest::mouseClick(f.Child<QPushButton>("Button1"), Qt::LeftButton);
    QCOMPARE(f.Text(TControl::LabelReso), std::string("Aborted."));
    // The report says how much was scanned, and that the extremes are of that part.
    const std::vector<std::string> lines = f.Form.FormReport()->Lines();
    QCOMPARE(lines.size(), std::size_t{7});
    QCOMPARE(lines[3], std::string("Aborted by user."));
    QVERIFY2(
        lines[4].rfind("Partial scan: ", 0) == 0 && lines[4].find(" of 721 rows of the lattice (") != std::string::npos,
        lines[4].c_str());
    QCOMPARE(lines[5], f.Text(TControl::LabelMinG) + "  (partial)");
    QCOMPARE(lines[6], f.Text(TControl::LabelMaxG) + "  (partial)");
  }

  // The two links as a user clicks them: a real press and release through the
  // application, whose event filter (for Escape) sees them too. Each click acts once.
  void linksActOncePerClick() {
    TWorld world;
    TForm f(world);
    f.Form.ReportAppend("kept");
    auto* report = f.Child<QLabel>("LabelReport");
    QTest::mouseClick(report, Qt::LeftButton);
    QVERIFY(f.Form.FormReport()->isVisible());
    ExpectBeside(f.Form.FormReport(), f.Form);
    QTest::mouseClick(report, Qt::LeftButton);
    QVERIFY(!f.Form.FormReport()->isVisible());
    QCOMPARE(f.Form.FormReport()->Lines(), std::vector<std::string>{"kept"});

    QTest::mouseClick(f.Child<QLabel>("LabelOutFname"), Qt::LeftButton);
    QCOMPARE(f.FileDialogs.size(), std::size_t{1});  // one dialog, one Cancel
  }

  void commandLineAndDroppedFiles() {
    TWorld world;
    TProfile other(world.Dir.File("A.INI"));
    other.Write("Option", "Lat1", "33");
    other.Save();
    TForm f(world, {QString::fromStdString(world.Dir.File("A.INI")), "b.qdat", "c.qdat"});
    QCOMPARE(f.Form.Session().SettingsPath, world.Dir.File("A.INI"));
    QCOMPARE(f.Text(TControl::EditLat1), std::string("33"));
    QCOMPARE(f.Text(TControl::EditFname), std::string("b.qdat;c.qdat"));

    test::TTempDir elsewhere;
    const std::string dataPath = f.Form.Session().DataPath;
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(elsewhere.File("first.qdat"))),
                  QUrl::fromLocalFile(QString::fromStdString(elsewhere.File("x.qdat")))});
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&f.Form, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&f.Form, &drop);
    // As the system writes it: "\"-separated on Windows, where Qt's URLs give "/".
    QCOMPARE(f.Form.Session().DataDir,
             QDir::toNativeSeparators(QString::fromStdString(elsewhere.Path())).toStdString());
    QCOMPARE(f.Text(TControl::EditFname), std::string("x.qdat"));
    QCOMPARE(f.Form.Session().DataPath, dataPath);
  }

  void settingsAreSavedOnClose() {
    TWorld world;
    {
      TForm f(world);
      f.Child<QLineEdit>("EditLat1")->setText("12 30 S");
      f.Form.close();
      QCOMPARE(f.Form.SourceReleases, 1);
    }
    TProfile saved(world.Ini);
    QVERIFY(saved.Load());
    QCOMPARE(saved.Read("Option", "Lat1"), std::optional<std::string>("12 30 S"));
    QCOMPARE(saved.Read("Option", "Version"), std::optional<std::string>("Tessmar Ver2.05"));
  }

  // A settings file given on the command line whose model is no title, and
  // which has no output name or test point of its own.
  void givenSettingsFileKeepsWhatItDoesNotHold() {
    TWorld world;
    {
      TProfile own(world.Ini);
      QVERIFY(own.Load());
      own.Write("Option", "OutputName", "last-session.qdat");
      own.Write("Option", "TestLat", "12 30");
      own.Save();
    }
    const std::string given = world.Dir.File("given.ini");
    {
      TProfile ini(given);
      ini.Write("Option", "GeoidModel", "EGM2008 2.5 minutes");
      ini.Write("Option", "Lat1", "33");
      ini.Save();
    }
    {
      TForm f(world, {QString::fromStdString(given)});
      QCOMPARE(f.Dialogs.size(), std::size_t{2});  // then the 1' model's grid is looked for, and is not there
      QCOMPARE(f.Dialogs[0], "GeoidModel \"EGM2008 2.5 minutes\" in " + given +
                                 " names no model of the catalogue.\r\nUsing \"EGM2008 1'x1'\".");
      QCOMPARE(f.Text(TControl::ComboBoxGeoid), std::string("EGM2008 1'x1'"));  // the model in use, shown
      QCOMPARE(f.Text(TControl::EditFname), std::string("last-session.qdat"));
      auto* lon = f.Child<QLineEdit>("EditLon");  // the test point's longitude changed: now the file's own
      QTest::keyClick(lon, Qt::Key_A, Qt::ControlModifier);
      QTest::keyClicks(lon, "139 45");
      QTest::mouseClick(f.Child<QPushButton>("ButtonExit"), Qt::LeftButton);
      QVERIFY(!f.Form.isVisible());
    }
    TProfile saved(given);
    QVERIFY(saved.Load());
    QCOMPARE(saved.Read("Option", "OutputName"), std::nullopt);
    QCOMPARE(saved.Read("Option", "TestLat"), std::nullopt);
    QCOMPARE(saved.Read("Option", "TestLon"), std::optional<std::string>("139 45"));
    QCOMPARE(saved.Read("Option", "Lat1"), std::optional<std::string>("33"));
    QCOMPARE(saved.Read("Option", "GeoidModel"), std::optional<std::string>("EGM2008 1'x1'"));

    // A file of bytes given as settings: said so, and left as it is on Exit.
    const std::string bytes = world.Dir.File("bytes.ini");
    const std::vector<unsigned char> garbage = {0x00, 0x01, 0x02, 0xFF, 0x80};
    test::WriteBytes(bytes, garbage);
    {
      TForm f(world, {QString::fromStdString(bytes)});
      QVERIFY(!f.Dialogs.empty());
      QCOMPARE(f.Dialogs[0], "Settings file " + bytes +
                                 " is not a text file (it holds control characters): no settings were read from it.");
      QTest::mouseClick(f.Child<QPushButton>("ButtonExit"), Qt::LeftButton);
    }
    QCOMPARE(test::ReadBytes(bytes), garbage);
  }

  void missingSourceOpensTheLocateDialogAtIdle() {
    TWorld world("missing-grid");
    TForm f(world);
    QVERIFY(!f.Form.LocatePending());
    QCOMPARE(f.Dialogs.size(), std::size_t{1});
    QCOMPARE(f.Dialogs[0], std::string("Geoid file is not found: \r\nmissing-grid"));
    QCOMPARE(f.FileDialogs.size(), std::size_t{1});
    QCOMPARE(f.FileDialogs[0], world.Dir.File("missing-grid") + "|Geoid file|missing-grid");
    QVERIFY(!f.Form.Session().SourceOpen());
  }

  void anImportedGtxModelWorksFromItsOwnSettingsFile() {
    // The program's own settings name a grid that is not there; the demo's do.
    TWorld world("missing-grid");
    test::TTempDir demo;
    test::WriteGtx(demo.File("world.gtx"), {-90, -180, 1, 1, 181, 360}, [](int r, int c) { return Smooth(r, c) - 20; });
    const TGtxImport imported = ImportGtx(demo.File("world.gtx"), demo.Path(), "world", "Demo 1dx1d", false);
    TProfile ini(demo.File("demo.ini"));
    ini.Write("Option", "Resolution", "5");  // finer than the source: a scan has something to find
    ini.Save();
    QVERIFY(SaveModelEntry(demo.File("demo.ini"), 0, imported.Model, demo.Path()));

    TForm f(world, {QString::fromStdString(demo.File("demo.ini"))});
    QVERIFY(f.Dialogs.empty());  // no locate prompt
    QVERIFY(f.FileDialogs.empty());
    QCOMPARE(f.Text(TControl::ComboBoxGeoid), std::string("Demo 1dx1d"));
    QCOMPARE(f.Form.Session().DataDir, demo.Path());

    QTest::mouseClick(f.Child<QPushButton>("ButtonConvert"), Qt::LeftButton);
    QCOMPARE(f.Text(TControl::LabelMakeReport), std::string("Output size: 538,796 bytes."));
    f.Child<QLineEdit>("EditLat")->setText("35 30");
    f.Child<QLineEdit>("EditLon")->setText("139 45");
    QTest::mouseClick(f.Child<QPushButton>("ButtonCalc"), Qt::LeftButton);
    for (const TControl value : {TControl::EditGeoid, TControl::EditCustomGeoid, TControl::EditError})
      QVERIFY2(ReadNumber(f.Text(value)), f.Text(value).c_str());  // numbers, not "Out of range."
    QTest::mouseClick(f.Child<QPushButton>("Button1"), Qt::LeftButton);
    QVERIFY(f.Text(TControl::LabelMaxG).rfind("Max: ", 0) == 0);
    QVERIFY(f.Errors.empty());
    QVERIFY(f.Dialogs.empty());
  }

  void closingDuringAConversionReleasesTheSourceOnce() {
    TWorld world;
    TForm f(world);
    QTimer::singleShot(0, &f.Form, [&] { f.Form.close(); });  // runs inside the conversion's first pump
    f.Form.ButtonConvertClick();
    QCOMPARE(f.Text(TControl::LabelMakeReport), std::string("Aborted by user."));
    QVERIFY(!fs::exists(world.Dir.File("Tessmar.qdat")));
    QCOMPARE(f.Form.SourceReleases, 1);
    QVERIFY(!f.Form.isVisible());
    QVERIFY(!f.Form.Session().SourceOpen());
  }

  void realDialogsAreCentredOnTheWindow() {
    TWorld world;
    TForm f(world);
    f.Form.DialogHook = nullptr;
    f.Form.FileDialogHook = nullptr;
    f.Form.move(150, 150);
    const QRect main = f.Form.frameGeometry();
    // The overwrite question: its buttons, its default, its place; answered No.
    test::WriteBytes(world.Dir.File("Tessmar.qdat"), {1});
    QStringList buttons;
    QString defaultButton;
    QPoint centreOffset;
    QTimer::singleShot(50, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      QVERIFY(box);
      for (QAbstractButton* b : box->buttons()) buttons << b->text();
      defaultButton = box->defaultButton()->text();
      centreOffset = box->frameGeometry().center() - main.center();
      for (QAbstractButton* b : box->buttons())
        if (b->text() == "&No") b->click();
    });
    f.Form.ButtonConvertClick();
    buttons.sort();
    QCOMPARE(buttons, QStringList({"&No", "&Yes"}));
    QCOMPARE(defaultButton, QString("&Yes"));
    QVERIFY2(std::abs(centreOffset.x()) <= 1 && std::abs(centreOffset.y()) <= 1, "centred on the main window");
    QCOMPARE(test::ReadBytes(world.Dir.File("Tessmar.qdat")).size(), std::size_t{1});  // No: untouched

    // The file dialog behind "Custom Geoid name": centred too; cancelled.
    QPoint dialogOffset(1000, 1000);
    QTimer::singleShot(50, [&] {
      QWidget* dialog = QApplication::activeModalWidget();
      QVERIFY(dialog);
      // Centred on the window, then kept inside the work area (this dialog is the larger).
      const QRect frame = dialog->frameGeometry();
      const TRect area = f.Form.MonitorWorkArea();
      const TPoint at = CentreOnOwner({main.left(), main.top(), main.left() + main.width(), main.top() + main.height()},
                                      frame.width(), frame.height(), area);
      dialogOffset = frame.topLeft() - QPoint(at.x, at.y);
      QMetaObject::invokeMethod(dialog, "reject");
    });
    const std::string name = f.Text(TControl::EditFname);
    f.Form.LabelOutFnameClick();
    QVERIFY2(std::abs(dialogOffset.x()) <= 1 && std::abs(dialogOffset.y()) <= 1, "centred on the main window");
    QCOMPARE(f.Text(TControl::EditFname), name);  // cancelled: nothing changes
  }

  void gridsOfARunningScanStayOpen() {
    TWorld world;
    TForm f(world);
    f.Form.ButtonConvertClick();
    bool acted = false, openDuringScan = false;
    QTimer during;  // acts at the first pump that finds the lattice walk under way
    QObject::connect(&during, &QTimer::timeout, [&] {
      if (acted || !f.Form.Session().Busy || !CustomIsOpen(f.Form.Session())) return;
      acted = true;
      f.Child<QLineEdit>("EditFname")->setText("other.qdat");  // would close the custom grid
      f.Form.ComboBoxGeoidSelect();                            // would close the source grid
      openDuringScan = CustomIsOpen(f.Form.Session()) && f.Form.Session().SourceOpen();
    });
    during.start(0);
    f.Form.Button1Click();
    during.stop();
    QVERIFY(acted);
    QVERIFY(openDuringScan);
    QVERIFY(f.Text(TControl::LabelMaxG).rfind("Max: ", 0) == 0);
    QVERIFY(!CustomIsOpen(f.Form.Session()));  // closed once the scan was over
  }
};

int main(int argc, char** argv) {
  const test::TTempDir fonts;
  UseOwnFonts(fonts.Path());
  QApplication app(argc, argv);
  FormMainTest test;
  return QTest::qExec(&test, argc, argv);
}
#include "FormMainTest.moc"
