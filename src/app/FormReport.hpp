// TFormReport: the report window, a plain companion of the main window holding
// the log of the last conversion or scan in Memo1, a line per entry. Closing it
// only hides it.
#pragma once

#include <QPlainTextEdit>
#include <QWidget>
#include <string>
#include <vector>

namespace tessmar {

class TFormReport : public QWidget {
  Q_OBJECT
 public:
  explicit TFormReport(QWidget* mainWindow);

  void Clear();
  void Append(const std::string& line);
  // Visible and in front, centred over the main window the first time.
  void ShowReport();
  std::vector<std::string> Lines() const;

  QPlainTextEdit* Memo1;

 private:
  QWidget* FMainWindow;
  bool FPlaced = false;
};

}  // namespace tessmar
