// A picture box: a borderless widget measured in pixels whose drawing and
// assigned pictures land in a persistent image of plain pixels. That image
// is what Image() returns, what Point() reads and what the widget paints. With the keyboard
// focus the box shows a dotted rectangle over its edge.
#pragma once

#include <QImage>
#include <QString>
#include <QWidget>
#include <cstdint>

#include "picture/persistent_image.h"

namespace quorvel::widgets {

class PictureBox : public QWidget {
 public:
  explicit PictureBox(QWidget* parent = nullptr);

  // Colours are packed as 0x00BBGGRR.
  void SetBackColor(std::uint32_t packed);
  std::uint32_t BackColor() const { return image_.BackColor(); }

  // The outer width in pixels; the persistent image follows it, keeping what
  // still fits and showing the background colour elsewhere.
  void SetWidth(int pixels);

  // Inner width in the box's own unit, the pixel.
  float ScaleWidth() const { return static_cast<float>(Synced().Size().width()); }

  void Cls();
  // A vertical line down each column x from row `top` to row `bottom`,
  // which is left out, in the packed colour packed[x].
  void Lines(const std::vector<std::uint32_t>& packed, int top, int bottom);

  // The persistent image exactly as drawn.
  const picture::Pixels& Image() const { return Synced().Image(); }
  // The same as the screen is given it: a QImage over those pixels, valid
  // until the image next changes: what the box paints, and what a look at
  // the screen is compared with.
  QImage Shown() const;

  // Makes a picture the content of the box, its channel values unchanged,
  // and sizes the box to it (both of the window's boxes size themselves to
  // their picture).
  void SetPicture(picture::Pixels picture);

  // The packed colour 0x00BBGGRR of a point of the persistent image, or -1
  // for a point outside it.
  std::int32_t Point(int x, int y) const { return Synced().Point(x, y); }

  const QString& Tag() const { return tag_; }
  void SetTag(const QString& tag) { tag_ = tag; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  // The persistent image, brought to the box's size first: a hidden box
  // gets no resize events, yet its image must follow every size change.
  const picture::PersistentImage& Synced() const;
  picture::PersistentImage& Synced();

  mutable picture::PersistentImage image_;
  QString tag_;
};

}  // namespace quorvel::widgets
