#include "forms/frmmain.h"

#include <unistd.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTemporaryFile>
#include <QTest>
#include <cmath>

#include "forms/form2.h"
#include "platform/files.h"
#include "platform/msgbox.h"
#include "platform/pictures.h"
#include "platform/twips.h"
#include "tests/frmmain_fixture.h"

namespace quorvel {
namespace {

using testing::FrmMainTest;

TEST_F(FrmMainTest, ControlsStandWhereTheLayoutPutsThem) {
  frmmain& f = *form_;
  EXPECT_EQ(f.windowTitle(), QStringLiteral("Quorvel Encryption"));
  EXPECT_EQ(f.size(), QSize(544, 377));
  EXPECT_EQ(f.minimumSize(), f.maximumSize());
  EXPECT_FALSE(f.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(f.windowFlags() & Qt::WindowMaximizeButtonHint);

  struct Case {
    QWidget* w;
    QRect pixels;
    QWidget* parent;
  };
  const Case cases[] = {
      {f.txtSrc, {9, 155, 259, 169}, &f},          {f.CmdEncrypt, {7, 332, 81, 23}, &f},
      {f.txtDecrypt, {275, 155, 259, 169}, &f},    {f.cmdDecrypt, {275, 332, 81, 23}, &f},
      {f.FraKeys, {9, 16, 172, 84}, &f},           {f.txtKeys[0], {21, 50, 34, 19}, f.FraKeys},
      {f.txtKeys[1], {67, 50, 34, 21}, f.FraKeys}, {f.txtKeys[2], {113, 50, 34, 19}, f.FraKeys},
      {f.FraBitmap, {196, 16, 336, 83}, &f},       {f.txtFilename, {13, 36, 247, 22}, f.FraBitmap},
      {f.cmdLoad, {270, 34, 52, 23}, f.FraBitmap}, {f.pDecrypt, {13, 62, 92, 8}, f.FraBitmap},
      {f.Command1, {96, 332, 81, 23}, &f},         {f.Command2, {365, 332, 81, 23}, &f},
      {f.Label1, {16, 128, 193, 17}, &f},          {f.pEncrypt, {607, 107, 92, 8}, &f},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.w->geometry(), c.pixels) << c.w->metaObject()->className();
    EXPECT_EQ(c.w->parentWidget(), c.parent);
  }
  // Auto-sized labels keep their top-left corner.
  EXPECT_EQ(f.lblKeys[0]->pos(), QPoint(23, 29));
  EXPECT_EQ(f.lblKeys[1]->pos(), QPoint(69, 29));
  EXPECT_EQ(f.lblKeys[2]->pos(), QPoint(115, 29));
  EXPECT_EQ(f.lblFilename->pos(), QPoint(12, 19));

  // Each frame's top line runs through its caption, clear of its labels.
  for (platform::Frame* frame : {f.FraKeys, f.FraBitmap}) {
    const QImage shot = frame->grab().toImage();
    const qreal ratio = shot.devicePixelRatio();
    const int x = shot.width() - qRound(4 * ratio);
    int row = 0;
    while (row < shot.height() &&
           shot.pixelColor(x, row) == frame->palette().color(QPalette::Window)) {
      ++row;
    }
    EXPECT_LT(row / ratio, frame->fontMetrics().height()) << frame->title().toStdString();
    for (const QLabel* label : frame->findChildren<QLabel*>()) {
      EXPECT_GT(label->y(), row / ratio + 2) << label->text().toStdString();
    }
  }
}

TEST_F(FrmMainTest, CaptionsTextsAndFonts) {
  frmmain& f = *form_;
  EXPECT_EQ(f.CmdEncrypt->text(), QStringLiteral("Encrypt"));
  EXPECT_EQ(f.cmdDecrypt->text(), QStringLiteral("Decrypt"));
  EXPECT_EQ(f.cmdLoad->text(), QStringLiteral("Load"));
  EXPECT_EQ(f.Command1->text(), QStringLiteral("Clear"));
  EXPECT_EQ(f.Command2->text(), QStringLiteral("Clear"));
  EXPECT_EQ(f.FraKeys->title(), QStringLiteral("Encryption/Decryption keys"));
  EXPECT_EQ(f.FraBitmap->title(), QStringLiteral("Load Encrypted Bitmap"));
  EXPECT_EQ(f.lblFilename->text(), QStringLiteral("File name:"));
  EXPECT_EQ(f.Label1->text(), QStringLiteral("Enter or paste the text:"));
  for (int i = 0; i < 3; ++i) {
    const auto u = static_cast<std::size_t>(i);
    EXPECT_EQ(f.lblKeys[u]->text(), QStringLiteral("KEY %1").arg(i + 1));
    // Each label is coloured in its key's channel (red, green, blue) alone.
    const QColor c = f.lblKeys[u]->palette().color(QPalette::WindowText);
    const int channels[3] = {c.red(), c.green(), c.blue()};
    for (int k = 0; k < 3; ++k) EXPECT_EQ(channels[k] > 0, k == i) << i;
    EXPECT_TRUE(f.lblKeys[u]->font().bold());
    EXPECT_EQ(f.txtKeys[u]->Text(), QStringLiteral("042"));
    EXPECT_EQ(f.txtKeys[u]->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
    EXPECT_DOUBLE_EQ(f.txtKeys[u]->font().pointSizeF(), 8.4);
  }
  EXPECT_EQ(f.txtFilename->Text(), QStringLiteral("C:\\dpics\\pic.bmp"));
  // No single-line box cuts a long text.
  for (platform::LineTextBox* box : {f.txtKeys[0], f.txtKeys[1], f.txtKeys[2], f.txtFilename}) {
    box->insert(QString(40000, u'7'));
    EXPECT_GT(box->Text().size(), 40000);
  }
  EXPECT_FALSE(f.txtFilename->isEnabled());
  EXPECT_EQ(f.txtFilename->toolTip(), PicPath());
  EXPECT_EQ(f.txtSrc->Text(), QString());
  EXPECT_EQ(f.txtDecrypt->Text(), QString());
  EXPECT_EQ(f.pDecrypt->Tag(), QStringLiteral("0"));
  EXPECT_FALSE(f.pEncrypt->isVisibleTo(&f));
  EXPECT_EQ(f.CmdEncrypt->font().family(), QStringLiteral("Arial"));
  EXPECT_DOUBLE_EQ(f.CmdEncrypt->font().pointSizeF(), 9.0);
  EXPECT_DOUBLE_EQ(f.txtSrc->font().pointSizeF(), 9.6);
  EXPECT_DOUBLE_EQ(f.FraKeys->font().pointSizeF(), 9.6);
  EXPECT_FALSE(f.FraKeys->font().bold());
}

TEST_F(FrmMainTest, TabVisitsTheControlsInOrder) {
  frmmain& f = *form_;
  f.show();
  QApplication::setActiveWindow(&f);
  f.txtSrc->setFocus();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
  const QWidget* expected[] = {f.CmdEncrypt, f.txtDecrypt, f.cmdDecrypt, f.txtKeys[0],
                               f.txtKeys[1], f.txtKeys[2], f.cmdLoad,    f.pDecrypt,
                               f.Command1,   f.Command2,   f.txtSrc};
  for (const QWidget* next : expected) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), next)
        << (QApplication::focusWidget() ? QApplication::focusWidget()->metaObject()->className()
                                        : "none");
  }
}

TEST_F(FrmMainTest, EncryptDrawsSavesAndSaysDone) {
  form_->txtKeys[0]->SetText(QStringLiteral("1"));
  form_->txtKeys[1]->SetText(QStringLiteral(" 2 "));
  form_->txtKeys[2]->SetText(QStringLiteral("3.5"));  // halves to even: 4
  Encrypt(QStringLiteral("ab\r\ncd"));
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0].prompt, QStringLiteral("Done."));
  EXPECT_EQ(Messages()[0].title, QStringLiteral("Quorvel"));
  EXPECT_EQ(Messages()[0].buttons, 0);
  // "ab\r" and "\ncd": two columns.
  const std::vector<std::uint32_t> expected = {
      std::uint32_t('a' ^ 1) | std::uint32_t('b' ^ 2) << 8 | std::uint32_t(13 ^ 4) << 16,
      std::uint32_t(0x0A ^ 0x1) | std::uint32_t('c' ^ 2) << 8 | std::uint32_t('d' ^ 4) << 16};
  EXPECT_EQ(FileColumns(), expected);
  // The hidden surface is two pixels wide, its rows 0 to 7 painted.
  EXPECT_EQ(form_->pEncrypt->ScaleWidth(), 2.0f);
  EXPECT_EQ(form_->pEncrypt->Point(1, 7), static_cast<std::int32_t>(expected[1]));
  EXPECT_FALSE(form_->pEncrypt->isVisibleTo(form_.get()));
}

TEST_F(FrmMainTest, EmptyTextDoesNothing) {
  Encrypt(QString());
  EXPECT_TRUE(Messages().empty());
  EXPECT_FALSE(QFileInfo::exists(PicPath()));
  EXPECT_EQ(form_->pEncrypt->ScaleWidth(), 92.0f);
}

TEST_F(FrmMainTest, BadKeyIsRefusedAndNothingIsWritten) {
  for (const char* bad : {"", "abc", "256", "-1", "1e2"}) {
    for (std::size_t i = 0; i < 3; ++i) {
      ClearMessages();
      for (auto* key : form_->txtKeys) key->SetText(QStringLiteral("42"));
      form_->txtKeys[i]->SetText(QString::fromUtf8(bad));
      Encrypt(QStringLiteral("hello"));
      ASSERT_EQ(Messages().size(), 1u) << bad;
      EXPECT_EQ(Messages()[0].prompt, QStringLiteral("Error"));
      EXPECT_EQ(Messages()[0].buttons, 0);
      EXPECT_FALSE(QFileInfo::exists(PicPath()));
      EXPECT_EQ(form_->pEncrypt->ScaleWidth(), 92.0f);
    }
  }
}

TEST_F(FrmMainTest, UnwritableFileIsReportedNotDone) {
  Encrypt(QStringLiteral("first"));
  const QByteArray before = testing::ReadFile(PicPath());
  ASSERT_FALSE(before.isEmpty());
  ClearMessages();

  // The folder gone after start-up: the message names the path.
  ASSERT_TRUE(QDir(Drive(QStringLiteral("dpics"))).removeRecursively());
  Encrypt(QStringLiteral("second"));
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_NE(Messages()[0].prompt, QStringLiteral("Done."));
  EXPECT_TRUE(Messages()[0].prompt.contains(PicPath())) << Messages()[0].prompt.toStdString();
  EXPECT_EQ(Messages()[0].title, QStringLiteral("Quorvel"));

  // A folder or a FIFO standing where the file should be is left as it is;
  // a failing disk is named with its reason, never "Done.".
  ASSERT_TRUE(QDir().mkpath(Drive(QStringLiteral("dpics"))));
  ASSERT_TRUE(testing::MakeNode(PicPath(), 'p'));
  ClearMessages();
  Encrypt(QStringLiteral("third"));
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_TRUE(Messages()[0].prompt.contains(QStringLiteral("FIFO"))) << LastPrompt().toStdString();
  ASSERT_TRUE(QFile::remove(PicPath()));
  platform::SetFileFaultForTesting(platform::FileFault{platform::FileStep::kSync, EIO});
  ClearMessages();
  Encrypt(QStringLiteral("fourth"));
  platform::SetFileFaultForTesting(std::nullopt);
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_TRUE(LastPrompt().endsWith(QStringLiteral(": Input/output error.")))
      << LastPrompt().toStdString();
  EXPECT_FALSE(QFileInfo::exists(PicPath()));
}

TEST_F(FrmMainTest, SecondEncodeLeavesOnlyTheSecondStrip) {
  Encrypt(QString(30, u'x'));
  EXPECT_EQ(FileColumns().size(), 10u);
  Encrypt(QStringLiteral("abcd"));
  const auto columns = FileColumns();
  ASSERT_EQ(columns.size(), 2u);
  const std::uint32_t k = 42;
  EXPECT_EQ(columns[1], ('d' ^ k) | (' ' ^ k) << 8 | (' ' ^ k) << 16);
  EXPECT_EQ(QDir(Drive(QStringLiteral("dpics"))).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST_F(FrmMainTest, LongestTextAndOneMore) {
  Encrypt(QString(98301, u'q'));
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0].prompt, QStringLiteral("Done."));
  EXPECT_EQ(FileColumns().size(), 32767u);

  ClearMessages();
  const QByteArray before = testing::ReadFile(PicPath());
  Encrypt(QString(98302, u'q'));
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_TRUE(Messages()[0].prompt.contains(QStringLiteral("98302")));
  EXPECT_TRUE(Messages()[0].prompt.contains(QStringLiteral("98301")));
  EXPECT_EQ(testing::ReadFile(PicPath()), before);
}

TEST_F(FrmMainTest, CharacterWithoutCodeIsNamed) {
  Encrypt(QStringLiteral("ok"));
  const QByteArray before = testing::ReadFile(PicPath());
  ClearMessages();
  Encrypt(QStringLiteral("caf\u00e9\r\n \u0416x"));  // é is in 1252, Ж is not
  ASSERT_EQ(Messages().size(), 1u);
  const QString prompt = Messages()[0].prompt;
  // Where it is, and which code page has it.
  for (const char* part : {"\"\u0416\" U+0416 at line 2, column 2", "code page 1252",
                           "LANG=ru_RU.UTF-8", "--codepage 1251"}) {
    EXPECT_TRUE(prompt.contains(QString::fromUtf8(part))) << prompt.toStdString();
  }
  EXPECT_EQ(testing::ReadFile(PicPath()), before);

  // With a Russian locale the same text encodes.
  qputenv("LANG", "ru_RU.UTF-8");
  ClearMessages();
  Encrypt(QStringLiteral("\u0416"));
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0].prompt, QStringLiteral("Done."));
  EXPECT_EQ(FileColumns()[0] & 0xFF, 0xC6u ^ 42u);  // Ж is 0xC6 in 1251
}

TEST_F(FrmMainTest, EveryFocusableControlHasAnAccessibleName) {
  form_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
  const std::pair<QWidget*, const char*> expected[] = {
      {form_->txtSrc, "Text to hide"},           {form_->CmdEncrypt, "Encrypt"},
      {form_->txtDecrypt, "Decoded text"},       {form_->cmdDecrypt, "Decrypt"},
      {form_->txtKeys[0], "Key 1 (red)"},        {form_->txtKeys[1], "Key 2 (green)"},
      {form_->txtKeys[2], "Key 3 (blue)"},       {form_->cmdLoad, "Load"},
      {form_->pDecrypt, "Loaded strip picture"}, {form_->Command1, "Clear text to hide"},
      {form_->Command2, "Clear decoded text"},
  };
  for (const auto& [widget, name] : expected) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(widget);
    ASSERT_NE(a, nullptr) << name;
    EXPECT_EQ(a->text(QAccessible::Name), QString::fromUtf8(name));
    EXPECT_FALSE(a->text(QAccessible::Description).isEmpty()) << name;
  }
  // Every widget of the window that can take the focus is among them.
  for (QWidget* w : form_->findChildren<QWidget*>()) {
    if (w->focusPolicy() == Qt::NoFocus || !w->isVisibleTo(form_.get()) || !w->isEnabled()) {
      continue;
    }
    if (w->focusProxy() || !w->parentWidget() || qobject_cast<QScrollBar*>(w)) continue;
    if (w->parentWidget() != form_.get() && w->parentWidget() != form_->FraKeys &&
        w->parentWidget() != form_->FraBitmap) {
      continue;  // inner parts of a control, such as a text box's viewport
    }
    EXPECT_FALSE(w->accessibleName().isEmpty()) << w->metaObject()->className();
  }
  // The captions are unchanged.
  EXPECT_EQ(form_->Command1->text(), QStringLiteral("Clear"));
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
  QPalette dark(Qt::white, QColor(0x35, 0x35, 0x35), QColor(0x50, 0x50, 0x50),
                QColor(0x20, 0x20, 0x20), QColor(0x30, 0x30, 0x30), Qt::white, Qt::white,
                QColor(0x2A, 0x2A, 0x2A), QColor(0x35, 0x35, 0x35));
  QApplication::setPalette(dark);
  frmmain f;
  Form2 notice;
  QApplication::setPalette(before);

  QList<QWidget*> widgets = f.findChildren<QWidget*>() + notice.findChildren<QWidget*>();
  int texts = 0;
  for (QWidget* w : widgets) {
    const QPalette p = w->palette();
    const QPalette::ColorGroup group = w->isEnabled() ? QPalette::Active : QPalette::Disabled;
    QPalette::ColorRole text = QPalette::WindowText, back = QPalette::Window;
    if (qobject_cast<QAbstractButton*>(w)) {
      text = QPalette::ButtonText;
      back = QPalette::Button;
    } else if (qobject_cast<QLineEdit*>(w) || qobject_cast<QPlainTextEdit*>(w)) {
      text = QPalette::Text;
      back = QPalette::Base;
    } else if (!qobject_cast<QLabel*>(w) && !dynamic_cast<platform::Frame*>(w)) {
      continue;
    }
    ++texts;
    EXPECT_GE(Contrast(p.color(group, text), p.color(group, back)), 4.5)
        << w->metaObject()->className() << " " << w->accessibleName().toStdString();
  }
  EXPECT_GE(texts, 21);
}

TEST_F(FrmMainTest, EnterPressesTheFocusedButton) {
  frmmain& f = *form_;
  f.show();
  QApplication::setActiveWindow(&f);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
  for (const auto& [key, modifiers] :
       {std::pair{Qt::Key_Return, Qt::NoModifier}, std::pair{Qt::Key_Enter, Qt::KeypadModifier}}) {
    f.txtSrc->SetText(QStringLiteral("abc"));
    f.Command1->setFocus();
    QTest::keyClick(f.Command1, key, modifiers);
    EXPECT_EQ(f.txtSrc->Text(), QString());
  }
  // In the text box Enter still starts a new line.
  f.txtSrc->setFocus();
  QTest::keyClicks(f.txtSrc, QStringLiteral("a"));
  QTest::keyClick(f.txtSrc, Qt::Key_Return);
  QTest::keyClicks(f.txtSrc, QStringLiteral("b"));
  EXPECT_EQ(f.txtSrc->Text(), QStringLiteral("a\r\nb"));

  // The strip box shows where the focus is, on the screen only.
  const QImage image = f.pDecrypt->Image();
  const QImage without = f.pDecrypt->grab().toImage();
  f.pDecrypt->setFocus();
  ASSERT_TRUE(f.pDecrypt->hasFocus());
  EXPECT_NE(f.pDecrypt->grab().toImage(), without);
  EXPECT_EQ(f.pDecrypt->Image(), image);
}

// At 120 dots per inch (12 twips per pixel) every control follows its twips.
TEST_F(FrmMainTest, LayoutFollowsTwipsAt120Dpi) {
  platform::SetTwipsPerPixelForTesting(12);
  frmmain f;
  auto px = [](double twips) { return qRound(twips / 12); };
  EXPECT_EQ(f.size(), QSize(680, 471));
  EXPECT_EQ(f.txtSrc->geometry(), QRect(px(135), px(2325), px(3885), px(2535)));
  EXPECT_EQ(f.txtKeys[1]->geometry(), QRect(px(1000), px(750), px(510), px(315)));
  EXPECT_EQ(f.cmdLoad->geometry(), QRect(px(4050), px(510), px(780), px(345)));
  EXPECT_EQ(f.pDecrypt->geometry(), QRect(px(195), px(930), px(1380), px(120)));
  EXPECT_EQ(f.pDecrypt->size(), QSize(115, 10));  // 10 pixels high at 12 twips per pixel

  // The strip is still one pixel per column; the line covers rows 0 to 7
  // and the rows below keep the background.
  f.txtSrc->SetText(QStringLiteral("abcdef"));
  f.CmdEncrypt_Click();
  ASSERT_EQ(LastPrompt(), QStringLiteral("Done."));
  const QImage saved = platform::LoadPicture(QStringLiteral("C:\\dpics\\pic.bmp")).image;
  ASSERT_EQ(saved.size(), QSize(2, 10));
  EXPECT_EQ(saved.pixel(1, 0), qRgb('d' ^ 42, 'e' ^ 42, 'f' ^ 42));
  EXPECT_EQ(saved.pixel(1, 7), qRgb('d' ^ 42, 'e' ^ 42, 'f' ^ 42));
  EXPECT_EQ(saved.pixel(1, 8), qRgb(255, 255, 255));
}

// Run again with QT_SCALE_FACTOR=2 (see tests/CMakeLists.txt): layout in
// logical pixels, strips in real pixels, both exact.
TEST_F(FrmMainTest, StripIsExactAtAnyDevicePixelRatio) {
  form_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
  const qreal ratio = form_->devicePixelRatioF();
  if (qEnvironmentVariable("QT_SCALE_FACTOR") == QStringLiteral("2")) {
    EXPECT_EQ(ratio, 2.0);
  }
  EXPECT_EQ(form_->txtSrc->geometry(), QRect(9, 155, 259, 169));
  Encrypt(QStringLiteral("xyz"));
  EXPECT_EQ(FileColumns(),
            std::vector<std::uint32_t>{('x' ^ 42u) | ('y' ^ 42u) << 8 | ('z' ^ 42u) << 16});
  EXPECT_EQ(form_->pEncrypt->Image().size(), QSize(1, 8));
  Load();
  EXPECT_EQ(form_->pDecrypt->size(), QSize(1, 8));
  Decrypt();
  EXPECT_EQ(form_->txtDecrypt->Text(), QStringLiteral("xyz"));
}

TEST_F(FrmMainTest, TenMegabytesArePastedAndRefused) {
  QString huge(10 * 1000 * 1000, u'w');
  for (qsizetype i = 79; i < huge.size(); i += 80) huge[i] = u'\n';
  form_->show();
  form_->txtSrc->setFocus();
  QApplication::clipboard()->setText(huge);
  form_->txtSrc->paste();
  ASSERT_EQ(form_->txtSrc->Text().size(), huge.size() + huge.count(u'\n'));
  QTest::mouseClick(form_->CmdEncrypt, Qt::LeftButton);
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_TRUE(Messages()[0].prompt.contains(QStringLiteral("98301")));
  EXPECT_FALSE(QFileInfo::exists(PicPath()));
}

TEST_F(FrmMainTest, StartUpFailureIsAlsoALineOnStandardError) {
  // A file where the drive's folder belongs: the picture folder cannot be made.
  ASSERT_TRUE(QDir(Drive()).removeRecursively());
  ASSERT_TRUE(testing::WriteFile(Drive(), "in the way"));
  QTemporaryFile captured;
  ASSERT_TRUE(captured.open());
  std::fflush(stderr);
  const int saved = dup(STDERR_FILENO);
  dup2(captured.handle(), STDERR_FILENO);
  const bool started = form_->Form_Load();
  std::fflush(stderr);
  dup2(saved, STDERR_FILENO);
  close(saved);
  EXPECT_FALSE(started);
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(testing::ReadFile(captured.fileName()),
            "quorvel: " + Messages()[0].prompt.toUtf8() + '\n');
  EXPECT_TRUE(Messages()[0].prompt.contains(Drive(QStringLiteral("dpics"))));
}

}  // namespace
}  // namespace quorvel
