// What each control promises beyond Qt's defaults, one control at a time.
#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>

#include "platform/accessibility.h"
#include "platform/twips.h"
#include "platform/windows.h"
#include "tests/test_support.h"

namespace quorvel {
namespace {

using testing::QtFixture;

TEST(Controls, TextBoxesGiveLineBreaksAsCrLfAndWrapLongRunsAnywhere) {
  platform::TextBox box;  // typed into, never set
  box.resize(259, 169);
  box.show();
  box.insertPlainText(QString(501, u'x'));
  EXPECT_EQ(box.wordWrapMode(), QTextOption::WrapAnywhere);
  QTest::keyClick(&box, Qt::Key_Backspace);
  EXPECT_EQ(box.wordWrapMode(), QTextOption::WrapAtWordBoundaryOrAnywhere);
  // More than 500 characters with no break between words: spaces count
  // only between letters or digits.
  for (const auto& [text, long_run] : {std::pair{QString(500, u'x'), false},
                                       {QString(501, u'x'), true},
                                       {QString("word ").repeated(200), false},
                                       {QString(300, u'!') + " " + QString(300, u'a'), true},
                                       {QString(300, u'a') + "\r\n" + QString(300, u'a'), false}}) {
    EXPECT_EQ(platform::TextBox::HasLongRun(text), long_run) << text.left(310).toStdString();
  }
  // A text taller than the box gets a vertical scroll bar, never a
  // horizontal one.
  for (const int lines : {3, 40}) {
    box.SetText(QString("words wider than the box, longer_than_a_line\r\n").repeated(lines));
    QApplication::processEvents();
    EXPECT_EQ(
        std::pair(box.verticalScrollBar()->isVisible(), box.horizontalScrollBar()->isVisible()),
        std::pair(lines == 40, false));
  }
  // A set text comes back exactly; Enter and Shift+Enter type CR LF, and
  // typing drops the set text.
  box.SetText("a\r\nb");
  EXPECT_EQ(box.Text(), "a\r\nb");
  box.moveCursor(QTextCursor::End);
  QTest::keyClicks(&box, "\u00a0");
  QTest::keyClick(&box, Qt::Key_Return);
  QTest::keyClick(&box, Qt::Key_Return, Qt::ShiftModifier);
  EXPECT_EQ(box.Text(), "a\r\nb\u00a0\r\n\r\n");
  // Its edge, a line of the shadow colour, shows inside the box.
  EXPECT_EQ(box.grab().toImage().pixel(0, 80), box.palette().color(QPalette::Shadow).rgb());
  // Single-line boxes: no length limit, and a set text replaces the old one.
  platform::LineTextBox line;
  line.SetText("042");
  line.SetText(QString(40000, u'7'));
  EXPECT_EQ(line.Text(), QString(40000, u'7'));
}

// Enter presses the focused button, once, on the keypad too; not with
// another modifier, nor when the key repeats.
TEST(Controls, ButtonsArePressedByEnterAlone) {
  platform::CommandButton button;
  EXPECT_EQ(button.text(), QString());
  int clicks = 0;
  QObject::connect(&button, &QPushButton::clicked, [&] { ++clicks; });
  const std::tuple<Qt::Key, Qt::KeyboardModifiers, bool, int> keys[] = {
      {Qt::Key_Return, Qt::NoModifier, false, 1},
      {Qt::Key_Enter, Qt::KeypadModifier, false, 1},
      {Qt::Key_Return, Qt::NoModifier, true, 0},
      {Qt::Key_Return, Qt::ControlModifier, false, 0},
      {Qt::Key_Return, Qt::ShiftModifier, false, 0},
      {Qt::Key_Enter, Qt::AltModifier, false, 0}};
  for (const auto& [key, modifiers, repeat, pressed] : keys) {
    clicks = 0;
    QKeyEvent press(QEvent::KeyPress, key, modifiers, QString(), repeat);
    QApplication::sendEvent(&button, &press);
    EXPECT_EQ(clicks, pressed) << key << " " << modifiers << " " << repeat;
  }
}

// Colours packed 0x00BBGGRR; lines leave out their bottom row; a new width
// keeps what fits and shows the white background elsewhere.
TEST(Controls, PictureBoxesKeepWhatIsDrawnOnThem) {
  QWidget window;
  auto& box = *new platform::PictureBox(&window);
  EXPECT_EQ(box.BackColor(), 0xFFFFFFu);
  box.resize(2, 4);
  box.Lines({0x0000FF, 0x00FF00}, 0, 2);
  box.SetWidth(4);
  box.Lines({1, 2, 3, 0x123456}, 3, 4);
  const std::tuple<int, int, std::int32_t> points[] = {
      {0, 0, 0x0000FF}, {1, 1, 0x00FF00}, {0, 2, 0xFFFFFF}, {2, 1, 0xFFFFFF},
      {3, 0, 0xFFFFFF}, {0, 3, 1},        {3, 3, 0x123456}, {4, 0, -1}};
  for (const auto& [x, y, packed] : points) EXPECT_EQ(box.Point(x, y), packed) << x << "," << y;
  EXPECT_EQ(box.Image().pixel(0, 0), qRgb(0xFF, 0, 0));
  // Shown, it is its image; with the focus, a mark over it on the screen.
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  box.setFocusPolicy(Qt::StrongFocus);
  EXPECT_EQ(box.grab().toImage().convertToFormat(QImage::Format_RGB32), box.Image());
  box.setFocus();
  EXPECT_NE(box.grab().toImage().convertToFormat(QImage::Format_RGB32), box.Image());
  // A picture's channels as stored, whatever its alpha; no picture is white.
  QImage clear(3, 1, QImage::Format_ARGB32);
  clear.fill(qRgba(10, 20, 30, 0));
  box.SetPicture(clear);
  EXPECT_EQ(std::pair(box.size(), box.Point(2, 0)), std::pair(QSize(3, 1), 0x1E140A));
  box.ClearPicture();
  EXPECT_EQ(box.Point(2, 0), 0xFFFFFF);
}

// The icon each buttons value names, the application title and the prompt
// as plain text, in the real dialog.
TEST_F(QtFixture, MessageBoxesShowTheirIconUnderTheApplicationTitle) {
  platform::SetMessageHandler({});
  QWidget parent;
  parent.setWindowTitle("Quorvel Encryption");
  for (const auto& [buttons, icon] : {std::pair{0, QMessageBox::NoIcon},
                                      {16, QMessageBox::Critical},
                                      {48, QMessageBox::Warning},
                                      {64, QMessageBox::Information}}) {
    QStringList seen;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      seen << box->windowTitle() << box->text() << QString::number(box->icon())
           << QString::number(box->textFormat());
      box->accept();
    });
    buttons ? platform::MsgBox("<b>x</b>", buttons, &parent) : platform::MsgBox("<b>x</b>");
    EXPECT_EQ(seen, QStringList({"Quorvel", "<b>x</b>", QString::number(icon),
                                 QString::number(Qt::PlainText)}));
  }
}

TEST(Controls, FramesAreEtchedGroupsNamedByTheirCaption) {
  platform::Frame frame("Keys");
  frame.setTitle("Load Encrypted Bitmap");
  EXPECT_EQ(std::pair(frame.title(), frame.accessibleName()),
            std::pair(QString("Load Encrypted Bitmap"), QString("Load Encrypted Bitmap")));
  // A dark line through the middle of the caption, a light one below it.
  frame.setPalette(platform::LightPalette());
  frame.resize(200, 60);
  const QImage image = frame.grab().toImage();
  const int middle = frame.fontMetrics().height() / 2;
  EXPECT_EQ(
      std::pair(image.pixelColor(3, middle), image.pixelColor(3, middle + 1)),
      std::pair(frame.palette().color(QPalette::Dark), frame.palette().color(QPalette::Light)));
}

// Roles given before or after a screen reader asked; a hidden control says
// nothing and is neither visible nor on the screen. An inch is as many
// pixels as the screen's logical resolution says.
TEST(Controls, ScreenReadersAreToldRolesAndHiddenControlsSayNothing) {
  QLabel picture;
  QPushButton hidden("unused");
  hidden.setAccessibleDescription("does nothing");
  QAccessible::queryAccessibleInterface(&picture);
  platform::AnnounceAs(&picture, QAccessible::Graphic);
  platform::HideFromAssistiveTechnology(&hidden, QAccessible::PushButton);
  EXPECT_EQ(QAccessible::queryAccessibleInterface(&picture)->role(), QAccessible::Graphic);
  const QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&hidden);
  EXPECT_EQ(a->text(QAccessible::Name) + a->text(QAccessible::Description), QString());
  EXPECT_TRUE(a->state().invisible && a->state().offscreen);
  EXPECT_EQ(platform::TwipsToPixels(1440),
            qRound(QGuiApplication::primaryScreen()->logicalDotsPerInchX()));
}

}  // namespace
}  // namespace quorvel
