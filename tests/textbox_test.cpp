#include "platform/textbox.h"

#include <QApplication>
#include <QClipboard>
#include <QTest>

#include "tests/test_support.h"

namespace quorvel {
namespace {

using platform::TextBox;

class TextBoxTest : public testing::QtFixture {};

TEST_F(TextBoxTest, TypedLineBreaksAreCrLf) {
  TextBox box;
  box.show();
  box.setFocus();
  QTest::keyClicks(&box, QStringLiteral("ab"));
  QTest::keyClick(&box, Qt::Key_Return);
  QTest::keyClicks(&box, QStringLiteral("c"));
  EXPECT_EQ(box.Text(), QStringLiteral("ab\r\nc"));
}

TEST_F(TextBoxTest, NoBreakSpacesSurviveEditing) {
  TextBox box;
  box.show();
  box.setFocus();
  QTest::keyClicks(&box, QString(QChar(0x00A0)) + QStringLiteral("x"));
  EXPECT_EQ(box.Text(), QString(QChar(0x00A0)) + QStringLiteral("x"));
}

TEST_F(TextBoxTest, SetTextComesBackExactly) {
  TextBox box;
  QString every;
  for (int c = 0; c < 256; ++c) every.append(QChar(c));
  for (const QString& t :
       {QStringLiteral("a\r\nb"), QStringLiteral("lone\rcr and lone\nlf"), every, QString()}) {
    box.SetText(t);
    EXPECT_EQ(box.Text(), t);
  }
  // After an edit the box's own content counts, breaks as CR LF.
  box.SetText(QStringLiteral("x\ny"));
  box.show();
  box.setFocus();
  box.moveCursor(QTextCursor::End);
  QTest::keyClicks(&box, QStringLiteral("z"));
  EXPECT_EQ(box.Text(), QStringLiteral("x\r\nyz"));
}

TEST_F(TextBoxTest, LongRunsWithoutAWordBreakWrapAnywhere) {
  constexpr qsizetype longest = TextBox::kLongestWordWrapped;
  const auto repeated = [](const QString& piece) {
    return piece.repeated(static_cast<int>(TextBox::kLongestWordWrapped / piece.size() + 1));
  };
  struct Case {
    const char* name;
    QString text;
    bool anywhere;
  };
  const Case cases[] = {
      {"words", repeated(QStringLiteral("some words, and\tmore.\n")), false},
      {"the longest run among words", QString(longest, u'z') + QStringLiteral(" a\nb"), false},
      {"one character more", QStringLiteral("a ") + QString(longest + 1, u'z'), true},
      {"a run of 300,000", QString(300000, u'y'), true},
      {"spaces before punctuation", repeated(QStringLiteral("a ,")), true},
      {"no-break spaces", repeated(QStringLiteral("a\u00a0")), true},
      {"spaces after a bracket", repeated(QStringLiteral("( a")), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TextBox set, pasted;
    pasted.show();
    set.SetText(c.text);
    QApplication::clipboard()->setText(c.text);
    pasted.paste();
    for (TextBox* box : {&set, &pasted}) {
      EXPECT_EQ(box->wordWrapMode(),
                c.anywhere ? QTextOption::WrapAnywhere : QTextOption::WrapAtWordBoundaryOrAnywhere);
    }
    // Emptied, the box wraps at word boundaries again.
    pasted.selectAll();
    QTest::keyClick(&pasted, Qt::Key_Delete);
    set.SetText(QString());
    for (TextBox* box : {&set, &pasted}) {
      EXPECT_EQ(box->wordWrapMode(), QTextOption::WrapAtWordBoundaryOrAnywhere);
    }
  }
  // A run typed one character past the longest.
  TextBox typed;
  typed.show();
  typed.SetText(QString(longest, u'x'));
  typed.moveCursor(QTextCursor::End);
  QTest::keyClicks(&typed, QStringLiteral("x"));
  EXPECT_EQ(typed.wordWrapMode(), QTextOption::WrapAnywhere);
}

TEST_F(TextBoxTest, TabMovesTheFocusOn) {
  QWidget window;
  auto* box = new TextBox(&window);
  auto* next = new platform::LineTextBox(&window);
  window.show();
  QApplication::setActiveWindow(&window);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  box->setFocus();
  QTest::keyClick(box, Qt::Key_Tab);
  EXPECT_EQ(box->Text(), QString());
  EXPECT_TRUE(next->hasFocus());
}

}  // namespace
}  // namespace quorvel
