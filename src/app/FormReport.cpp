#include "app/FormReport.hpp"

#include <QTextBlock>
#include <QVBoxLayout>

namespace tessmar {

TFormReport::TFormReport(QWidget* mainWindow) : QWidget(nullptr, Qt::Window), FMainWindow(mainWindow) {
  setObjectName("FormReport");
  setWindowTitle("Report");
  resize(524, 282);
  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName("Memo1");
  Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(Memo1);
}

void TFormReport::Clear() { Memo1->clear(); }

void TFormReport::Append(const std::string& line) { Memo1->appendPlainText(QString::fromStdString(line)); }

namespace {
void PlaceBesideMain(QWidget* window, const QWidget* mainWindow, const TRect& workArea) {
  const QRect main = mainWindow->frameGeometry();
  // The frame's borders and title, which the work area must hold too: before
  // the window is first shown they are not known yet, and are the main window's.
  const QSize decoration = window->testAttribute(Qt::WA_WState_Created) && window->isVisible()
                               ? window->frameGeometry().size() - window->size()
                               : main.size() - mainWindow->size();
  const QRect frame(window->pos(), window->size() + decoration);
  const QSize least = window->minimumSizeHint().expandedTo(window->minimumSize()) + decoration;
  const TRect placed = BesideOwner({main.left(), main.top(), main.left() + main.width(), main.top() + main.height()},
                                   frame.width(), frame.height(), least.width(), least.height(), workArea, 8);
  window->resize(QSize(placed.Width(), placed.Height()) - decoration);
  window->move(placed.left, placed.top);
}
}  // namespace

void ShowBesideMain(QWidget* window, const QWidget* mainWindow, bool& placed, const TRect& workArea) {
  if (!placed && mainWindow) {
    PlaceBesideMain(window, mainWindow, workArea);
    placed = true;
  }
  window->show();
  window->raise();
  window->activateWindow();
}

void TFormReport::ShowReport(const TRect& workArea) { ShowBesideMain(this, FMainWindow, FPlaced, workArea); }

std::vector<std::string> TFormReport::Lines() const {
  std::vector<std::string> lines;
  for (QTextBlock b = Memo1->document()->firstBlock(); b.isValid(); b = b.next())
    lines.push_back(b.text().toStdString());
  if (lines.size() == 1 && lines[0].empty()) lines.clear();  // an empty document has one empty block
  return lines;
}

}  // namespace tessmar
