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

void TFormReport::ShowReport() {
  if (!FPlaced && FMainWindow) {
    const QRect main = FMainWindow->frameGeometry();
    move(main.center() - QPoint(frameGeometry().width() / 2, frameGeometry().height() / 2));
    FPlaced = true;
  }
  show();
  raise();
  activateWindow();
}

std::vector<std::string> TFormReport::Lines() const {
  std::vector<std::string> lines;
  for (QTextBlock b = Memo1->document()->firstBlock(); b.isValid(); b = b.next())
    lines.push_back(b.text().toStdString());
  if (lines.size() == 1 && lines[0].empty()) lines.clear();  // an empty document has one empty block
  return lines;
}

}  // namespace tessmar
