// TFormMap: the Map window, a plain companion of the main window showing the
// picture the core renders (the source model's relief, the region, the custom
// geoid's extent, the scan's heat map, the check point). Closing it only hides
// it. TLinkLabel: a label that acts as a link, one click() per click.
#pragma once

#include <QImage>
#include <QLabel>
#include <QWidget>

#include "picture/Png.hpp"
#include "placement/Placement.hpp"

namespace tessmar {

// Fires clicked() from its own mouse release, the one place that sees each
// click exactly once, whatever event filters watch it.
class TLinkLabel : public QLabel {
  Q_OBJECT
 public:
  using QLabel::QLabel;

 signals:
  void clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* e) override;
};

class TFormMap : public QWidget {
  Q_OBJECT
 public:
  explicit TFormMap(QWidget* mainWindow);

  // Visible and in front; the first time below the main window, kept inside
  // the work area of its monitor.
  void ShowMap(const TRect& workArea);
  void SetImage(const TImage& image);
  const QImage& Image() const { return FImage; }

  QLabel* Picture;

 private:
  QWidget* FMainWindow;
  QImage FImage;
  bool FPlaced = false;
};

}  // namespace tessmar
