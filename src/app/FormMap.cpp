#include "app/FormMap.hpp"

#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <cmath>

#include "app/FormReport.hpp"

namespace tessmar {

void TLinkLabel::mouseReleaseEvent(QMouseEvent* e) {
  QLabel::mouseReleaseEvent(e);
  if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) emit clicked();
}

TMapCanvas::TMapCanvas(QWidget* parent) : QWidget(parent) {
  setObjectName("MapPicture");
  setMinimumSize(160, 100);
  setCursor(Qt::OpenHandCursor);
}

TMapFrame TMapCanvas::Frame(const std::optional<TLatLonBox>& box, double west) const {
  const double ratio = PixelRatio();
  const int width = std::max(16, static_cast<int>(std::lround(this->width() * ratio)));
  const int height = std::max(8, static_cast<int>(std::lround(this->height() * ratio)));
  if (FOwn) {
    // The person's view, its centre kept when the window changes size.
    TMapFrame f = *FOwn;
    f.West += (f.Width - width) * f.Step / 2;
    f.North -= (f.Height - height) * f.Step / 2;
    f.Width = width;
    f.Height = height;
    return f;
  }
  if (box) return FrameAround(*box, width, height);
  TMapFrame world = FrameAround(TLatLonBox{-90, west, 90, west, true}, width, height);
  world.West = west + 180 - width * world.Step / 2;
  return world;
}

void TMapCanvas::SetOwn(const TMapFrame& frame) {
  FOwn = frame;
  if (FrameChanged) FrameChanged();
}

void TMapCanvas::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
  if (!FImage.isNull()) painter.drawImage(QPointF(0, 0), FImage);
}

void TMapCanvas::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  if (FrameChanged) FrameChanged();
}

void TMapCanvas::wheelEvent(QWheelEvent* e) {
  const double ratio = PixelRatio();
  const QPointF at = e->position() * ratio;
  // One notch of the wheel (120) comes a quarter closer.
  const double factor = std::pow(1.25, e->angleDelta().y() / 120.0);
  SetOwn(Zoomed(FShown, at.x(), at.y(), factor));
  e->accept();
}

void TMapCanvas::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  FDrag = e->position();
  setCursor(Qt::ClosedHandCursor);
}

void TMapCanvas::mouseMoveEvent(QMouseEvent* e) {
  if (!FDrag) return;
  const QPointF d = (e->position() - *FDrag) * PixelRatio();
  FDrag = e->position();
  SetOwn(Panned(FShown, d.x(), d.y()));
}

void TMapCanvas::mouseReleaseEvent(QMouseEvent*) {
  FDrag.reset();
  setCursor(Qt::OpenHandCursor);
}

void TMapCanvas::mouseDoubleClickEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  FOwn.reset();
  if (FrameChanged) FrameChanged();
}

TFormMap::TFormMap(QWidget* mainWindow) : QWidget(nullptr, Qt::Window), FMainWindow(mainWindow) {
  setObjectName("FormMap");
  setWindowTitle("Map");
  Picture = new TMapCanvas(this);
  Note = new QLabel(this);
  Note->setObjectName("MapNote");
  Note->setWordWrap(true);  // a long note takes lines, not width
  Note->hide();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addWidget(Picture, 1);
  layout->addWidget(Note);
  resize(880, 560);
}

void TFormMap::ShowMap(const TRect& workArea) { ShowBesideMain(this, FMainWindow, FPlaced, workArea); }

void TFormMap::SetImage(const TImage& image, const TMapFrame& frame) {
  QImage picture = QImage(reinterpret_cast<const uchar*>(image.Pixels.data()), image.Width, image.Height,
                          image.Width * 4, QImage::Format_RGBA8888)
                       .copy();
  picture.setDevicePixelRatio(Picture->PixelRatio());
  Picture->SetImage(picture, frame);
}

void TFormMap::SetNote(const std::string& note) {
  Note->setText(QString::fromStdString(note));
  Note->setVisible(!note.empty());
}

}  // namespace tessmar
