// Text boxes whose Text() is the whole text as the program counts it: a
// line break is the two characters CR LF (codes 13 and 10).
#pragma once

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QString>
#include <optional>

namespace quorvel::widgets {

// A multi-line text box that wraps its lines and shows a vertical scroll bar
// when the text is taller than the box. Tab moves the focus on. Its edge is
// a one-pixel line that stays visible at every display scale.
//
// Lines wrap at word boundaries, and a word too long for a line breaks
// anywhere. Finding a word boundary in a long run without one takes Qt's
// layout time that grows with the square of the run, so while the text holds
// such a run (more than kLongestWordWrapped characters without a space
// between words) the box wraps anywhere instead, decided before the text is
// laid out.
class TextBox : public QPlainTextEdit {
 public:
  explicit TextBox(QWidget* parent = nullptr);

  // The text with each line break as CR LF. A text given to SetText comes
  // back exactly as given (lone CR or LF characters included) until the user
  // edits it.
  QString Text() const;
  void SetText(const QString& text);

  static constexpr qsizetype kLongestWordWrapped = 500;

  // Whether the text has a run of more than kLongestWordWrapped characters
  // without a break between words: a space or tab with a letter or digit on
  // both sides, or a line break.
  static bool HasLongRun(QStringView text);

 protected:
  bool event(QEvent* event) override;
  void insertFromMimeData(const QMimeData* source) override;

 private:
  // Latin and other simple scripts are laid out without shaping, which makes
  // long texts several times quicker to show; scripts that need shaping
  // still get it. Switched on once the box has text, before that text is
  // laid out: an empty box looks the same either way, and until then it
  // shares its font with the other controls.
  void LayOutWithoutShaping();
  // Wraps anywhere when `long_run`; otherwise at word boundaries.
  void WrapAnywhere(bool long_run);
  // Called before a change to the document is laid out.
  void ContentsChange(int from, int removed, int added);

  std::optional<QString> exact_;
  bool setting_ = false;
};

// A single-line text box with no limit on the length of its text.
class LineTextBox : public QLineEdit {
 public:
  explicit LineTextBox(QWidget* parent = nullptr);

  QString Text() const { return text(); }
  void SetText(const QString& t) { setText(t); }
};

}  // namespace quorvel::widgets
