#include "app/FormMain.hpp"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QResizeEvent>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QTimer>
#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>

#include "Version.hpp"
#include "accuracy/PointCheck.hpp"
#include "accuracy/Scan.hpp"
#include "app/FormMap.hpp"
#include "app/FormReport.hpp"
#include "base/CoordText.hpp"
#include "base/Numeric.hpp"
#include "base/Path.hpp"
#include "base/Text.hpp"
#include "convert/ConvertCommand.hpp"
#include "grid/Source.hpp"
#include "option/Settings.hpp"
#include "option/SettingsPath.hpp"
#include "session/Grids.hpp"
#include "session/RunHandler.hpp"

namespace tessmar {

namespace {
QString Q(const std::string& text) { return QString::fromStdString(text); }

// Dialog texts use CR LF; Qt wants LF.
QString DialogText(const std::string& text) {
  QString q = Q(text);
  q.replace("\r\n", "\n");
  q.remove('\r');
  return q;
}

// A path Qt hands over (a file dropped, a file dialog's choice) as the system
// writes it: Qt's are "/"-separated on Windows too, where a dropped file reads
// D:\Data\tokyo.qdat as it does in the system's own dialogs and messages.
QString SystemPath(const QString& path) { return QDir::toNativeSeparators(path); }

// Files named on the command line or dropped are told apart by extension.
bool IsSettingsFile(const std::string& name) { return AsciiLower(ExtensionOf(name)) == ".ini"; }

// "description|pattern" as a Qt name filter.
QString QtFilter(const std::string& filter) {
  const auto bar = filter.find('|');
  if (bar == std::string::npos) return Q(filter);
  const std::string description = filter.substr(0, bar), pattern = filter.substr(bar + 1);
  if (description.find("(" + pattern + ")") != std::string::npos) return Q(description);
  return Q(description + " (" + pattern + ")");
}

TRect ToRect(const QRect& r) { return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()}; }

// A control's text in the window layout.
QString Initial(TControl control) { return Q(std::string(InitialText(control))); }

// A note of the core's ("no coastlines: ...") as a line of the window: a capital and a full stop.
std::string Sentence(std::string note) {
  if (note.empty()) return note;
  note[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(note[0])));
  return note.ends_with('.') ? note : note + ".";
}
}  // namespace

// Centres a dialog on the main window, inside its monitor's work area, at each
// of its first position or size changes (as many as the counter allows): the
// platform places and sizes a dialog while it opens; later, the user may move it.
class TCentring : public QObject {
 public:
  TCentring(TFormMain* main, std::uint8_t& moves) : FMain(main), FMoves(moves) {}
  bool eventFilter(QObject* watched, QEvent* e) override {
    const auto type = e->type();
    auto* dialog = static_cast<QWidget*>(watched);
    // Changes made before the dialog shows are its own set-up, not the platform's placing.
    if ((type == QEvent::Show || ((type == QEvent::Move || type == QEvent::Resize) && dialog->isVisible())) &&
        FMoves > 0) {
      --FMoves;
      const QRect frame = dialog->frameGeometry();
      const TPoint at =
          CentreOnOwner(ToRect(FMain->frameGeometry()), frame.width(), frame.height(), FMain->MonitorWorkArea());
      if (frame.topLeft() != QPoint(at.x, at.y)) dialog->move(at.x, at.y);
    }
    return false;
  }

 private:
  TFormMain* FMain;
  std::uint8_t& FMoves;
};

// ApplicationEvents1ShortCut: Escape anywhere in the program asks the running
// operation to stop, and still reaches its control (a dialog's Cancel, say).
// A filter of its own: installed on the application it sees every event, so
// the window's per-control filter must not be the one installed there, or each
// click on a control it watches would be handled twice.
class TEscapeWatch : public QObject {
 public:
  explicit TEscapeWatch(TSession& session) : FSession(session) {}
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape)
      FSession.AbortRequested = true;
    return false;
  }

 private:
  TSession& FSession;
};

std::string VersionCaptionText(int major, int minor) {
  std::string minorText = std::to_string(minor);
  while (minorText.size() < 2) minorText.insert(0, "0");
  return "Tessmar Ver" + std::to_string(major) + "." + minorText;
}

TFormMain::TFormMain(std::string exePath, QStringList arguments)
    : QWidget(nullptr), FExePath(std::move(exePath)), FArguments(std::move(arguments)) {
  PlaceProgram(FSession, FExePath);
  CreateControls();
  WireControls();
  FFormReport = new TFormReport(this);
  FFormReport->setAttribute(Qt::WA_QuitOnClose, false);
  FFormMap = new TFormMap(this);
  FFormMap->setAttribute(Qt::WA_QuitOnClose, false);
  FFormMap->Picture->FrameChanged = [this] { RequestMapRedraw(); };
  FEscapeWatch = std::make_unique<TEscapeWatch>(FSession);
  qApp->installEventFilter(FEscapeWatch.get());
}

TFormMain::~TFormMain() {
  qApp->removeEventFilter(FEscapeWatch.get());
  delete FFormReport;
  delete FFormMap;
}

void TFormMain::CreateControls() {
  setObjectName("FormMain");
  setWindowTitle("Tessmar");
  setFixedSize(527, 298);  // client area; the window cannot be resized
  setFont(QFont("Tahoma", 8));
  const auto label = [](QWidget* parent, const char* name, int x, int y, int w, int h, const QString& text,
                        Qt::Alignment align) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setGeometry(x, y, w, h);
    l->setAlignment(align | Qt::AlignVCenter);
    return l;
  };
  const auto edit = [](QWidget* parent, TControl control, int x, int y, int w, int h) {
    auto* e = new QLineEdit(Initial(control), parent);
    e->setObjectName(Q(std::string(ControlName(control))));
    e->setGeometry(x, y, w, h);
    return e;
  };
  const auto button = [](QWidget* parent, const char* name, int x, int y, int w, int h, const char* text,
                         const char* hint) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setGeometry(x, y, w, h);
    b->setToolTip(hint);
    return b;
  };
  const auto group = [this](const char* name, int x, int y, int w, int h, const char* text) {
    auto* g = new QGroupBox(text, this);
    g->setObjectName(name);
    g->setGeometry(x, y, w, h);
    return g;
  };
  const auto radio = [](QWidget* parent, TControl control, int x, int y) {
    auto* r = new QRadioButton(Initial(control), parent);
    r->setObjectName(Q(std::string(ControlName(control))));
    r->setGeometry(x, y, 48, 17);
    return r;
  };
  constexpr auto right = Qt::AlignRight, centre = Qt::AlignHCenter, left = Qt::AlignLeft;

  GroupBoxMake = group("GroupBoxMake", 10, 8, 305, 201, " Make custom geoid ");
  GroupBoxCkeck = group("GroupBoxCkeck", 325, 8, 190, 201, " Geoid check ");
  GroupBoxError = group("GroupBoxError", 10, 215, 435, 68, " Maximum error  ");
  // The links read as links: the style's link colour, underlined, a pointing hand.
  const auto link = [](QLabel* l) {
    l->setCursor(Qt::PointingHandCursor);
    l->setForegroundRole(QPalette::Link);
    QFont font;
    font.setUnderline(true);  // only this: the rest follows the window's font
    l->setFont(font);
  };
  LabelReport = label(this, "LabelReport", 460, 225, 55, 13, "Report", centre);
  link(LabelReport);
  // The Map link above Report, in the gap under the Geoid check group.
  LabelMap = new TLinkLabel("Map", this);
  LabelMap->setObjectName("LabelMap");
  LabelMap->setGeometry(460, 210, 55, 13);
  LabelMap->setAlignment(centre | Qt::AlignVCenter);
  link(LabelMap);
  ButtonExit = button(this, "ButtonExit", 460, 250, 55, 25, "Exit", "Quit");
  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setObjectName("ProgressBar1");
  ProgressBar1->setGeometry(10, 285, 505, 8);
  ProgressBar1->setRange(0, ProgressBarMax);
  ProgressBar1->setTextVisible(false);
  ProgressBar1->hide();

  QGroupBox* make = GroupBoxMake;
  Label13 = label(make, "Label13", 5, 25, 76, 13, "Source Geoid", right);
  ComboBoxGeoid = new QComboBox(make);
  ComboBoxGeoid->setObjectName("ComboBoxGeoid");
  ComboBoxGeoid->setEditable(true);
  ComboBoxGeoid->setInsertPolicy(QComboBox::NoInsert);
  ComboBoxGeoid->setGeometry(85, 22, 150, 21);
  ComboBoxGeoid->setEditText(Initial(TControl::ComboBoxGeoid));
  Label14 = label(make, "Label14", 5, 49, 76, 13, "Resolution", right);
  RadioButton0 = radio(make, TControl::RadioButton0, 85, 49);
  RadioButton5 = radio(make, TControl::RadioButton5, 127, 49);
  RadioButton10 = radio(make, TControl::RadioButton10, 170, 49);
  RadioButton15 = radio(make, TControl::RadioButton15, 212, 49);
  RadioButton20 = radio(make, TControl::RadioButton20, 261, 47);
  Label8 = label(make, "Label8", 85, 70, 95, 13, "Southwest", centre);
  Label9 = label(make, "Label9", 186, 70, 95, 13, "Northeast", centre);
  Label6 = label(make, "Label6", 5, 88, 76, 13, "Latitude", right);
  EditLat1 = edit(make, TControl::EditLat1, 85, 85, 95, 21);
  EditLat2 = edit(make, TControl::EditLat2, 186, 85, 95, 21);
  Label7 = label(make, "Label7", 5, 115, 76, 13, "Longitude", right);
  EditLon1 = edit(make, TControl::EditLon1, 85, 112, 95, 21);
  EditLon2 = edit(make, TControl::EditLon2, 186, 112, 95, 21);
  LabelOutFname = label(make, "LabelOutFname", 20, 141, 95, 13, "Custom Geoid name", right);
  LabelOutFname->setCursor(Qt::PointingHandCursor);
  EditFname = edit(make, TControl::EditFname, 118, 138, 163, 21);
  ButtonConvert = button(make, "ButtonConvert", 211, 168, 70, 25, "Convert", "Conversion is started");
  LabelMakeReport = label(make, "LabelMakeReport", 24, 175, 185, 13, Initial(TControl::LabelMakeReport), left);

  QGroupBox* check = GroupBoxCkeck;
  Label1 = label(check, "Label1", 2, 25, 68, 13, "Latitude", right);
  EditLat = edit(check, TControl::EditLat, 72, 22, 95, 21);
  Label2 = label(check, "Label2", 2, 53, 68, 13, "Longitude", right);
  EditLon = edit(check, TControl::EditLon, 72, 50, 95, 21);
  Label3 = label(check, "Label3", 14, 88, 80, 13, "Original(m)", right);
  EditGeoid = edit(check, TControl::EditGeoid, 97, 85, 70, 21);
  Label11 = label(check, "Label11", 14, 114, 80, 13, "Custom(m)", right);
  EditCustomGeoid = edit(check, TControl::EditCustomGeoid, 97, 111, 70, 21);
  Label12 = label(check, "Label12", 14, 141, 80, 13, "Error(m)", right);
  EditError = edit(check, TControl::EditError, 97, 138, 70, 21);
  ButtonCalc = button(check, "ButtonCalc", 97, 168, 70, 23, "Check", "Check Geoid error");

  QGroupBox* error = GroupBoxError;
  LabelMinG = label(error, "LabelMinG", 15, 17, 310, 13, Initial(TControl::LabelMinG), left);
  LabelMaxG = label(error, "LabelMaxG", 15, 31, 310, 13, Initial(TControl::LabelMaxG), left);
  LabelReso = label(error, "LabelReso", 15, 45, 310, 13, Initial(TControl::LabelReso), left);
  Label4 = label(error, "Label4", 325, 13, 42, 13, "Precision", right);
  ComboBoxPrecision = new QComboBox(error);
  ComboBoxPrecision->setObjectName("ComboBoxPrecision");
  ComboBoxPrecision->setEditable(true);
  ComboBoxPrecision->setInsertPolicy(QComboBox::NoInsert);
  ComboBoxPrecision->addItems({"4.0", "2.0", "1.0", "0.5", "0.25"});
  ComboBoxPrecision->setGeometry(370, 10, 50, 21);
  ComboBoxPrecision->setEditText(Initial(TControl::ComboBoxPrecision));
  Button1 = button(error, "Button1", 350, 35, 70, 25, "Check", "Check the maximum error");

  // What the design says, kept: the layout follows the font from it.
  for (QWidget* w : findChildren<QWidget*>()) FDesign.insert(w, w->geometry());
  FDesign.insert(this, QRect(0, 0, 527, 298));

  // The radio buttons form one group; none is checked until the settings load.
  auto* resolution = new QButtonGroup(this);
  for (QRadioButton* r : {RadioButton0, RadioButton5, RadioButton10, RadioButton15, RadioButton20})
    resolution->addButton(r);

  // Tab order, container by container.
  const QWidget* order[] = {
      ComboBoxGeoid, RadioButton0,    RadioButton5, RadioButton10, RadioButton15, RadioButton20,     EditLat1,
      EditLon1,      EditLat2,        EditLon2,     EditFname,     ButtonConvert, EditLat,           EditLon,
      EditGeoid,     EditCustomGeoid, EditError,    ButtonCalc,    Button1,       ComboBoxPrecision, ButtonExit};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i)
    setTabOrder(const_cast<QWidget*>(order[i]), const_cast<QWidget*>(order[i + 1]));

  const std::pair<TControl, QWidget*> controls[] = {{TControl::ComboBoxGeoid, ComboBoxGeoid},
                                                    {TControl::RadioButton0, RadioButton0},
                                                    {TControl::RadioButton5, RadioButton5},
                                                    {TControl::RadioButton10, RadioButton10},
                                                    {TControl::RadioButton15, RadioButton15},
                                                    {TControl::RadioButton20, RadioButton20},
                                                    {TControl::EditLat1, EditLat1},
                                                    {TControl::EditLon1, EditLon1},
                                                    {TControl::EditLat2, EditLat2},
                                                    {TControl::EditLon2, EditLon2},
                                                    {TControl::EditFname, EditFname},
                                                    {TControl::LabelMakeReport, LabelMakeReport},
                                                    {TControl::EditLat, EditLat},
                                                    {TControl::EditLon, EditLon},
                                                    {TControl::EditGeoid, EditGeoid},
                                                    {TControl::EditCustomGeoid, EditCustomGeoid},
                                                    {TControl::EditError, EditError},
                                                    {TControl::ComboBoxPrecision, ComboBoxPrecision},
                                                    {TControl::LabelMinG, LabelMinG},
                                                    {TControl::LabelMaxG, LabelMaxG},
                                                    {TControl::LabelReso, LabelReso}};
  for (const auto& [control, widget] : controls) FControls[static_cast<std::size_t>(control)] = widget;
  LayOut();
}

namespace {
// The inside of a group as its style draws it: below the caption, within the frame.
QRect GroupContents(const QGroupBox* group) {
  QStyleOptionGroupBox option;
  option.initFrom(group);
  option.text = group->title();
  option.lineWidth = 1;
  option.midLineWidth = 0;
  option.textAlignment = group->alignment();
  option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
  return group->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxContents, group);
}

// The same for the group at its design size (a font laid out before may have widened it).
QRect DesignInside(const QGroupBox* group, const QRect& design) {
  const QRect inside = GroupContents(group);
  return inside.adjusted(0, 0, design.width() - group->width(), design.height() - group->height());
}

// Rows of controls that share one vertical centre, stacked from the top of a
// group; each row is placed apart from the others by the design's gap.
using TRow = std::vector<QWidget*>;

// Places `rows` (their design boxes in `place`, x and width already final):
// each control as tall as the design has it plus what the font's line adds to
// the design's 13 pixels, every control of a row on the row's centre, no row
// above its design place or above the group's inside, the gaps of the design
// kept, and where that would run past the inside's bottom the widest gaps
// shrink, to 1 pixel at least. Returns how many pixels the group lacks still.
int StackRows(const std::vector<TRow>& rows, QHash<QWidget*, QRect>& place, const QHash<const QWidget*, QRect>& design,
              int insideTop, int insideBottom, int grow) {
  const std::size_t n = rows.size();
  std::vector<int> top(n), height(n), gap(n, 0), designTop(n);
  for (std::size_t i = 0; i < n; ++i) {
    int bottom = 0;
    designTop[i] = INT_MAX;
    height[i] = 0;
    for (QWidget* w : rows[i]) {
      const QRect d = design.value(w);
      designTop[i] = std::min(designTop[i], d.top());
      bottom = std::max(bottom, d.top() + d.height());
      height[i] = std::max(height[i], d.height() + grow);
    }
    if (i > 0) {
      int previousBottom = 0;
      for (QWidget* w : rows[i - 1]) previousBottom = std::max(previousBottom, design.value(w).bottom() + 1);
      gap[i] = std::max(0, designTop[i] - previousBottom);
    }
  }
  const auto stack = [&] {
    for (std::size_t i = 0; i < n; ++i)
      top[i] = i == 0 ? std::max(designTop[0], insideTop) : std::max(designTop[i], top[i - 1] + height[i - 1] + gap[i]);
    return top[n - 1] + height[n - 1] - insideBottom;
  };
  int over = stack();
  while (over > 0) {
    std::size_t widest = 0;
    for (std::size_t i = 1; i < n; ++i)
      if (gap[i] >= gap[widest]) widest = i;
    if (gap[widest] <= 1) break;
    --gap[widest];
    over = stack();
  }
  for (std::size_t i = 0; i < n; ++i)
    for (QWidget* w : rows[i]) {
      QRect& r = place[w];
      r.setHeight(design.value(w).height() + grow);
      r.moveTop(top[i] + (height[i] - r.height()) / 2);
    }
  return std::max(0, over);
}
}  // namespace

// The design's positions are drawn for a font whose line is 13 pixels high and
// a style whose group caption stands on the frame line. Another font or style
// moves them by as much as it needs and no more: a group's rows start below
// its caption as the style measures it, a taller line makes every control as
// much taller and pushes the rows below it down, a label is as wide as its
// text (a wide one pushes the fields after it to the right), and the groups and
// the window grow by what their insides lack. With the design's metrics
// everything stays where the design has it, and the window keeps its size.
void TFormMain::LayOut() {
  if (FDesign.isEmpty()) return;
  const QFontMetrics metrics(font());
  const int grow = std::max(0, metrics.height() - 13);
  QHash<QWidget*, QRect> place;
  for (auto it = FDesign.begin(); it != FDesign.end(); ++it) place.insert(const_cast<QWidget*>(it.key()), it.value());
  const auto textWidth = [](const QWidget* w) {
    const auto* l = qobject_cast<const QLabel*>(w);
    return l ? l->fontMetrics().horizontalAdvance(l->text()) + 1 : 0;
  };
  // Labels right-aligned before their fields: as wide as their text, their right
  // edges where the design has them; returns how far the fields must move right
  // so that none crosses the group's left frame.
  const auto rightAligned = [&](std::initializer_list<QLabel*> labels, int insideLeft) {
    int shift = 0;
    for (QLabel* l : labels) {
      const QRect d = FDesign.value(l);
      shift = std::max(shift, insideLeft - (d.right() + 1 - textWidth(l)));
    }
    return shift;
  };
  const auto shiftRight = [&](QGroupBox* group, int shift, const std::vector<QWidget*>& except) {
    for (QWidget* w : group->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
      if (std::find(except.begin(), except.end(), w) == except.end()) place[w].translate(shift, 0);
  };
  const auto fitLabel = [&](QLabel* l) {
    QRect& r = place[l];
    const int w = textWidth(l);
    if (l->alignment() & Qt::AlignRight)
      r.setLeft(r.right() + 1 - w);
    else if (l->alignment() & Qt::AlignHCenter)
      r = QRect(r.center().x() - w / 2, r.y(), w, r.height());
    else
      r.setWidth(w);
  };

  // Make custom geoid.
  const QRect makeInside = DesignInside(GroupBoxMake, FDesign.value(GroupBoxMake));
  const int makeShift = rightAligned({Label13, Label14, Label6, Label7}, makeInside.left() + 1);
  shiftRight(GroupBoxMake, makeShift, {});
  for (QLabel* l : {Label13, Label14, Label6, Label7, Label8, Label9, LabelOutFname}) fitLabel(l);
  // The name's field starts after its label, as narrow as it must, its right edge kept.
  const int nameLeft = std::max(place[EditFname].left(), makeInside.left() + 1 + textWidth(LabelOutFname) + 3);
  place[EditFname].setLeft(nameLeft);
  place[LabelOutFname].moveRight(nameLeft - 4);
  // The radio buttons in a row, each as wide as its text needs, reaching to the next.
  int makeWiden = makeShift;
  {
    const std::vector<QRadioButton*> radios{RadioButton0, RadioButton5, RadioButton10, RadioButton15, RadioButton20};
    int x = place[RadioButton0].left();
    for (std::size_t i = 0; i < radios.size(); ++i) {
      QRect& r = place[radios[i]];
      r.moveLeft(std::max(r.left(), x));
      const int needed = radios[i]->sizeHint().width();
      const int next = i + 1 < radios.size() ? place[radios[i + 1]].left() : r.left() + needed;
      r.setWidth(std::max(needed, next - r.left()));
      x = r.left() + needed;
    }
    makeWiden = std::max(makeWiden, place[RadioButton20].right() - makeInside.right());
  }
  place[LabelMakeReport].setRight(place[ButtonConvert].left() - 3);
  // Geoid check.
  const QRect checkInside = DesignInside(GroupBoxCkeck, FDesign.value(GroupBoxCkeck));
  const int checkShift = rightAligned({Label1, Label2, Label3, Label11, Label12}, checkInside.left() + 1);
  shiftRight(GroupBoxCkeck, checkShift, {});
  for (QLabel* l : {Label1, Label2, Label3, Label11, Label12}) fitLabel(l);
  // Maximum error: the precision row keeps to the right, the result lines reach to it.
  fitLabel(Label4);
  for (QLabel* l : {LabelMinG, LabelMaxG, LabelReso}) place[l].setRight(place[Label4].left() - 5);

  // Down each group.
  const auto lacks = [&](QGroupBox* group, const std::vector<std::vector<TRow>>& stacks) {
    const QRect inside = DesignInside(group, FDesign.value(group));
    int lack = 0;
    for (const auto& rows : stacks)
      lack = std::max(lack, StackRows(rows, place, FDesign, inside.top(), inside.bottom() + 1, grow));
    return lack;
  };
  const int topLack =
      std::max(lacks(GroupBoxMake, {{{Label13, ComboBoxGeoid},
                                     {Label14, RadioButton0, RadioButton5, RadioButton10, RadioButton15, RadioButton20},
                                     {Label8, Label9},
                                     {Label6, EditLat1, EditLat2},
                                     {Label7, EditLon1, EditLon2},
                                     {LabelOutFname, EditFname},
                                     {LabelMakeReport, ButtonConvert}}}),
               lacks(GroupBoxCkeck, {{{Label1, EditLat},
                                      {Label2, EditLon},
                                      {Label3, EditGeoid},
                                      {Label11, EditCustomGeoid},
                                      {Label12, EditError},
                                      {ButtonCalc}}}));
  const int errorLack =
      lacks(GroupBoxError, {{{LabelMinG}, {LabelMaxG}, {LabelReso}}, {{Label4, ComboBoxPrecision}, {Button1}}});

  // The groups and the window around them.
  place[GroupBoxMake].setWidth(place[GroupBoxMake].width() + makeWiden);
  place[GroupBoxCkeck].translate(makeWiden, 0);
  place[GroupBoxCkeck].setWidth(place[GroupBoxCkeck].width() + checkShift);
  for (QGroupBox* g : {GroupBoxMake, GroupBoxCkeck}) place[g].setHeight(place[g].height() + topLack);
  const int widen = std::max(0, place[GroupBoxCkeck].right() + 1 + 12 - FDesign.value(this).width());
  QRect& error = place[GroupBoxError];
  error.translate(0, topLack);
  error.setWidth(error.width() + widen);
  error.setHeight(error.height() + errorLack);
  for (QWidget* w :
       {static_cast<QWidget*>(Label4), static_cast<QWidget*>(ComboBoxPrecision), static_cast<QWidget*>(Button1)})
    place[w].translate(widen, 0);
  for (QLabel* l : {LabelMinG, LabelMaxG, LabelReso}) place[l].setRight(place[Label4].left() - 5);
  // The links and Exit beside it, under the Geoid check group, one under the other.
  int y = place[GroupBoxCkeck].bottom() + 2;
  for (QWidget* w :
       {static_cast<QWidget*>(LabelMap), static_cast<QWidget*>(LabelReport), static_cast<QWidget*>(ButtonExit)}) {
    QRect& r = place[w];
    const QRect d = FDesign.value(w);
    r.translate(widen, 0);
    r.setHeight(d.height() + grow);
    r.moveTop(std::max(d.top() + topLack, y));
    y = r.bottom() + 1 + (w == LabelMap ? 2 : 12);
  }
  const int bottom = std::max(error.bottom(), place[ButtonExit].bottom()) + 3;
  place[ProgressBar1] = QRect(10, bottom, FDesign.value(ProgressBar1).width() + widen, 8);
  for (auto it = place.begin(); it != place.end(); ++it)
    if (it.key() != this) it.key()->setGeometry(it.value());
  // A combo box fits its field and arrow to its size only when it is resized;
  // a new font alone leaves the field where the old one put it.
  for (QComboBox* combo : {ComboBoxGeoid, ComboBoxPrecision}) {
    QResizeEvent resized(combo->size(), combo->size());
    QCoreApplication::sendEvent(combo, &resized);
    if (QLineEdit* edit = combo->lineEdit()) edit->setCursorPosition(0);
  }
  setFixedSize(FDesign.value(this).width() + widen, bottom + 8 + 5);
}

void TFormMain::WireControls() {
  connect(ButtonConvert, &QPushButton::clicked, this, [this] { ButtonConvertClick(); });
  connect(ButtonCalc, &QPushButton::clicked, this, [this] { ButtonCalcClick(); });
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(ButtonExit, &QPushButton::clicked, this, [this] { ButtonExitClick(); });
  connect(EditFname, &QLineEdit::textChanged, this, [this] { EditFnameChange(); });
  connect(ComboBoxGeoid, &QComboBox::activated, this, [this] { ComboBoxGeoidSelect(); });
  for (QWidget* w : {static_cast<QWidget*>(LabelReport), static_cast<QWidget*>(LabelOutFname)})
    w->installEventFilter(this);
  for (QLineEdit* e : CoordinateFields()) e->installEventFilter(this);
  // The map follows the fields it draws: corners, resolution, model, custom file, check point.
  connect(LabelMap, &TLinkLabel::clicked, this, [this] { LabelMapClick(); });
  for (QLineEdit* e : CoordinateFields()) {
    connect(e, &QLineEdit::textChanged, this, [this] { RequestMapRedraw(); });
    connect(e, &QLineEdit::textChanged, this, [this, e] { MarkCoordinate(e); });
  }
  connect(EditFname, &QLineEdit::textChanged, this, [this] { RequestMapRedraw(); });
  for (QRadioButton* r : {RadioButton0, RadioButton5, RadioButton10, RadioButton15, RadioButton20})
    connect(r, &QRadioButton::toggled, this, [this] { RequestMapRedraw(); });
  connect(ComboBoxGeoid, &QComboBox::editTextChanged, this, [this] { RequestMapRedraw(); });
}

void TFormMain::MarkCoordinate(QLineEdit* edit) {
  const std::string text = edit->text().toStdString();
  const bool latitude = edit == EditLat1 || edit == EditLat2 || edit == EditLat;
  const TStrictCoordinate strict = ReadStrictCoordinate(text, latitude ? TAxis::Latitude : TAxis::Longitude);
  if (strict.Value) {
    edit->setStyleSheet({});
    edit->setToolTip({});
    edit->setFont(QFont());  // the window's again: a style sheet leaves the application's behind
    return;
  }
  const double read = ParseCoordinate(text);
  edit->setToolTip(Q((std::isnan(read) ? std::string("read as no number") : "read as " + FormatFixed(read, 0, 6)) +
                     ": " + strict.Reason));
  edit->setStyleSheet("QLineEdit { border: 1px solid #d9822b; background: #fff4e5; }");
  edit->setFont(font());  // a style sheet would give it the application's font, not its neighbours
}

// ---- The view ----

std::string TFormMain::Text(TControl control) const {
  QWidget* w = Control(control);
  if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text().toStdString();
  if (auto* c = qobject_cast<QComboBox*>(w)) return c->currentText().toStdString();
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text().toStdString();
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text().toStdString();
  return {};
}

void TFormMain::SetText(TControl control, const std::string& text) {
  QWidget* w = Control(control);
  if (auto* e = qobject_cast<QLineEdit*>(w))
    e->setText(Q(text));
  else if (auto* c = qobject_cast<QComboBox*>(w))
    c->setEditText(Q(text));
  else if (auto* l = qobject_cast<QLabel*>(w))
    l->setText(Q(text));
  else if (auto* b = qobject_cast<QAbstractButton*>(w))
    b->setText(Q(text));
}

bool TFormMain::Checked(TControl control) const {
  auto* b = qobject_cast<QAbstractButton*>(Control(control));
  return b && b->isChecked();
}

TInputs TFormMain::Inputs() const {
  return InputsFrom([this](TControl c) { return Text(c); }, [this](TControl c) { return Checked(c); });
}

TSelection TFormMain::Selection() const {
  return {SelectedModelIndex(FSession.GeoidModels, Text(TControl::ComboBoxGeoid)), Text(TControl::EditFname)};
}

TConversionPlan TFormMain::Plan() const {
  const auto corner = [this](TControl field) { return ParseCoordinate(Text(field)); };
  return {
      {corner(TControl::EditLat1), corner(TControl::EditLon1), corner(TControl::EditLat2), corner(TControl::EditLon2)},
      Inputs().Resolution.value_or(0)};
}

TWindowPosition TFormMain::Position() const { return {frameGeometry().top(), frameGeometry().left()}; }

void TFormMain::SetChecked(TControl control, bool checked) {
  if (auto* b = qobject_cast<QAbstractButton*>(Control(control))) {
    QButtonGroup* group = b->group();
    if (group && !checked) group->setExclusive(false);  // an exclusive group cannot uncheck its last button
    b->setChecked(checked);
    if (group) group->setExclusive(true);
  }
}

TRect TFormMain::MonitorWorkArea() const {
  const QRect frame = frameGeometry();
  QScreen* screen = QGuiApplication::screenAt(frame.center());
  if (!screen) screen = this->screen();
  if (!screen) screen = QGuiApplication::primaryScreen();
  return screen ? ToRect(screen->availableGeometry()) : TRect{0, 0, 1024, 768};
}

TModalResult TFormMain::CenteredMessageDlg(const std::string& text, TMsgDlgType kind, TMsgDlgButtons buttons, int) {
  if (DialogHook) return DialogHook(text, kind, buttons);
  const QMessageBox::Icon icons[] = {QMessageBox::Warning, QMessageBox::Critical, QMessageBox::Information,
                                     QMessageBox::Question};
  QMessageBox box(icons[static_cast<int>(kind)], Q(std::string(MsgDlgCaption(kind))), DialogText(text),
                  QMessageBox::NoButton, this);
  const struct {
    TMsgDlgBtn bit;
    QMessageBox::ButtonRole role;
    const char* label;
    TModalResult result;
  } kinds[] = {{mbYes, QMessageBox::YesRole, "&Yes", TModalResult::mrYes},
               {mbNo, QMessageBox::NoRole, "&No", TModalResult::mrNo},
               {mbOK, QMessageBox::AcceptRole, "OK", TModalResult::mrOK},
               {mbCancel, QMessageBox::RejectRole, "Cancel", TModalResult::mrCancel}};
  std::vector<std::pair<QAbstractButton*, TModalResult>> made;
  for (const auto& k : kinds)
    if (buttons & k.bit) made.emplace_back(box.addButton(k.label, k.role), k.result);
  // OK is the default when there is one, else Yes; Escape is Cancel, else No, else OK.
  const TModalResult byDefault = (buttons & mbOK) ? TModalResult::mrOK : TModalResult::mrYes;
  const TModalResult onEscape = (buttons & mbCancel) ? TModalResult::mrCancel
                                : (buttons & mbNo)   ? TModalResult::mrNo
                                                     : TModalResult::mrOK;
  for (const auto& [b, r] : made) {
    if (r == byDefault) box.setDefaultButton(qobject_cast<QPushButton*>(b));
    if (r == onEscape) box.setEscapeButton(b);
  }
  std::uint8_t moves = 3;  // its size is known only once it is shown
  TCentring centre(this, moves);
  box.installEventFilter(&centre);
  box.exec();
  for (const auto& [b, r] : made)
    if (box.clickedButton() == b) return r;
  return TModalResult::mrNone;
}

void TFormMain::ShowGeneralError(const std::string& text) {
  if (GeneralErrorHook) return GeneralErrorHook(text);
  QMessageBox::critical(this, QFileInfo(Q(FExePath)).completeBaseName(), Q(GeneralErrorText(text)));
}

// A row of a cut takes a few microseconds, an empty turn of the event loop
// about as many: the loop runs when a frame's time has passed since its last
// turn, so the bar, a click and Escape are seen as soon as the screen could
// show them. The first turn of every operation (its first row) always runs.
// Outside an operation every call turns the loop.
void TFormMain::ProcessMessages() {
  if (FSession.Busy && FLastPump.isValid() && FLastPump.nsecsElapsed() < 8'000'000) return;
  QCoreApplication::processEvents();
  FLastPump.start();
}

void TFormMain::SetProgressPosition(int position) { ProgressBar1->setValue(position); }
void TFormMain::SetProgressVisible(bool visible) { ProgressBar1->setVisible(visible); }

void TFormMain::ReportClear() { FFormReport->Clear(); }
void TFormMain::ReportAppend(const std::string& line) { FFormReport->Append(line); }
void TFormMain::ReportShow() { FFormReport->ShowReport(MonitorWorkArea()); }

void TFormMain::PlaceOnWorkArea(std::int32_t& top, std::int32_t& left) {
  const QRect frame = frameGeometry();
  if (top == NoSavedPosition || left == NoSavedPosition) {
    CentreOnWorkArea(top, left, frame.height(), frame.width(), MonitorWorkArea());
    return;
  }
  move(left, top);  // first onto the saved place, so its monitor's work area counts
  ClampToWorkArea(top, left, frame.height(), frame.width(), MonitorWorkArea());
}

void TFormMain::SetWindowTopLeft(std::int32_t top, std::int32_t left) { move(left, top); }

void TFormMain::SetGeoidList(const std::string& first, const std::string& second) {
  const QString text = ComboBoxGeoid->currentText();
  const QSignalBlocker quiet(ComboBoxGeoid);
  ComboBoxGeoid->clear();
  ComboBoxGeoid->addItems({Q(first), Q(second)});
  ComboBoxGeoid->setEditText(text);
}

void TFormMain::SetOpenDialog(const std::string& folder, const std::string& filter) {
  FDialogFolder = folder;
  FDialogFilter = filter;
}

int TFormMain::LogicalDpiX() const { return logicalDpiX(); }

void TFormMain::SetFonts(std::uint8_t, const std::string& name, int size) {
  // Qt's fonts are Unicode: the character set has nothing left to choose.
  QFont font(Q(name));
  if (size > 0) font.setPointSize(size);
  setFont(font);
  FFormReport->setFont(font);
}

// ---- Lifecycle ----

bool TFormMain::event(QEvent* e) {
  if (e->type() == QEvent::WindowActivate) QTimer::singleShot(0, this, [this] { FormActivate(); });
  return QWidget::event(e);
}

void TFormMain::changeEvent(QEvent* e) {
  QWidget::changeEvent(e);
  if ((e->type() != QEvent::FontChange && e->type() != QEvent::StyleChange) || FDesign.isEmpty()) return;
  for (QLineEdit* edit : CoordinateFields())
    if (!edit->styleSheet().isEmpty()) MarkCoordinate(edit);  // a marked field keeps the window's font
  LayOut();
}

void TFormMain::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  QTimer::singleShot(0, this, [this] { FormActivate(); });
}

void TFormMain::FormActivate() {
  if (FActivated) return;
  FActivated = true;
  FSession.VersionCaption = VersionCaptionText(VersionMajor, VersionMinor);
  setWindowTitle(Q(FSession.VersionCaption));
  try {
    FSession.SettingsPath = ResolveSettingsPath("", FExePath);
  } catch (const std::exception& e) {
    ShowGeneralError(ErrorText(e));
    return;
  }
  SettingsLoaded(LoadSettings(FSession, Inputs()), false);
  if (QLineEdit* edit = ComboBoxGeoid->lineEdit()) edit->deselect();
  TakeCommandLineFiles();
  setAcceptDrops(true);
  ButtonConvert->setFocus();
  const TGeoidModel& model = FSession.GeoidModels[Selection().Model];
  FLocatePending = !PathExists(ModelFilePath(SourceFolder(FSession, model), model));
  QTimer::singleShot(0, this, [this] { ApplicationEvents1Idle(); });
}

namespace {
// The inputs a settings file may lack and then takes from the window as it is.
constexpr const char* InheritedKeys[] = {"GeoidModel", "OutputName", "TestLat", "TestLon"};
}  // namespace

const std::string* TFormMain::InputOf(const TInputs& inputs, const std::string& key) {
  if (key == "GeoidModel") return &inputs.GeoidModel;
  if (key == "OutputName") return &inputs.OutputName;
  if (key == "TestLat") return &inputs.TestLat;
  return &inputs.TestLon;
}

void TFormMain::SettingsLoaded(const std::optional<TLoadedSettings>& loaded, bool after) {
  if (!loaded) return;
  // A file loaded after another shows that one's model, output name and test
  // point where it has none of its own: they are not its own, and are saved
  // into it only when changed.
  FInherited.clear();
  if (after)
    for (const char* key : InheritedKeys)
      if (std::find(loaded->KeysGiven.begin(), loaded->KeysGiven.end(), key) == loaded->KeysGiven.end())
        FInherited.emplace_back(key, *InputOf(loaded->Inputs, key));
  // A model text that is no title would select the 1' model unseen: say so, and show the model used.
  const TGeoidModels& models = FSession.GeoidModels;
  const std::string& model = loaded->Inputs.GeoidModel;
  if (model != models[0].title && model != models[1].title) {
    SetText(TControl::ComboBoxGeoid, models[1].title);
    CenteredMessageDlg("GeoidModel \"" + model + "\" in " + FSession.SettingsPath +
                           " names no model of the catalogue.\r\nUsing \"" + models[1].title + "\".",
                       TMsgDlgType::Warning, mbOK, 0);
  }
  // What the CLI warns of (a file that is no settings file, a refused catalogue entry), the window says too.
  for (std::string warning : loaded->Warnings) {
    warning[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(warning[0])));
    CenteredMessageDlg(warning + ".", TMsgDlgType::Warning, mbOK, 0);
  }
}

void TFormMain::ApplicationEvents1Idle() {
  if (!FLocatePending) return;
  FLocatePending = false;
  RunHandler(FSession.View, [this] { LocateSourceFile(); });
}

void TFormMain::closeEvent(QCloseEvent* e) {
  FSession.AbortRequested = true;  // FormCloseQuery
  if (FSession.Busy) {
    // The grids stay with the running operation; the window closes when it returns.
    FCloseDeferred = true;
    e->ignore();
    return;
  }
  if (!FClosed) {
    FClosed = true;
    QCoreApplication::processEvents();
    const TInputs inputs = Inputs();
    std::vector<std::string> unwritten;  // what this file never held and nobody changed
    for (const auto& [key, value] : FInherited)
      if (*InputOf(inputs, key) == value) unwritten.push_back(key);
    SaveSettings(FSession, inputs, Position(), unwritten);
    CloseSource(FSession);
    ++SourceReleases;
    FFormReport->close();
    FFormMap->close();
  }
  e->accept();
}

void TFormMain::AfterLongOperation() {
  if (FCustomClosePending) {
    FCustomClosePending = false;
    if (CustomIsOpen(FSession)) CloseCustomFile(FSession);
  }
  if (FCloseDeferred) {
    FCloseDeferred = false;
    close();
  }
}

// ---- Handlers ----

void TFormMain::ButtonConvertClick() {
  const bool wasBusy = FSession.Busy;
  const TSelection selection = Selection();
  const TConversionPlan plan = Plan();
  if (!wasBusy) FLastPump.invalidate();  // its first row pumps
  TConvertResult result;
  RunHandler(FSession.View, [&] { result = ConvertCustomGeoid(FSession, selection, plan); });
  if (wasBusy) return;
  // The file the last check and scan read is gone or replaced: their results with it.
  if (result.Outcome != TConvertOutcome::NotRun && result.Outcome != TConvertOutcome::Declined &&
      result.Outcome != TConvertOutcome::SourceMissing)
    for (const TControl c : {TControl::EditGeoid, TControl::EditCustomGeoid, TControl::EditError, TControl::LabelMinG,
                             TControl::LabelMaxG, TControl::LabelReso})
      SetText(c, std::string(InitialText(c)));
  // A new custom file: the last scan's picture is of another.
  FHeat.reset();
  FScanMax.reset();
  FScanMin.reset();
  RequestMapRedraw();
  AfterLongOperation();
}

void TFormMain::Button1Click() {
  const bool wasBusy = FSession.Busy;
  auto heat = std::make_shared<THeatMap>();
  const TSelection selection = Selection();
  const double precision = ParseNumber(Text(TControl::ComboBoxPrecision));
  TScanResult result;
  result.Outcome = TScanOutcome::Failed;  // unless the scan returns
  if (!wasBusy) FLastPump.invalidate();   // its first row pumps
  RunHandler(FSession.View, [&] { result = MaximumErrorScan(FSession, selection, precision, heat.get()); });
  if (wasBusy) return;
  ShowScanPicture(result, std::move(heat));
  AfterLongOperation();
}

// A complete scan's picture beside the custom file as NAME_error.png, its name
// in the report, and on the map; a scan cut short leaves none.
void TFormMain::ShowScanPicture(const TScanResult& result, std::shared_ptr<THeatMap> heat) {
  FHeat.reset();
  FScanMax.reset();
  FScanMin.reset();
  if (HeatMapComplete(result, *heat)) {
    const std::string path = HeatMapPathFor(result.Path);
    RunHandler(FSession.View, [&] {
      WriteHeatMap(*heat, path);
      for (const std::string& line : HeatMapReport(*heat, path)) ReportAppend(line);
    });
    FHeat = std::move(heat);
    FScanMax = result.Max;
    FScanMin = result.Min;
  }
  RequestMapRedraw();
}

void TFormMain::LabelMapClick() {
  if (FFormMap->isVisible()) {
    FFormMap->close();
    return;
  }
  FFormMap->ShowMap(MonitorWorkArea());
  RedrawMap();  // at the size the window has, shown
}

void TFormMain::RequestMapRedraw() {
  if (FMapRedrawPending || !FFormMap || !FFormMap->isVisible()) return;
  FMapRedrawPending = true;
  QTimer::singleShot(0, this, [this] {
    FMapRedrawPending = false;
    RedrawMap();
  });
}

void TFormMain::RedrawMap() {
  const TSelection selection = Selection();
  const TGeoidModel& model = FSession.GeoidModels[selection.Model];
  const std::string sourceFolder = SourceFolder(FSession, model), modelPath = ModelFilePath(sourceFolder, model);
  TMapScene scene = MapScene(Plan(), model.dgla, CustomGeoidFileName(FSession, selection.CustomName),
                             ParseCoordinate(Text(TControl::EditLat)), ParseCoordinate(Text(TControl::EditLon)));
  scene.Heat = FHeat.get();
  scene.Max = FScanMax;
  scene.Min = FScanMin;
  const TMapFrame frame = FFormMap->Picture->Frame(scene.Region ? scene.Region : scene.Custom, FrameWest(scene));
  // The relief is the slow part: made again only for another file or frame.
  if (!FRelief || FReliefPath != modelPath || !(FRelief->Frame == frame)) {
    FRelief.reset();
    FReliefPath = modelPath;
    if (const auto grid = OpenSourceGrid(sourceFolder, model))
      FRelief = std::make_unique<TRelief>(MakeRelief(*grid, frame));
  }
  scene.Relief = FRelief.get();
  // The coastlines of the frame's resolution, read once each; their absence is said once.
  if (const char resolution = CoastResolution(frame); resolution != FCoastResolution) {
    FCoastResolution = resolution;
    FCoast = LoadCoastlines(resolution);
    FFormMap->SetNote(Sentence(FCoast.Note));
  }
  scene.Coast = &FCoast.Lines;
  if (!FFont) FFont = std::make_unique<TFont>();
  scene.Font = FFont.get();
  scene.TextScale = FFormMap->Picture->PixelRatio();
  FFormMap->SetImage(RenderMap(scene, frame), frame);
}

void TFormMain::ButtonCalcClick() {
  const TSelection selection = Selection();
  const double lat = ParseCoordinate(Text(TControl::EditLat)), lon = ParseCoordinate(Text(TControl::EditLon));
  RunHandler(FSession.View, [&] { PointCheck(FSession, selection, lat, lon); });
}

void TFormMain::LabelReportClick() {
  if (FFormReport->isVisible())
    FFormReport->close();
  else
    FFormReport->ShowReport(MonitorWorkArea());
}

void TFormMain::ButtonExitClick() { close(); }

void TFormMain::EditFnameChange() {
  if (!CustomIsOpen(FSession)) return;
  if (FSession.Busy)
    FCustomClosePending = true;
  else
    CloseCustomFile(FSession);
}

void TFormMain::ComboBoxGeoidSelect() {
  if (FSession.Busy) return;  // the running operation keeps its model
  RunHandler(FSession.View, [this] { LocateSourceFile(); });
}

std::optional<std::string> TFormMain::RunFileDialog(const std::string& file, const std::string& filter) {
  if (FileDialogHook) return FileDialogHook(FDialogFolder, file, filter);
  QFileDialog dialog(this, QString(), Q(FDialogFolder), QtFilter(filter));
  dialog.setOption(QFileDialog::DontUseNativeDialog);  // a dialog of ours can be placed
  dialog.setFileMode(QFileDialog::AnyFile);            // a name that does not exist yet
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.selectFile(Q(FileNameOf(file)));
  // OpenDialog1Show: centred on the main window for its first three moves.
  FOpenDialog1MoveFlag = 3;
  TCentring centre(this, FOpenDialog1MoveFlag);
  dialog.installEventFilter(&centre);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return SystemPath(dialog.selectedFiles().front()).toStdString();
}

void TFormMain::LocateSourceFile() {
  const std::string folder = FDialogFolder, file = FDialogFile, filter = FDialogFilter;
  if (FActivated) {
    OpenSelectedModel(FSession, Selection().Model);
    FDialogFolder = FSession.DataDir;
    const std::string& fname = FSession.GeoidModels[Selection().Model].fname;
    FDialogFile = AsFolder(FDialogFolder) + fname;
    FDialogFilter = "Geoid file|" + FileNameOf(FDialogFile);
    if (!FSession.SourceOpen()) {
      if (const auto chosen = RunFileDialog(FDialogFile, FDialogFilter)) {
        FSession.DataDir = FolderOf(*chosen);
        OpenSelectedModel(FSession, Selection().Model);
        if (FSession.SourceOpen()) FSession.DataPath = FSession.DataDir;
      }
    }
    CloseSource(FSession);
  }
  FDialogFolder = folder;
  FDialogFile = file;
  FDialogFilter = filter;
}

void TFormMain::LabelOutFnameClick() {
  if (FSession.Busy) return;  // picking a file would close the scan's custom grid
  // The name field offers the usual custom geoid files, "*.qdat" whatever
  // OutputExt holds: the filter below it shows OutputExt's; a name picked
  // keeps its own extension until CustomGeoidFileName gives it OutputExt.
  FDialogFile = AsFolder(FDialogFolder) + "*.qdat";
  const auto chosen = RunFileDialog(FDialogFile, FDialogFilter);
  if (!chosen) return;
  SetText(TControl::EditFname, FileNameOf(*chosen));
  FSession.DataDir = FolderOf(*chosen);
  if (PathExists(*chosen)) {
    FSession.DataPath = FSession.DataDir;
    CloseCustomFile(FSession);
  }
}

void TFormMain::TakeCommandLineFiles() {
  std::string names;
  for (const QString& argument : FArguments) {
    const std::string a = argument.toStdString();
    if (IsSettingsFile(a)) {
      FSession.SettingsPath = a;
      SettingsLoaded(LoadSettings(FSession, Inputs()), true);
    } else {
      names += a + ";";
    }
  }
  if (!names.empty()) {
    names.pop_back();
    SetText(TControl::EditFname, names);
  }
}

void TFormMain::WMDropFiles(const QStringList& paths) {
  std::string last;
  for (const QString& path : paths) {
    const std::string p = path.toStdString();
    if (IsSettingsFile(p)) {
      FSession.SettingsPath = p;
      RunHandler(FSession.View, [this] { SettingsLoaded(LoadSettings(FSession, Inputs()), true); });
    } else {
      last = p;
    }
  }
  if (!last.empty()) {
    FSession.DataDir = FolderOf(last);
    SetText(TControl::EditFname, FileNameOf(last));
  }
}

void TFormMain::dragEnterEvent(QDragEnterEvent* e) {
  if (!FSession.Busy && e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void TFormMain::dropEvent(QDropEvent* e) {
  if (FSession.Busy) return;
  QStringList paths;
  for (const QUrl& url : e->mimeData()->urls())
    if (url.isLocalFile()) paths << SystemPath(url.toLocalFile());
  e->acceptProposedAction();
  WMDropFiles(paths);
}

bool TFormMain::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(e);
    // EditLatKeyPress: Enter in a coordinate field runs the point check.
    const auto fields = CoordinateFields();
    const bool coordinate = std::find(fields.begin(), fields.end(), watched) != fields.end();
    if (coordinate && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
      ButtonCalcClick();
      return true;
    }
  }
  if (e->type() == QEvent::MouseButtonRelease) {
    if (watched == LabelReport) LabelReportClick();
    if (watched == LabelOutFname) LabelOutFnameClick();
  }
  return QWidget::eventFilter(watched, e);
}

}  // namespace tessmar
