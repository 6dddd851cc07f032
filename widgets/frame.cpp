#include "widgets/frame.h"

#include <QPainter>
#include <algorithm>

#include "widgets/accessibility.h"

namespace quorvel::widgets {

namespace {

// Where the caption starts, and the gap left around it in the line.
constexpr int kCaptionLeft = 8;
constexpr int kCaptionGap = 2;

}  // namespace

Frame::Frame(const QString& title, QWidget* parent) : QWidget(parent), title_(title) {
  setFocusPolicy(Qt::NoFocus);
  // A screen reader names the group of controls by the caption.
  AnnounceAs(this, QAccessible::Grouping);
  setAccessibleName(title);
}

int Frame::LineTop() const { return fontMetrics().height() / 2; }

void Frame::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QFontMetrics metrics = fontMetrics();
  const int top = LineTop();
  // Etched: a dark rectangle with a light one a pixel to the right and
  // below, as a groove in the window.
  const QRect dark(0, top, width() - 2, height() - top - 2);
  painter.setPen(palette().color(QPalette::Dark));
  painter.drawRect(dark);
  painter.setPen(palette().color(QPalette::Light));
  painter.drawRect(dark.translated(1, 1));
  if (title_.isEmpty()) return;
  const int text_width = metrics.horizontalAdvance(title_);
  const QRect caption(kCaptionLeft, 0, text_width, metrics.height());
  // The gap in the top line, short of the frame's right edge.
  QRect gap = caption.adjusted(-kCaptionGap, 0, kCaptionGap, 0);
  gap.setRight(std::min(gap.right(), width() - 4));
  painter.fillRect(gap, palette().color(QPalette::Window));
  painter.setPen(palette().color(QPalette::WindowText));
  painter.drawText(caption, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, title_);
}

}  // namespace quorvel::widgets
