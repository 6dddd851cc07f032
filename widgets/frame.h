// A frame: an etched rectangle with a caption that breaks its top line, the
// line running through the middle of the caption. Its controls are placed
// on it by their own positions, relative to the frame's top-left corner;
// the frame adds no margins of its own.
#pragma once

#include <QString>
#include <QWidget>

namespace quorvel::widgets {

class Frame : public QWidget {
 public:
  Frame(const QString& title, QWidget* parent = nullptr);

  // The row of the frame's top line (its dark half), in the frame's pixels.
  int LineTop() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString title_;
};

}  // namespace quorvel::widgets
