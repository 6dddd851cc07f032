// Text boxes whose Text() is the whole text as the program counts it: a
// line break is the two characters CR LF (codes 13 and 10).
#pragma once

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QString>
#include <optional>

namespace quorvel::platform {

// A multi-line text box that wraps its lines and shows a vertical scroll bar
// when the text is taller than the box. Tab moves the focus on. Its edge is
// a one-pixel line that stays visible at every display scale.
class TextBox : public QPlainTextEdit {
 public:
  explicit TextBox(QWidget* parent = nullptr);

  // The text with each line break as CR LF. A text given to SetText comes
  // back exactly as given (lone CR or LF characters included) until the user
  // edits it.
  QString Text() const;
  void SetText(const QString& text);

  // Set when the box is clicked with the mouse.
  void SetClickHandler(std::function<void()> handler) { click_ = std::move(handler); }

 protected:
  bool event(QEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  std::optional<QString> exact_;
  bool setting_ = false;
  std::function<void()> click_;
};

// A single-line text box with no limit on the length of its text.
class LineTextBox : public QLineEdit {
 public:
  explicit LineTextBox(QWidget* parent = nullptr);

  QString Text() const { return text(); }
  void SetText(const QString& t) { setText(t); }
};

}  // namespace quorvel::platform
