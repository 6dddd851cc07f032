#include "platform/textbox.h"

#include <QApplication>
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
