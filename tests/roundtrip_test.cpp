// Load, Decrypt, Clear and start-up through the real main window.
#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include "platform/codepage_host.h"
#include "tests/frmmain_fixture.h"

namespace quorvel {
namespace {

using testing::FrmMainTest;
using testing::MakeBmp;

QString TrimmedEnd(QString s) {
  while (s.endsWith(u' ')) s.chop(1);
  return s;
}

TEST_F(FrmMainTest, TextsComeBackLessTrailingSpaces) {
  const QString texts[] = {
      QStringLiteral("a"),
      QStringLiteral("ab"),
      QStringLiteral("abc"),
      QStringLiteral("abcd"),
      QStringLiteral("abcde"),
      QStringLiteral("abcdef"),
      QStringLiteral("abcdefg"),
      QStringLiteral("first line\r\nsecond line\r\n\r\nlast"),
      QStringLiteral("  leading, in  side and trailing   "),
      QStringLiteral("caf\u00e9 \u20ac5 \u00ff\u00a0nbsp"),
      QString(98301, u'z'),
  };
  SetKeys(QStringLiteral("7"), QStringLiteral("250"), QStringLiteral("042"));
  for (const QString& text : texts) {
    ClearMessages();
    Encrypt(text);
    Load();
    Decrypt();
    ASSERT_EQ(Messages().size(), 1u);  // only "Done."
    EXPECT_EQ(Messages()[0].prompt, QStringLiteral("Done."));
    EXPECT_EQ(form_->txtDecrypt->Text(), TrimmedEnd(text)) << text.left(40).toStdString();
  }
}

TEST_F(FrmMainTest, EveryCodeOfTheActivePageComesBack) {
  for (const char* locale : {"en_US.UTF-8", "ru_RU.UTF-8", "th_TH.UTF-8", "vi_VN"}) {
    qputenv("LANG", locale);
    const CodePage& page = platform::ActiveCodePage();
    QString text;
    for (int c = 0; c < 256; ++c) text.append(QChar(page.Char(static_cast<std::uint8_t>(c))));
    ClearMessages();
    Encrypt(text);
    Load();
    Decrypt();
    ASSERT_EQ(LastPrompt(), QStringLiteral("Done.")) << locale;
    EXPECT_EQ(form_->txtDecrypt->Text(), text) << locale;  // ends in code 255, not a space
  }
}

TEST_F(FrmMainTest, WrongKeysGiveOtherCharactersSilently) {
  Encrypt(QStringLiteral("hidden"));
  Load();
  SetKeys(QStringLiteral("43"), QStringLiteral("42"), QStringLiteral("42"));
  ClearMessages();
  Decrypt();
  EXPECT_TRUE(Messages().empty());
  // Only the red channel's characters (1st and 4th) change, by 42 ^ 43 = 1.
  EXPECT_EQ(form_->txtDecrypt->Text(), QStringLiteral("iideen"));
}

TEST_F(FrmMainTest, MessagesComeInTheirOrder) {
  // Nothing loaded, usable keys.
  form_->txtDecrypt->SetText(QStringLiteral("kept"));
  Decrypt();
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0].prompt, QStringLiteral("Load the picture first"));
  EXPECT_EQ(Messages()[0].buttons, 64);
  EXPECT_EQ(Messages()[0].title, QStringLiteral("Quorvel"));
  EXPECT_EQ(form_->txtDecrypt->Text(), QStringLiteral("kept"));

  // Nothing loaded, an empty key: the key comes first.
  for (std::size_t i = 0; i < 3; ++i) {
    ClearMessages();
    SetKeys(QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"));
    form_->txtKeys[i]->SetText(QString());
    Decrypt();
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].prompt, QStringLiteral("Error"));
    EXPECT_EQ(Messages()[0].buttons, 0);
  }
  EXPECT_EQ(form_->txtDecrypt->Text(), QStringLiteral("kept"));

  // A loaded flag that is not a number is an error too.
  SetKeys(QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"));
  form_->pDecrypt->SetTag(QStringLiteral("yes"));
  ClearMessages();
  Decrypt();
  EXPECT_EQ(LastPrompt(), QStringLiteral("Error"));
}

TEST_F(FrmMainTest, FailedLoadKeepsThePictureAndTheFlag) {
  // No file yet.
  Load();
  EXPECT_EQ(LastPrompt(), QStringLiteral("Error"));
  EXPECT_EQ(Messages().back().buttons, 0);
  EXPECT_EQ(form_->pDecrypt->Tag(), QStringLiteral("0"));

  Encrypt(QStringLiteral("keep me"));
  Load();
  EXPECT_EQ(form_->pDecrypt->Tag(), QStringLiteral("1"));
  const QImage shown = form_->pDecrypt->Image();
  ASSERT_EQ(shown.width(), 3);

  QByteArray jpeg;
  QBuffer buffer(&jpeg);
  ASSERT_TRUE(buffer.open(QIODevice::WriteOnly) && shown.save(&buffer, "JPG"));
  const QByteArray bad[] = {QByteArray(), QByteArray("not a picture at all"),
                            testing::ReadFile(PicPath()).left(40), jpeg, "fifo"};
  for (const QByteArray& bytes : bad) {
    QFile::remove(PicPath());
    // A FIFO is refused at once: reading it would wait for a writer.
    ASSERT_TRUE(bytes == "fifo" ? testing::MakeNode(PicPath(), 'p')
                                : testing::WriteFile(PicPath(), bytes));
    ClearMessages();
    Load();
    EXPECT_EQ(LastPrompt(), QStringLiteral("Error"));
    EXPECT_EQ(form_->pDecrypt->Tag(), QStringLiteral("1"));
    EXPECT_EQ(form_->pDecrypt->Image(), shown);
  }
  QFile::remove(PicPath());
  Load();
  EXPECT_EQ(form_->pDecrypt->Image(), shown);
  ClearMessages();
  Decrypt();
  EXPECT_EQ(form_->txtDecrypt->Text(), QStringLiteral("keep me"));
}

TEST_F(FrmMainTest, AbsurdHeaderFailsQuickly) {
  QByteArray bmp = MakeBmp(4, 1, 24, false, std::vector<std::uint32_t>(4, 0));
  qToLittleEndian<qint32>(1000000, bmp.data() + 18);  // a billion pixels claimed
  qToLittleEndian<qint32>(1000, bmp.data() + 22);
  ASSERT_TRUE(testing::WriteFile(PicPath(), bmp));
  Load();
  EXPECT_EQ(LastPrompt(), QStringLiteral("Error"));
  EXPECT_EQ(form_->pDecrypt->Tag(), QStringLiteral("0"));
}

TEST_F(FrmMainTest, LoadingTwiceShowsTheSecondPicture) {
  Encrypt(QStringLiteral("one"));
  Load();
  Encrypt(QStringLiteral("second text"));
  Load();
  EXPECT_EQ(form_->pDecrypt->Tag(), QStringLiteral("1"));
  EXPECT_EQ(form_->pDecrypt->ScaleWidth(), 4.0f);
  EXPECT_EQ(form_->pDecrypt->size(), QSize(4, 8));
  Decrypt();
  EXPECT_EQ(form_->txtDecrypt->Text(), QStringLiteral("second text"));
}

// Strips made by other writers, built byte by byte.
TEST_F(FrmMainTest, DecodesBitmapsOfOtherLayouts) {
  SetKeys(QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"));
  const QString text = QStringLiteral("Strip!");
  // 0x00RRGGBB per column: red carries the first character.
  const std::vector<std::uint32_t> columns = {
      0x00537472,  // 'S' 't' 'r'
      0x00697021,  // 'i' 'p' '!'
  };
  struct Layout {
    const char* name;
    int bits;
    bool top_down;
    int height;
  };
  for (const Layout l : {Layout{"24 bottom-up", 24, false, 8}, Layout{"24 top-down", 24, true, 8},
                         Layout{"32 bottom-up", 32, false, 8}, Layout{"32 top-down", 32, true, 3},
                         Layout{"24 one row", 24, false, 1}, Layout{"24 tall", 24, false, 40},
                         Layout{"8-bit palette", 8, false, 5}}) {
    // Row 0 carries the strip; the rows below carry noise, which is never read.
    std::vector<std::uint32_t> pixels;
    std::vector<std::uint32_t> palette;
    for (int y = 0; y < l.height; ++y) {
      for (std::size_t x = 0; x < columns.size(); ++x) {
        if (l.bits == 8) {
          pixels.push_back(y == 0 ? static_cast<std::uint32_t>(x) : 2);
        } else {
          pixels.push_back(y == 0 ? columns[x] : 0x00ABCDEF);
        }
      }
    }
    if (l.bits == 8) palette = {columns[0], columns[1], 0x00ABCDEF};
    ASSERT_TRUE(testing::WriteFile(PicPath(), MakeBmp(static_cast<int>(columns.size()), l.height,
                                                      l.bits, l.top_down, pixels, palette)));
    ClearMessages();
    form_->txtDecrypt->SetText(QString());
    Load();
    Decrypt();
    EXPECT_TRUE(Messages().empty()) << l.name << ": " << LastPrompt().toStdString();
    EXPECT_EQ(form_->txtDecrypt->Text(), text) << l.name;
    EXPECT_EQ(form_->pDecrypt->size(), QSize(2, l.height)) << l.name;
  }
}

TEST_F(FrmMainTest, WidestStripsDecodeOrFailAsCounted) {
  struct Case {
    int width;
    bool decodes;
  };
  for (const Case c : {Case{32767, true}, Case{32768, false}, Case{32769, false}}) {
    QImage image(c.width, 1, QImage::Format_RGB32);
    image.fill(qRgb('a' ^ 42, 'b' ^ 42, 'c' ^ 42));
    ASSERT_TRUE(testing::WriteFile(PicPath(), platform::EncodeBmp24(image)));
    ClearMessages();
    form_->txtDecrypt->SetText(QStringLiteral("before"));
    Load();
    Decrypt();
    if (c.decodes) {
      EXPECT_TRUE(Messages().empty());
      EXPECT_EQ(form_->txtDecrypt->Text().size(), 3 * c.width);
    } else {
      EXPECT_EQ(LastPrompt(), QStringLiteral("Error")) << c.width;
      EXPECT_EQ(form_->txtDecrypt->Text(), QStringLiteral("before"));
    }
  }
}

TEST_F(FrmMainTest, ClearButtonsEmptyTheirBoxOnly) {
  form_->txtSrc->SetText(QStringLiteral("source"));
  form_->txtDecrypt->SetText(QStringLiteral("decoded"));
  QTest::mouseClick(form_->Command1, Qt::LeftButton);
  EXPECT_EQ(form_->txtSrc->Text(), QString());
  EXPECT_EQ(form_->txtDecrypt->Text(), QStringLiteral("decoded"));
  QTest::mouseClick(form_->Command2, Qt::LeftButton);
  EXPECT_EQ(form_->txtDecrypt->Text(), QString());
  QTest::mouseClick(form_->Command1, Qt::LeftButton);
  QTest::mouseClick(form_->Command2, Qt::LeftButton);
  EXPECT_EQ(form_->txtSrc->Text(), QString());
  EXPECT_EQ(form_->txtDecrypt->Text(), QString());
  EXPECT_EQ(form_->txtKeys[0]->Text(), QStringLiteral("042"));
  EXPECT_TRUE(Messages().empty());
}

class StartUpTest : public testing::QtFixture {};

TEST_F(StartUpTest, CreatesTheFolderAndEmptiesThePicture) {
  frmmain form;
  ASSERT_TRUE(form.Form_Load());
  EXPECT_TRUE(QFileInfo(Drive(QStringLiteral("dpics"))).isDir());
  EXPECT_FALSE(form.pDecrypt->HasPicture());
  EXPECT_EQ(form.pDecrypt->Tag(), QStringLiteral("0"));
  EXPECT_TRUE(Messages().empty());
  // Again, with the folder there: nothing new, no message.
  frmmain again;
  EXPECT_TRUE(again.Form_Load());
  EXPECT_TRUE(Messages().empty());
}

TEST_F(StartUpTest, AFileOfTheFolderNameCountsAsFound) {
  ASSERT_TRUE(QDir().mkpath(Drive()));
  ASSERT_TRUE(testing::WriteFile(Drive(QStringLiteral("dpics")), "a file"));
  frmmain form;
  EXPECT_TRUE(form.Form_Load());
  EXPECT_TRUE(QFileInfo(Drive(QStringLiteral("dpics"))).isFile());
  EXPECT_TRUE(Messages().empty());
}

TEST_F(StartUpTest, FolderThatCannotBeMadeEndsStartUpWithAReason) {
  // A file where the drive's folder belongs makes the folder impossible.
  ASSERT_TRUE(QDir().mkpath(data_home_ + QStringLiteral("/quorvel")));
  ASSERT_TRUE(testing::WriteFile(Drive(), "in the way"));
  frmmain form;
  EXPECT_FALSE(form.Form_Load());
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_TRUE(Messages()[0].prompt.contains(Drive(QStringLiteral("dpics"))))
      << Messages()[0].prompt.toStdString();
  EXPECT_EQ(Messages()[0].title, QStringLiteral("Quorvel"));
}

}  // namespace
}  // namespace quorvel
