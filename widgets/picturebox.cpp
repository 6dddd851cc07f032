#include "widgets/picturebox.h"

#include <QPainter>
#include <utility>

namespace quorvel::widgets {

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

void PictureBox::SetBackColor(std::uint32_t packed) {
  image_.SetBackColor(packed);
  update();
}

void PictureBox::SetWidth(int pixels) { resize(std::max(0, pixels), height()); }

const picture::PersistentImage& PictureBox::Synced() const {
  image_.Resize(size());
  return image_;
}

picture::PersistentImage& PictureBox::Synced() {
  image_.Resize(size());
  return image_;
}

void PictureBox::Cls() {
  Synced().Cls();
  update();
}

void PictureBox::Lines(const std::vector<std::uint32_t>& packed, int top, int bottom) {
  Synced().Lines(packed, top, bottom);
  update();
}

QImage PictureBox::Shown() const {
  const picture::Pixels& pixels = Synced().Image();
  return QImage(pixels.rgb.data(), pixels.width, pixels.height, 3 * pixels.width,
                QImage::Format_RGB888);
}

void PictureBox::SetPicture(picture::Pixels picture) {
  image_.SetPicture(std::move(picture));
  resize(image_.Size());
  update();
}

void PictureBox::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const Rgb back = picture::PixelColour(BackColor());
  painter.fillRect(rect(), QColor(back.r, back.g, back.b));
  painter.drawImage(0, 0, Shown());
  if (hasFocus()) {
    // The focus mark: a dotted rectangle over the box's edge, drawn over the
    // picture on the screen only; the persistent image keeps every pixel.
    painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(Qt::white);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

}  // namespace quorvel::widgets
