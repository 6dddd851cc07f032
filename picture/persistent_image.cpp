#include "picture/persistent_image.h"

#include <algorithm>

namespace quorvel::picture {

PersistentImage::PersistentImage(std::uint32_t back_color) : back_color_(back_color & 0xFFFFFF) {}

void PersistentImage::Resize(QSize size) {
  size = size.expandedTo(QSize(0, 0));
  if (Size() == size) return;
  PersistentImage resized(back_color_);
  resized.image_ = Pixels(size.width(), size.height());
  resized.Cls();
  resized.Draw(*this);
  image_ = std::move(resized.image_);
}

void PersistentImage::Draw(const PersistentImage& source) {
  const int w = std::min(image_.width, source.image_.width);
  const int h = std::min(image_.height, source.image_.height);
  for (int y = 0; y < h; ++y) std::copy_n(source.image_.At(0, y), 3 * w, image_.At(0, y));
}

void PersistentImage::Cls() {
  if (image_.rgb.empty()) return;
  // The first row filled, the others copies of it.
  const Rgb c = PixelColour(back_color_);
  std::uint8_t* row = image_.At(0, 0);
  for (int x = 0; x < image_.width; ++x) {
    row[3 * x] = c.r;
    row[3 * x + 1] = c.g;
    row[3 * x + 2] = c.b;
  }
  for (int y = 1; y < image_.height; ++y) std::copy_n(row, 3 * image_.width, image_.At(0, y));
}

Pixels PersistentImage::Take() {
  Pixels taken = std::move(image_);
  image_ = Pixels();
  return taken;
}

void PersistentImage::Lines(const std::vector<std::uint32_t>& packed, int top, int bottom) {
  // Row by row, not column by column: a wide strip's rows lie far apart.
  const int width = std::min(image_.width, static_cast<int>(packed.size()));
  const int first = std::max(top, 0), end = std::min(bottom, image_.height);
  if (width <= 0 || first >= end) return;
  // The first row converted, the others copies of it.
  std::uint8_t* row = image_.At(0, first);
  for (int x = 0; x < width; ++x) {
    const Rgb c = PixelColour(packed[static_cast<std::size_t>(x)]);
    row[3 * x] = c.r;
    row[3 * x + 1] = c.g;
    row[3 * x + 2] = c.b;
  }
  for (int y = first + 1; y < end; ++y) std::copy_n(row, 3 * width, image_.At(0, y));
}

}  // namespace quorvel::picture
