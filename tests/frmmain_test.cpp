// The main window and the notice, through their real widgets.
#include <QAbstractButton>
#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRegularExpression>
#include <QTimer>
#include <cmath>

#include "cipher/codepage.h"
#include "forms/form2.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/pictures.h"
#include "platform/twips.h"
#include "tests/test_support.h"

namespace quorvel {
namespace {

using testing::FrmMainTest;
using testing::ReadFile;

std::uint32_t Column(int r, int g, int b) { return std::uint32_t(r | g << 8 | b << 16); }

// Every control where its twips put it at 15 and at 12 twips per pixel.
TEST_F(FrmMainTest, ControlsStandWhereTheLayoutPutsThem) {
  for (const int tpp : {15, 12}) {
    platform::SetTwipsPerPixelForTesting(tpp);
    frmmain f;
    const auto px = [tpp](int twips) { return qRound(double(twips) / tpp); };
    EXPECT_EQ(f.size(), QSize(px(8160), px(5652)));
    EXPECT_EQ(f.minimumSize(), f.maximumSize());
    const std::pair<QWidget*, QRect> cases[] = {
        {f.txtSrc, {135, 2325, 3885, 2535}},      {f.CmdEncrypt, {105, 4980, 1215, 345}},
        {f.txtDecrypt, {4125, 2325, 3885, 2535}}, {f.cmdDecrypt, {4125, 4980, 1215, 345}},
        {f.FraKeys, {135, 240, 2580, 1260}},      {f.txtKeys[0], {315, 750, 510, 285}},
        {f.txtKeys[1], {1000, 750, 510, 315}},    {f.txtFilename, {195, 540, 3705, 330}},
        {f.FraBitmap, {2940, 240, 5040, 1245}},   {f.cmdLoad, {4050, 510, 780, 345}},
        {f.pDecrypt, {195, 930, 1380, 120}},      {f.Command1, {1440, 4980, 1215, 345}},
        {f.Command2, {5475, 4980, 1215, 345}},    {f.Label1, {240, 1920, 2895, 255}}};
    for (const auto& [w, t] : cases) {
      EXPECT_EQ(w->geometry(), QRect(px(t.x()), px(t.y()), px(t.width()), px(t.height())))
          << tpp << " " << w->accessibleName().toStdString();
    }
  }
}

TEST_F(FrmMainTest, EncryptSavesTheStripAndSaysDone) {
  SetKeys({"1", " 2 ", "3.5"});  // 3.5 gives 4
  Encrypt("ab\r\ncd");
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(std::tuple(Messages()[0].prompt, Messages()[0].title, Messages()[0].buttons),
            std::tuple(QString("Done."), QString("Quorvel"), 0));
  const std::vector<std::uint32_t> expected = {Column('a' ^ 1, 'b' ^ 2, 13 ^ 4),
                                               Column(0x0A ^ 1, 'c' ^ 2, 'd' ^ 4)};
  EXPECT_EQ(FileColumns(), expected);
  // Eight rows; the strip box stays hidden.
  EXPECT_EQ(platform::LoadPicture("C:\\dpics\\pic.bmp").image.pixel(1, 7),
            qRgb(0x0A ^ 1, 'c' ^ 2, 'd' ^ 4));
  EXPECT_FALSE(form_->pEncrypt->isVisibleTo(form_.get()));
  // A second text leaves only its own strip.
  Encrypt("abcd");
  EXPECT_EQ(FileColumns().back(), Column('d' ^ 1, ' ' ^ 2, ' ' ^ 4));
}

TEST_F(FrmMainTest, RefusedEncryptsSayWhyAndKeepThePicture) {
  Encrypt("first");
  const QByteArray before = ReadFile(PicPath());
  ASSERT_FALSE(before.isEmpty());
  const std::tuple<int, const char*, QString, const char*> cases[] = {
      {0, "", "x", "Error"},
      {1, "abc", "x", "Error"},
      {2, "256", "x", "Error"},
      {0, "42", QString(98302, u'q'), "it has 98302 characters"},
      {0, "42", "caf\u00e9\r\n \u0416x",
       "\"\u0416\" U+0416 at line 2, column 2 has no code in code page 1252"},
#ifndef _WIN32  // which names Windows' own setting
      {0, "42", "\u0416", "LANG=ru_RU.UTF-8, or use quorvel-strip --codepage 1251"},
#endif
      {0, "42", "\u20ac\u0e01", "Code page 874 (Thai) has it"}};
  for (const auto& [key, key_text, text, message] : cases) {
    ClearMessages();
    SetKeys({"42", "42", "42"});
    form_->txtKeys[std::size_t(key)]->SetText(QString::fromUtf8(key_text));
    Encrypt(text);
    ASSERT_EQ(Messages().size(), 1u) << message;
    EXPECT_TRUE(LastPrompt().contains(QString::fromUtf8(message))) << LastPrompt().toStdString();
    EXPECT_EQ(Messages()[0].buttons, QLatin1StringView(message) == "Error" ? 0 : 48);
    EXPECT_EQ(ReadFile(PicPath()), before);
  }
  ClearMessages();
  Encrypt(QString());  // an empty text: nothing at all
  EXPECT_TRUE(Messages().empty());
#ifndef _WIN32  // Windows' page is its ANSI code page, whatever the locale (windows_test)
  // With a Russian locale the Cyrillic letter has a code, 0xC6 in 1251;
  // LC_ALL comes before LANG.
  qputenv("LC_ALL", "ru_RU.UTF-8");
  Encrypt("\u0416");
  EXPECT_EQ(LastPrompt(), "Done.");
  EXPECT_EQ(FileColumns()[0] & 0xFF, 0xC6u ^ 42u);
#endif
  // A failing disk is named with its reason, never "Done.".
  const QByteArray kept = ReadFile(PicPath());
  ClearMessages();
  platform::SetFileFaultForTesting(platform::FileFault{platform::FileStep::kSync, EIO});
  Encrypt("sync");
  const QString reason = platform::SavePicture(testing::Sample(3, 8), PicPath()).error;
  platform::SetFileFaultForTesting(std::nullopt);
  EXPECT_TRUE(LastPrompt() == reason && reason.contains(": ")) << reason.toStdString();
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0].buttons, platform::vbCritical);
  EXPECT_EQ(ReadFile(PicPath()), kept);
}

TEST_F(FrmMainTest, TextsComeBackThroughThePictureLessTrailingSpaces) {
  SetKeys({"7", "250", "042"});
  for (const QString& text : {QString("a"), QString("abcd"), QString("first\r\nsecond\r\n\r\nlast"),
                              QString("  lead, in  side and trailing   "), QString(98301, u'z')}) {
    ClearMessages();
    Encrypt(text);
    Load();
    Decrypt();
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(form_->txtDecrypt->Text(), QString(text).remove(QRegularExpression(" +$")));
  }
}

TEST_F(FrmMainTest, DecryptAndLoadRefuseInTheirOrderAndKeepThePicture) {
  // Nothing loaded: a bad key first, then "Load the picture first".
  form_->txtDecrypt->SetText("kept");
  form_->txtKeys[2]->SetText(QString());
  Decrypt();
  form_->txtKeys[2]->SetText("1");
  Decrypt();
  form_->pDecrypt->SetTag("yes");
  Decrypt();
  ASSERT_EQ(Messages().size(), 3u);
  EXPECT_EQ(Messages()[0].prompt, "Error");
  EXPECT_EQ(Messages()[1].prompt, "Load the picture first");
  EXPECT_EQ(Messages()[1].buttons, 64);
  EXPECT_EQ(Messages()[2].prompt, "Error");
  EXPECT_EQ(form_->txtDecrypt->Text(), "kept");
  Load();  // no file yet
  EXPECT_EQ(LastPrompt(), "Error");
  Encrypt("one");
  Load();
  Encrypt("keep me");
  Load();  // a second load shows the second picture
  EXPECT_EQ(form_->pDecrypt->Tag(), "1");
  EXPECT_EQ(form_->pDecrypt->size(), QSize(3, 8));
  const QImage shown = form_->pDecrypt->Image();
  for (const QByteArray& bytes :
       {QByteArray("not a picture"), ReadFile(PicPath()).left(40), QByteArray("folder")}) {
    QFile::remove(PicPath());
    ASSERT_TRUE(bytes == "folder" ? QDir().mkdir(PicPath()) : testing::WriteFile(PicPath(), bytes));
    ClearMessages();
    Load();
    EXPECT_EQ(LastPrompt(), "Error");
    EXPECT_EQ(form_->pDecrypt->Image(), shown);
  }
  Decrypt();
  EXPECT_EQ(form_->txtDecrypt->Text(), "keep me");
}

TEST_F(FrmMainTest, TabEnterAndTheFocusMark) {
  frmmain& f = *form_;
  f.show();
  QApplication::setActiveWindow(&f);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
  // Enter, on the keypad or not, presses the focused button.
  for (const auto& [key, modifiers] :
       {std::pair{Qt::Key_Return, Qt::NoModifier}, {Qt::Key_Enter, Qt::KeypadModifier}}) {
    f.txtSrc->SetText("abc");
    f.Command1->setFocus();
    QTest::keyClick(f.Command1, key, modifiers);
    EXPECT_EQ(f.txtSrc->Text(), QString());
  }
  // In a text box Enter starts a line, CR LF, and Tab moves on.
  f.txtSrc->setFocus();
  QTest::keyClicks(f.txtSrc, "a\u00a0");
  QTest::keyClick(f.txtSrc, Qt::Key_Return);
  QTest::keyClick(f.txtSrc, Qt::Key_Tab);
  EXPECT_EQ(f.txtSrc->Text(), "a\u00a0\r\n");
  EXPECT_EQ(QApplication::focusWidget(), f.CmdEncrypt);
  // Words wrap between words; a run of over 500 characters wraps anywhere.
  f.txtSrc->SetText(QString("word ").repeated(200) + QString(500, u'x'));
  f.txtSrc->moveCursor(QTextCursor::End);
  f.txtSrc->insertPlainText("x");
  EXPECT_EQ(f.txtSrc->wordWrapMode(), QTextOption::WrapAnywhere);
  f.txtSrc->undo();
  EXPECT_EQ(f.txtSrc->wordWrapMode(), QTextOption::WrapAtWordBoundaryOrAnywhere);
  // The strip box shows where the focus is, on the screen only.
  const QImage image = f.pDecrypt->Image();
  const QImage without = f.pDecrypt->grab().toImage();
  f.pDecrypt->setFocus();
  EXPECT_NE(f.pDecrypt->grab().toImage(), without);
  EXPECT_EQ(f.pDecrypt->Image(), image);
}

// WCAG contrast ratio of two colours, from their relative luminance.
double Contrast(const QColor& a, const QColor& b) {
  auto luminance = [](const QColor& c) {
    auto linear = [](double v) {
      return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
  };
  const double la = luminance(a), lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST_F(FrmMainTest, EveryTextReadsUnderADarkDesktopTheme) {
  const QPalette before = QApplication::palette();
  QApplication::setPalette(QPalette(Qt::white, QColor(0x35, 0x35, 0x35), QColor(0x50, 0x50, 0x50),
                                    QColor(0x20, 0x20, 0x20), QColor(0x30, 0x30, 0x30), Qt::white,
                                    Qt::white, QColor(0x2A, 0x2A, 0x2A), QColor(0x35, 0x35, 0x35)));
  frmmain f;
  Form2 notice;
  QApplication::setPalette(before);
  int texts = 0;
  for (QWidget* w : f.findChildren<QWidget*>() + notice.findChildren<QWidget*>()) {
    const QPalette p = w->palette();
    const auto group = w->isEnabled() ? QPalette::Active : QPalette::Disabled;
    auto text = QPalette::WindowText, back = QPalette::Window;
    if (qobject_cast<QAbstractButton*>(w)) {
      text = QPalette::ButtonText, back = QPalette::Button;
    } else if (qobject_cast<QLineEdit*>(w) || qobject_cast<QPlainTextEdit*>(w)) {
      text = QPalette::Text, back = QPalette::Base;
    } else if (!qobject_cast<QLabel*>(w) && !dynamic_cast<platform::Frame*>(w)) {
      continue;
    }
    ++texts;
    EXPECT_GE(Contrast(p.color(group, text), p.color(group, back)), 4.5)
        << w->metaObject()->className() << " " << w->accessibleName().toStdString();
  }
  EXPECT_GE(texts, 21);
}

// The notice shows on every fifth day of the month, before the main window
// and before the picture folder is made; only its "X" button, which has the
// focus, closes it. December tells the day of the month from that of the year.
TEST_F(FrmMainTest, TheNoticeShowsOnEveryFifthDay) {
  for (const auto& [date, due] : {std::pair{QDate(2026, 12, 5), true},
                                  {QDate(2026, 12, 6), false},
                                  {QDate(2026, 12, 10), true},
                                  {QDate(2027, 1, 4), false}}) {
    platform::SetTodayForTesting(date);
    QDir(Drive("dpics")).removeRecursively();
    frmmain form;
    bool seen = false, main_hidden = false, folder_missing = false, ignored = false;
    QTimer::singleShot(0, [&] {
      Form2* notice = nullptr;
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* n = dynamic_cast<Form2*>(w); n && n->isVisible()) notice = n;
      }
      if (!notice) return;
      seen = true;
      main_hidden = !form.isVisible();
      folder_missing = !QFileInfo::exists(Drive("dpics"));
      QPointer<Form2> alive(notice);
      QTest::keyClick(notice, Qt::Key_Escape);
      QTest::mouseClick(notice->Image1, Qt::LeftButton, {}, QPoint(300, 200));
      notice->Command2->click();
      ignored = alive && alive->isVisible();
      EXPECT_EQ(notice->focusWidget(), notice->Command1);
      QTest::keyClick(notice->Command1, Qt::Key_Return);
    });
    ASSERT_TRUE(form.Form_Load());
    QApplication::processEvents();  // the timer, on days without a notice
    EXPECT_EQ(seen, due) << date.toString().toStdString();
    EXPECT_EQ(main_hidden && folder_missing && ignored, due);
    EXPECT_TRUE(QFileInfo(Drive("dpics")).isDir());
  }
}

}  // namespace
}  // namespace quorvel
