#include "platform/picturebox.h"

#include <QPainter>
#include <cstdlib>

namespace quorvel::platform {

namespace {

QRgb ToRgb(std::uint32_t packed) {
  return qRgb(static_cast<int>(packed & 0xFF), static_cast<int>((packed >> 8) & 0xFF),
              static_cast<int>((packed >> 16) & 0xFF));
}

}  // namespace

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) {
  image_ = QImage(0, 0, QImage::Format_RGB32);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureBox::SetBackColor(std::uint32_t packed) {
  back_color_ = packed & 0xFFFFFF;
  update();
}

void PictureBox::SetWidth(int pixels) { resize(std::max(0, pixels), height()); }

const QImage& PictureBox::Synced() const {
  const QSize size = this->size();
  if (image_.size() == size) return image_;
  QImage resized(size, QImage::Format_RGB32);
  resized.fill(ToRgb(back_color_));
  const int w = std::min(size.width(), image_.width());
  const int h = std::min(size.height(), image_.height());
  for (int y = 0; y < h; ++y) {
    std::copy_n(reinterpret_cast<const QRgb*>(image_.constScanLine(y)), w,
                reinterpret_cast<QRgb*>(resized.scanLine(y)));
  }
  image_ = std::move(resized);
  return image_;
}

QImage& PictureBox::Synced() { return const_cast<QImage&>(std::as_const(*this).Synced()); }

void PictureBox::Cls() {
  Synced().fill(ToRgb(back_color_));
  update();
}

void PictureBox::Line(int x1, int y1, int x2, int y2, std::uint32_t packed) {
  QImage& image = Synced();
  const QRgb colour = ToRgb(packed);
  // Bresenham's walk from the start point; the end point is left out.
  const int dx = std::abs(x2 - x1), sx = x1 < x2 ? 1 : -1;
  const int dy = -std::abs(y2 - y1), sy = y1 < y2 ? 1 : -1;
  int err = dx + dy;
  int x = x1, y = y1;
  while (x != x2 || y != y2) {
    if (x >= 0 && y >= 0 && x < image.width() && y < image.height()) {
      reinterpret_cast<QRgb*>(image.scanLine(y))[x] = colour;
    }
    const int e2 = 2 * err;
    if (e2 >= dy) err += dy, x += sx;
    if (e2 <= dx) err += dx, y += sy;
  }
  update();
}

void PictureBox::SetPicture(const QImage& picture) {
  QImage rgb;
  if (picture.hasAlphaChannel()) {
    // The channels are taken as stored, whatever the alpha says.
    rgb = picture.convertToFormat(QImage::Format_ARGB32);
    rgb.reinterpretAsFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y) {
      QRgb* line = reinterpret_cast<QRgb*>(rgb.scanLine(y));
      for (int x = 0; x < rgb.width(); ++x) line[x] |= 0xFF000000u;
    }
  } else {
    rgb = picture.convertToFormat(QImage::Format_RGB32);
  }
  if (auto_size_) {
    image_ = rgb;
    resize(rgb.size());  // the image already has this size: it is kept
  } else {
    QImage& image = Synced();
    image.fill(ToRgb(back_color_));
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(0, 0, rgb);
  }
  has_picture_ = true;
  update();
}

void PictureBox::ClearPicture() {
  has_picture_ = false;
  Cls();
}

std::int32_t PictureBox::Point(int x, int y) const {
  const QImage& image = Synced();
  if (x < 0 || y < 0 || x >= image.width() || y >= image.height()) return -1;
  const QRgb c = reinterpret_cast<const QRgb*>(image.constScanLine(y))[x];
  return qRed(c) | qGreen(c) << 8 | qBlue(c) << 16;
}

void PictureBox::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), QColor(ToRgb(back_color_)));
  painter.drawImage(0, 0, Synced());
}

}  // namespace quorvel::platform
