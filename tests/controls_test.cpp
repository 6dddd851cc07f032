// What each control promises beyond Qt's defaults, one control at a time.
#include <QAccessible>
#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>

#include "tests/test_support.h"
#include "widgets/accessibility.h"
#include "widgets/top_level.h"
#include "widgets/twips.h"

namespace quorvel {
namespace {

TEST(Controls, TextBoxesGiveLineBreaksAsCrLfAndWrapLongRunsAnywhere) {
  widgets::TextBox box;  // typed into, never set: over 500 characters wrap anywhere
  box.resize(259, 169);
  box.show();
  box.insertPlainText(QString(501, u'x'));
  EXPECT_EQ(box.wordWrapMode(), QTextOption::WrapAnywhere);
  QTest::keyClick(&box, Qt::Key_Backspace);
  EXPECT_EQ(box.wordWrapMode(), QTextOption::WrapAtWordBoundaryOrAnywhere);
  // Spaces and tabs break a run only between letters or digits; line breaks always.
  const auto run = [](int n, char16_t c = u'a') { return QString(n, QChar(c)); };
  for (const QString& text : {QString("word ").repeated(200), run(500), run(500) + run(300, u' '),
                              run(400) + "\r\n" + run(500) + "\n" + run(500),
                              run(400) + " \t " + run(400, u'b') + QString(u'\u2029') + run(400),
                              "x " + run(500), "\n" + run(500)})
    EXPECT_FALSE(widgets::TextBox::HasLongRun(text)) << text.left(8).toStdString();
  for (const QString& text : {run(501), "(" + run(300) + " (" + run(300, u'b'),
                              run(300, u'!') + " " + run(300), run(600, u' ') + run(400)})
    EXPECT_TRUE(widgets::TextBox::HasLongRun(text)) << text.left(8).toStdString();
  // A text taller than the box gets a vertical scroll bar, never a horizontal one.
  for (const int lines : {1, 40}) {
    box.SetText(QString("words wider than the box, longer_than_a_line\r\n").repeated(lines));
    QApplication::processEvents();
    EXPECT_EQ(box.verticalScrollBar()->isVisible(), lines == 40);
    EXPECT_FALSE(box.horizontalScrollBar()->isVisible());
  }
  // A set text comes back exactly; Enter and Shift+Enter type CR LF.
  box.SetText("a\r\nb");
  EXPECT_EQ(box.Text(), "a\r\nb");
  box.moveCursor(QTextCursor::End);
  QTest::keyClick(&box, Qt::Key_Return);
  QTest::keyClick(&box, Qt::Key_Return, Qt::ShiftModifier);
  EXPECT_EQ(box.Text(), "a\r\nb\r\n\r\n");
  // Its edge, a line of the shadow colour, shows inside the box.
  EXPECT_EQ(box.grab().toImage().pixel(0, 80), box.palette().color(QPalette::Shadow).rgb());
  // Single-line boxes: no length limit, and a set text replaces the old one.
  widgets::LineTextBox line;
  line.SetText("042");
  line.SetText(QString(40000, u'7'));
  EXPECT_EQ(line.Text(), QString(40000, u'7'));
}

// Enter presses the focused button, once, on the keypad too; not with another modifier, nor when
// the key repeats. No caption by default.
TEST(Controls, ButtonsArePressedByEnterAlone) {
  widgets::CommandButton button;
  int clicks = 0;
  QObject::connect(&button, &QPushButton::clicked, [&] { ++clicks; });
  QTest::keyPress(&button, Qt::Key_Return);
  QTest::keyPress(&button, Qt::Key_Enter, Qt::KeypadModifier);
  QTest::keyPress(&button, Qt::Key_Return, Qt::ControlModifier);
  QKeyEvent repeated(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QString(), true);
  QApplication::sendEvent(&button, &repeated);
  EXPECT_EQ(button.text() + QString::number(clicks), "2");
}

// Colours packed 0x00BBGGRR; lines leave out their bottom row; a new width keeps what fits and
// shows the white background elsewhere.
TEST(Controls, PictureBoxesKeepWhatIsDrawnOnThem) {
  QWidget window;
  auto& box = *new widgets::PictureBox(&window);
  EXPECT_EQ(box.BackColor(), 0xFFFFFFu);
  box.resize(2, 4);
  box.Lines({0x0000FF, 0x00FF00}, 0, 2);
  box.SetWidth(4);
  box.Lines({1, 2, 3, 0x123456}, 3, 4);
  const std::tuple<int, int, std::int32_t> points[] = {
      {0, 0, 0x0000FF}, {1, 1, 0x00FF00}, {0, 2, 0xFFFFFF}, {2, 1, 0xFFFFFF},
      {3, 0, 0xFFFFFF}, {0, 3, 1},        {3, 3, 0x123456}, {4, 0, -1}};
  for (const auto& [x, y, packed] : points) EXPECT_EQ(box.Point(x, y), packed) << x << "," << y;
  EXPECT_EQ(box.ScaleWidth(), 4.0f);
  // Shown, it is its image; with the focus, a mark over it on the screen.
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  box.setFocusPolicy(Qt::StrongFocus);
  const QImage image = box.Shown().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(box.grab().toImage().convertToFormat(QImage::Format_RGB32), image);
  box.setFocus();
  EXPECT_NE(box.grab().toImage().convertToFormat(QImage::Format_RGB32), image);
  // A picture sizes the box to it; no picture is white.
  box.SetPicture(testing::Sample(3, 1));
  EXPECT_EQ(std::pair(box.size(), box.Point(2, 0)), std::pair(QSize(3, 1), 0x02000E));
  box.Cls();
  EXPECT_EQ(box.Point(2, 0), 0xFFFFFF);
}

// The icon each buttons value names, the application title and the prompt as plain text, in the
// real dialog.
TEST(Controls, MessageBoxesShowTheirIconUnderTheApplicationTitle) {
  using enum QMessageBox::Icon;
  for (const auto& [buttons, icon] :
       {std::pair{0, NoIcon}, {16, Critical}, {48, Warning}, {64, Information}}) {
    QStringList seen;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      seen << box->windowTitle() << box->text()
           << QString::number(box->icon() + 10 * box->textFormat());
      box->accept();
    });
    buttons ? widgets::MsgBox("<b>x</b>", buttons) : widgets::MsgBox("<b>x</b>");
    EXPECT_EQ(seen,
              QStringList({"Quorvel", "<b>x</b>", QString::number(icon + 10 * Qt::PlainText)}));
  }
}

// A frame is an etched group named by its caption, its dark line through the caption's middle and a
// light one below. A hidden control, even one a screen reader asked about before, says nothing and
// is neither visible nor on the screen. An inch is as many pixels as the logical resolution says.
TEST(Controls, FramesAndWhatScreenReadersAreTold) {
  widgets::Frame frame("Load Encrypted Bitmap");
  frame.setPalette(widgets::LightPalette());
  frame.resize(200, 60);
  const QImage image = frame.grab().toImage();
  const int middle = frame.fontMetrics().height() / 2;
  EXPECT_EQ(QStringList({frame.accessibleName(), image.pixelColor(3, middle).name(),
                         image.pixelColor(3, middle + 1).name()}),
            QStringList({"Load Encrypted Bitmap", "#a0a0a0", "#ffffff"}));
  QPushButton hidden("unused");
  hidden.setAccessibleDescription("does nothing");
  QAccessible::queryAccessibleInterface(&hidden);  // asked before it is hidden
  widgets::HideFromAssistiveTechnology(&hidden, QAccessible::PushButton);
  const QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&hidden);
  EXPECT_EQ(a->text(QAccessible::Name) + a->text(QAccessible::Description), QString());
  EXPECT_TRUE(a->state().invisible && a->state().offscreen);
  EXPECT_EQ(widgets::TwipsToPixels(1440.0),
            qRound(QGuiApplication::primaryScreen()->logicalDotsPerInchX()));
}

}  // namespace
}  // namespace quorvel
