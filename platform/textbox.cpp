#include "platform/textbox.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTextDocument>
#include <limits>

namespace quorvel::platform {

TextBox::TextBox(QWidget* parent) : QPlainTextEdit(parent) {
  setTabChangesFocus(true);
  // The box draws its own one-pixel edge (see event()); the text area sits
  // inside it.
  setFrameStyle(QFrame::NoFrame);
  setViewportMargins(1, 1, 1, 1);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  connect(this, &QPlainTextEdit::textChanged, this, [this] {
    if (!setting_) exact_.reset();
  });
}

QString TextBox::Text() const {
  if (exact_) return *exact_;
  // The raw text keeps every character as typed (no-break spaces included);
  // its paragraph separators are the line breaks.
  QString raw = document()->toRawText();
  raw.replace(QChar(QChar::ParagraphSeparator), QStringLiteral("\r\n"));
  raw.replace(QChar(QChar::LineSeparator), QStringLiteral("\r\n"));
  return raw;
}

void TextBox::SetText(const QString& text) {
  QString shown = text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  setting_ = true;
  setPlainText(shown);
  setting_ = false;
  exact_ = text;
}

bool TextBox::event(QEvent* event) {
  const bool handled = QPlainTextEdit::event(event);
  if (event->type() == QEvent::Paint) {
    // A whole pixel on every side, filled rather than stroked, so that some
    // screen pixel of it stays clear of the text area at any scale.
    QPainter painter(this);
    const QColor edge = palette().color(QPalette::Shadow);
    const int w = width(), h = height();
    painter.fillRect(QRect(0, 0, w, 1), edge);
    painter.fillRect(QRect(0, h - 1, w, 1), edge);
    painter.fillRect(QRect(0, 0, 1, h), edge);
    painter.fillRect(QRect(w - 1, 0, 1, h), edge);
  }
  return handled;
}

void TextBox::mouseReleaseEvent(QMouseEvent* event) {
  QPlainTextEdit::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && click_) click_();
}

LineTextBox::LineTextBox(QWidget* parent) : QLineEdit(parent) {
  // No length limit: a long paste is kept whole, never cut.
  setMaxLength(std::numeric_limits<int>::max());
}

}  // namespace quorvel::platform
