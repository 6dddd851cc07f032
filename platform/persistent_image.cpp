#include "platform/persistent_image.h"

#include <algorithm>

namespace quorvel::platform {

namespace {

QRgb ToRgb(std::uint32_t packed) {
  return qRgb(static_cast<int>(packed & 0xFF), static_cast<int>((packed >> 8) & 0xFF),
              static_cast<int>((packed >> 16) & 0xFF));
}

}  // namespace

PersistentImage::PersistentImage(std::uint32_t back_color)
    : image_(0, 0, QImage::Format_RGB32), back_color_(back_color & 0xFFFFFF) {}

void PersistentImage::Resize(QSize size) {
  size = size.expandedTo(QSize(0, 0));
  if (image_.size() == size) return;
  PersistentImage resized(back_color_);
  resized.image_ = QImage(size, QImage::Format_RGB32);
  resized.Cls();
  resized.Draw(*this);
  image_ = std::move(resized.image_);
}

void PersistentImage::Draw(const PersistentImage& source) {
  const int w = std::min(image_.width(), source.image_.width());
  const int h = std::min(image_.height(), source.image_.height());
  for (int y = 0; y < h; ++y) {
    std::copy_n(reinterpret_cast<const QRgb*>(source.image_.constScanLine(y)), w,
                reinterpret_cast<QRgb*>(image_.scanLine(y)));
  }
}

void PersistentImage::Cls() { image_.fill(ToRgb(back_color_)); }

void PersistentImage::Line(int x, int y1, int y2, std::uint32_t packed) {
  if (x < 0 || x >= image_.width()) return;
  const QRgb colour = ToRgb(packed);
  const int step = y1 < y2 ? 1 : -1;
  uchar* const bits = image_.bits();  // one look-up, not one per row
  const qsizetype stride = image_.bytesPerLine();
  for (int y = y1; y != y2; y += step) {
    if (y >= 0 && y < image_.height()) reinterpret_cast<QRgb*>(bits + y * stride)[x] = colour;
  }
}

void PersistentImage::SetPicture(const QImage& picture) {
  if (picture.hasAlphaChannel()) {
    // The channels are taken as stored, whatever the alpha says.
    QImage rgb = picture.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < rgb.height(); ++y) {
      QRgb* line = reinterpret_cast<QRgb*>(rgb.scanLine(y));
      for (int x = 0; x < rgb.width(); ++x) line[x] |= 0xFF000000u;
    }
    rgb.reinterpretAsFormat(QImage::Format_RGB32);
    image_ = std::move(rgb);
  } else {
    image_ = picture.convertToFormat(QImage::Format_RGB32);
  }
}

}  // namespace quorvel::platform
