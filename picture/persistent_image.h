// The persistent image of a picture box: what drawing and assigned pictures
// land in, what is saved and what is read back. It needs no window, so the
// command-line companion draws and reads strips with the same code.
#pragma once

#include <QSize>
#include <cstdint>
#include <utility>
#include <vector>

#include "picture/colours.h"
#include "picture/pixels.h"

namespace quorvel::picture {

class PersistentImage {
 public:
  explicit PersistentImage(std::uint32_t back_color = 0xFFFFFF);

  // Colours are packed as 0x00BBGGRR.
  void SetBackColor(std::uint32_t packed) { back_color_ = packed & 0xFFFFFF; }
  std::uint32_t BackColor() const { return back_color_; }

  // A new size keeps what still fits; new areas show the background colour.
  void Resize(QSize size);
  QSize Size() const { return {image_.width, image_.height}; }

  // Fills the whole image with the background colour.
  void Cls();

  // A vertical line down each column x, from row `top` to row `bottom`
  // (which is left out), in the packed colour packed[x], painted over what
  // is there and clipped to the image. Strips draw no other lines.
  void Lines(const std::vector<std::uint32_t>& packed, int top, int bottom);

  // Makes a picture the content: its size and its colours.
  void SetPicture(Pixels picture) { image_ = std::move(picture); }

  // Copies another image over this one from the top-left corner, cut at
  // this image's edges.
  void Draw(const PersistentImage& source);

  // The packed colour 0x00BBGGRR of a point, or -1 for a point outside.
  std::int32_t Point(int x, int y) const {
    if (x < 0 || y < 0 || x >= image_.width || y >= image_.height) return -1;
    return PackedColour(image_.At(x, y));
  }

  const Pixels& Image() const { return image_; }
  // The image itself, taken out; this one is left empty, 0 x 0.
  Pixels Take();

 private:
  Pixels image_;
  std::uint32_t back_color_;
};

}  // namespace quorvel::picture
