// TFormMap: the Map window, a plain companion of the main window showing the
// picture the core renders (the source model's relief, coastlines, the
// graticule, the region, the custom geoid's extent, the scan's heat map, the
// check point, the legends). It opens on the region with room around it and
// follows it; the wheel zooms about the pointer, a drag pans, a double click
// returns to the region. The picture is rendered at the window's own size in
// device pixels. Closing it only hides it. TLinkLabel: a label that acts as a
// link, one click() per click.
// Not thread-safe: widgets, used on the GUI thread only.
#pragma once

#include <QImage>
#include <QLabel>
#include <QWidget>
#include <functional>
#include <optional>

#include "picture/Map.hpp"
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

// The picture: shows an image, and turns the wheel, drags and double clicks
// into frames.
class TMapCanvas : public QWidget {
  Q_OBJECT
 public:
  explicit TMapCanvas(QWidget* parent);

  // The frame to draw for the region (or the whole earth from `west`): the
  // person's own after a zoom or pan, else the region with room around it.
  TMapFrame Frame(const std::optional<TLatLonBox>& box, double west) const;
  bool Following() const { return !FOwn; }
  // The picture of `frame`, in device pixels.
  void SetImage(const QImage& image, const TMapFrame& frame) {
    FImage = image;
    FShown = frame;
    update();
  }
  const TMapFrame& Shown() const { return FShown; }
  const QImage& Image() const { return FImage; }
  double PixelRatio() const { return devicePixelRatioF(); }

  std::function<void()> FrameChanged;

 protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;

 private:
  void SetOwn(const TMapFrame& frame);
  QImage FImage;
  std::optional<TMapFrame> FOwn;  // the person's frame, in device pixels
  TMapFrame FShown;               // the frame last drawn
  std::optional<QPointF> FDrag;   // where the drag was last seen
};

class TFormMap : public QWidget {
  Q_OBJECT
 public:
  explicit TFormMap(QWidget* mainWindow);

  // Visible and in front; the first time beside the main window, inside the
  // work area of its monitor.
  void ShowMap(const TRect& workArea);
  // The picture of `frame`, device pixels.
  void SetImage(const TImage& image, const TMapFrame& frame);
  const QImage& Image() const { return Picture->Image(); }
  // A line under the picture ("" hides it): what the map lacks and why.
  void SetNote(const std::string& note);

  TMapCanvas* Picture;
  QLabel* Note;

 private:
  QWidget* FMainWindow;
  bool FPlaced = false;
};

}  // namespace tessmar
