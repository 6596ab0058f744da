#include "app/FormMap.hpp"

#include <QMouseEvent>
#include <QVBoxLayout>

namespace tessmar {

void TLinkLabel::mouseReleaseEvent(QMouseEvent* e) {
  QLabel::mouseReleaseEvent(e);
  if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) emit clicked();
}

TFormMap::TFormMap(QWidget* mainWindow) : QWidget(nullptr, Qt::Window), FMainWindow(mainWindow) {
  setObjectName("FormMap");
  setWindowTitle("Map");
  Picture = new QLabel(this);
  Picture->setObjectName("MapPicture");
  Picture->setAlignment(Qt::AlignCenter);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(Picture);
}

void TFormMap::ShowMap(const TRect& workArea) {
  if (!FPlaced && FMainWindow) {
    // Below the main window, their centres on one vertical line.
    const QRect main = FMainWindow->frameGeometry();
    const QRect frame = frameGeometry();
    std::int32_t top = main.bottom() + 8, left = main.center().x() - frame.width() / 2;
    ClampToWorkArea(top, left, frame.height(), frame.width(), workArea);
    move(left, top);
    FPlaced = true;
  }
  show();
  raise();
  activateWindow();
}

void TFormMap::SetImage(const TImage& image) {
  FImage = QImage(reinterpret_cast<const uchar*>(image.Pixels.data()), image.Width, image.Height, image.Width * 4,
                  QImage::Format_RGBA8888)
               .copy();
  Picture->setPixmap(QPixmap::fromImage(FImage));
  setFixedSize(image.Width, image.Height);
}

}  // namespace tessmar
