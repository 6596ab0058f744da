// TFormReport: the report window, a plain companion of the main window holding
// the log of the last conversion or scan in Memo1, a line per entry. Closing it
// only hides it.
// Not thread-safe: a widget, used on the GUI thread only.
#pragma once

#include <QPlainTextEdit>
#include <QWidget>
#include <string>
#include <vector>

#include "placement/Placement.hpp"

namespace tessmar {

// Shows a companion window (the report, the map) and brings it to the front.
// The first time (placed false; then true) it goes beside the main window,
// inside the work area, off the main window, as small as it must be to do so;
// after that it stays where the user leaves it.
void ShowBesideMain(QWidget* window, const QWidget* mainWindow, bool& placed, const TRect& workArea);

class TFormReport : public QWidget {
  Q_OBJECT
 public:
  explicit TFormReport(QWidget* mainWindow);

  void Clear();
  void Append(const std::string& line);
  // Visible and in front; the first time beside the main window, inside the work area.
  void ShowReport(const TRect& workArea);
  std::vector<std::string> Lines() const;

  QPlainTextEdit* Memo1;

 private:
  QWidget* FMainWindow;
  bool FPlaced = false;
};

}  // namespace tessmar
