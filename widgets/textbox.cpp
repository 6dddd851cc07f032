#include "widgets/textbox.h"

#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <limits>

#include "os/line_breaks.h"

namespace quorvel::widgets {

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
  // The document announces a change before it lays the change out.
  connect(document(), &QTextDocument::contentsChange, this, &TextBox::ContentsChange);
}

bool TextBox::HasLongRun(QStringView text) {
  const char16_t* p = text.utf16();
  const qsizetype n = text.size();
  const auto space = [](char16_t c) { return c == u' ' || c == u'\t'; };
  // Where a run starts if one starts at e: after a line break, or
  // at a letter or digit after spaces that follow a letter or digit. Other
  // spaces (before punctuation, after an opening bracket, no-break spaces)
  // do not always allow a break, so they do not count. -1: none starts.
  const auto starts = [&](qsizetype e) -> qsizetype {
    const char16_t c = p[e];
    if (c == u'\n' || c == u'\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
      return e + 1;
    if (e == 0 || !QChar::isLetterOrNumber(c) || !space(p[e - 1])) return -1;
    qsizetype j = e - 1;
    while (j > 0 && space(p[j])) --j;
    return QChar::isLetterOrNumber(p[j]) ? e : -1;
  };
  // Not every character is looked at: from the first one too far from the
  // run's start, back to the last place where a new run starts. Each
  // character is looked at once at most; in text of words, a few in every
  // kLongestWordWrapped.
  qsizetype run_start = 0;
  while (run_start + kLongestWordWrapped < n) {
    qsizetype at = run_start + kLongestWordWrapped, next = -1;
    for (qsizetype e = at; e >= run_start && next < 0; --e) {
      next = starts(e);
      if (next == run_start) next = -1;  // the run it is in already starts there
    }
    if (next < 0) {
      // None: the run is too long at its next character that is not a
      // space, unless a run starts there.
      while (at < n && space(p[at])) ++at;
      if (at == n) return false;
      next = starts(at);
      if (next < 0) return true;
    }
    run_start = next;
  }
  return false;
}

void TextBox::WrapAnywhere(bool long_run) {
  const QTextOption::WrapMode mode =
      long_run ? QTextOption::WrapAnywhere : QTextOption::WrapAtWordBoundaryOrAnywhere;
  if (wordWrapMode() != mode) setWordWrapMode(mode);
}

void TextBox::LayOutWithoutShaping() {
  if (font().styleStrategy() & QFont::PreferNoShaping) return;
  QFont simple = font();
  simple.setStyleStrategy(QFont::StyleStrategy(simple.styleStrategy() | QFont::PreferNoShaping));
  setFont(simple);
}

void TextBox::ContentsChange(int from, int removed, int added) {
  if (setting_) return;  // SetText has chosen the wrapping already
  if (added > 0) LayOutWithoutShaping();
  const bool anywhere = wordWrapMode() == QTextOption::WrapAnywhere;
  if (!anywhere) {
    // Only the changed lines can have gained a long run.
    const QTextBlock last = document()->findBlock(from + added);
    for (QTextBlock b = document()->findBlock(from); b.isValid(); b = b.next()) {
      if (HasLongRun(b.text())) return WrapAnywhere(true);
      if (b == last) break;
    }
  } else if (removed > 0) {
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) {
      if (HasLongRun(b.text())) return;
    }
    WrapAnywhere(false);
  }
}

void TextBox::insertFromMimeData(const QMimeData* source) {
  // Pasted text switches the box to laying out without shaping, and a long
  // run to wrapping anywhere, before the paste is laid out.
  if (source->hasText() && !source->text().isEmpty()) LayOutWithoutShaping();
  if (source->hasText() && HasLongRun(source->text())) WrapAnywhere(true);
  QPlainTextEdit::insertFromMimeData(source);
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
  const QString shown = os::ToHostLineBreaks(text);
  if (!shown.isEmpty()) LayOutWithoutShaping();
  setting_ = true;
  const bool long_run = HasLongRun(shown);
  if (long_run != (wordWrapMode() == QTextOption::WrapAnywhere)) {
    // Emptied first, so that the old text is not laid out again.
    clear();
    WrapAnywhere(long_run);
  }
  // A document of one paragraph that gets one paragraph again is laid out
  // on the spot, twice over; given a different number of paragraphs, it
  // only forgets the old layout and lays out, once, what is drawn. Two empty
  // paragraphs first make sure of that.
  if (document()->blockCount() == 1) document()->setPlainText(QStringLiteral("\n"));
  // Straight to the document: the box's own setPlainText lays the text out a
  // second time to place the cursor.
  document()->setPlainText(shown);
  setting_ = false;
  exact_ = text;
}

bool TextBox::event(QEvent* event) {
  if (event->type() == QEvent::FontChange && !document()->isEmpty()) LayOutWithoutShaping();
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

LineTextBox::LineTextBox(QWidget* parent) : QLineEdit(parent) {
  // No length limit: a long paste is kept whole, never cut.
  setMaxLength(std::numeric_limits<int>::max());
}

}  // namespace quorvel::widgets
