#include "picture/persistent_image.h"

#include <algorithm>

namespace quorvel::picture {

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

void PersistentImage::Cls() { image_.fill(PixelColour(back_color_)); }

void PersistentImage::Lines(const std::vector<std::uint32_t>& packed, int top, int bottom) {
  // Row by row, not column by column: a wide strip's rows lie far apart.
  const int width = std::min(image_.width(), static_cast<int>(packed.size()));
  const int first = std::max(top, 0), end = std::min(bottom, image_.height());
  if (width <= 0 || first >= end) return;
  // The first row converted, the others copies of it.
  QRgb* row = reinterpret_cast<QRgb*>(image_.scanLine(first));
  for (int x = 0; x < width; ++x) row[x] = PixelColour(packed[static_cast<std::size_t>(x)]);
  for (int y = first + 1; y < end; ++y) {
    std::copy_n(row, width, reinterpret_cast<QRgb*>(image_.scanLine(y)));
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

}  // namespace quorvel::picture
