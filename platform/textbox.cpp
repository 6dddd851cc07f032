#include "platform/textbox.h"

#include <QMouseEvent>
#include <QTextDocument>

namespace quorvel::platform {

TextBox::TextBox(QWidget* parent) : QPlainTextEdit(parent) {
  setTabChangesFocus(true);
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

void TextBox::mouseReleaseEvent(QMouseEvent* event) {
  QPlainTextEdit::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && click_) click_();
}

LineTextBox::LineTextBox(QWidget* parent) : QLineEdit(parent) {}

}  // namespace quorvel::platform
