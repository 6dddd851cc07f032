// Pictures on the disk, on every system: bitmaps, refusals, leftovers.
#include "os/files.h"
#include "os/files_testing.h"
#include "os/paths.h"
#include "os/shown_name.h"
#include "picture/picture_files.h"
#include "picture/png_file.h"
#include "tests/test_support.h"

namespace quorvel {
namespace {

using testing::DriveTest, testing::ReadFile, testing::Sample, testing::WriteFile;

TEST_F(DriveTest, WritesA24BitBottomUpBmpByteByByte) {
  const picture::Pixels image = Sample(2, 2);  // red 7 in column 1, green 31 in row 1, blue x ^ y
  ASSERT_TRUE(picture::SavePicture(image, pic_).ok());
  // File size, pixels' offset, header size, width, height (bottom up), one plane of 24 bits, not
  // compressed, pixels' size, 96 dots per inch; the bottom row first, rows of 6 bytes padded to 8,
  // each pixel as blue, green, red.
  EXPECT_EQ(ReadFile(PicPath()).toHex().toStdString(),
            "424d460000000000000036000000280000000200000002000000010018000000000010000000c40e0000c4"
            "0e00000000000000000000011f00001f0700000000000100070000");
  EXPECT_EQ(picture::LoadPicture(pic_).value(), image);
  ASSERT_TRUE(WriteFile(PicPath(), picture::WritePng(image)));  // a PNG under a .bmp name
  EXPECT_EQ(picture::LoadPicture(pic_).value(), image);
  // Its top row alone, as quorvel-strip reads it.
  const picture::Pixels top = picture::LoadPicture(pic_, picture::Rows::kTop).value();
  EXPECT_EQ(std::pair(top.height, top.rgb),
            std::pair(1, std::vector(image.rgb.begin(), image.rgb.begin() + 6)));
  picture::Pixels right(3, 2);  // rows that differ only on the right
  right.At(2, 1)[2] = 9;
  ASSERT_TRUE(picture::SavePicture(right, pic_).ok());
  EXPECT_EQ(picture::LoadPicture(pic_).value(), right);
}

TEST_F(DriveTest, ASaveRemovesWhatKilledSavesLeft) {
  using os::NewFileName;
  // Not leftovers: another picture's, a name of another shape, the user's.
  const QString ours = NewFileName("pic.bmp");
  QStringList kept = {NewFileName("other.bmp"), ours.chopped(1), ours + "5", "pic.bmp.backup"};
  for (const QString& name : kept + QStringList{ours, NewFileName("pic.bmp")})
    ASSERT_TRUE(WriteFile(Drive("dpics/" + name), "x"));
  ASSERT_TRUE(picture::SavePicture(Sample(5, 8), pic_).ok());
  kept << "pic.bmp";
  kept.sort();
  EXPECT_EQ(Folder(), kept);
}

TEST_F(DriveTest, BadPictureFilesAreRefusedWithAReason) {
  const QByteArray jpeg = QByteArray::fromHex("ffd8ffe000104a46494600010100");
  for (const auto& [bytes, reason] : {std::pair{QByteArray(), "not a BMP or PNG"},
                                      {jpeg, "not a BMP or PNG"},
                                      {picture::EncodeBmp24(Sample(1, 1)).chopped(1), "cut short"},
                                      {picture::WritePng(Sample(2, 1)).chopped(1), "cut short"}}) {
    ASSERT_TRUE(WriteFile(PicPath(), bytes));
    const auto r = picture::LoadPicture(pic_);
    EXPECT_EQ(r.failure().kind, os::Failure::Kind::kContent) << reason;
    EXPECT_TRUE(Why(r).contains(PicPath()) && Why(r).contains(QLatin1StringView(reason)))
        << Why(r).toStdString();
  }
  // A file one byte over the limit is refused without being read; one of the limit is read.
  ASSERT_TRUE(QFile(PicPath()).resize(picture::kMaxPictureFileBytes + 1));
  EXPECT_TRUE(Why(picture::LoadPicture(pic_)).contains("too large"));
  for (const qint64 limit : {picture::kMaxPictureFileBytes, picture::kMaxPictureFileBytes + 1}) {
    const auto read = os::ReadRegularFile(PicPath(), limit);
    const bool over = limit == picture::kMaxPictureFileBytes;
    EXPECT_EQ(std::tuple(Why(read), read.ok() ? read.value().size() : 0),
              std::tuple(QString(over ? "it is too large" : ""), over ? 0 : limit));
  }
  EXPECT_TRUE(Why(picture::LoadPicture("C:\\dpics\\no\nne.bmp"))
                  .startsWith(Drive("dpics/no") + "\\nne.bmp could not be read: "));
}

// Names keep their characters, backslashes too, and show as escapes what a terminal would act on:
// control characters, as code points and as the bytes of a name that is not UTF-8 (U+DC80 to
// U+DC9F, but not the half of a pair), and the bidirectional and invisible direction marks.
TEST_F(DriveTest, NamesShowControlCharactersAsEscapes) {
  const std::pair<std::u16string_view, std::u16string_view> cases[] = {
      {u"C:\\d\\caf\u00e9\nb\r\t", u"C:\\d\\caf\u00e9\\nb\\r\\t"},
      {{u"\0\x1f \x7f~\x80\x9f\u00a0", 8}, u"\\x00\\x1F \\x7F~\\x80\\x9F\u00a0"},
      {u"\u2027\u2028\u2029\u202a\U0001F600\xdc80", u"\u2027\\u2028\\u2029\\u202A\U0001F600\\x80"},
      {u"\u200e\u200f\u061c\u202e\u2066\u2069\xdc9b\xdc9f\xdca0\U0001F480",
       u"\\u200E\\u200F\\u061C\\u202E\\u2066\\u2069\\x9B\\x9F\xdca0\U0001F480"}};
  for (const auto& [name, shown] : cases)
    EXPECT_EQ(os::ShownName(QStringView(name).toString()), QStringView(shown).toString());
  // A text keeps its lines and tabs, and its direction marks, and shows the controls that reorder
  // it.
  const QStringView text = u"a\n\tb\r\x1b\x7f\x85\u2029\u202e\u2066\u2069\u200f\xdc9b";
  EXPECT_EQ(os::EscapeControls(text.toString(), os::Escaping::kText),
            QStringView(u"a\n\tb\\r\\x1B\\x7F\\x85\\u2029\\u202E\\u2066\\u2069\u200f\\x9B"));
  EXPECT_TRUE(Why(os::MkDir("/dev/null/a\nb")).contains("a\\nb"));
}

}  // namespace
}  // namespace quorvel
