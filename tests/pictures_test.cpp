// Pictures on the disk, on every system: bitmaps, refusals, leftovers.
#include <zlib.h>

#include <QtEndian>

#include "os/files.h"
#include "os/files_testing.h"
#include "os/paths.h"
#include "os/shown_name.h"
#include "picture/picture_files.h"
#include "tests/test_support.h"

namespace quorvel {
namespace {

using testing::DriveTest;
using testing::MakeBmp;
using testing::ReadFile;
using testing::Sample;
using testing::WriteFile;

TEST_F(DriveTest, WritesA24BitBottomUpBmpByteByByte) {
  const QImage image = Sample(2, 2);  // red 7 in column 1, green 31 in row 1, blue x ^ y
  ASSERT_TRUE(picture::SavePicture(image, pic_).ok());
  // File size, pixels' offset, header size, width, height (bottom up), one plane of 24 bits, not
  // compressed, pixels' size, 96 dots per inch; the bottom row first, rows of 6 bytes padded to 8,
  // each pixel as blue, green, red.
  EXPECT_EQ(ReadFile(PicPath()).toHex().toStdString(),
            "424d460000000000000036000000280000000200000002000000010018000000000010000000c40e0000c4"
            "0e00000000000000000000011f00001f0700000000000100070000");
  const auto loaded = picture::LoadPicture(pic_);
  ASSERT_TRUE(loaded.ok());
  EXPECT_EQ(loaded.value().convertToFormat(QImage::Format_RGB32), image);
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
  const QByteArray good = MakeBmp(4, 2, 24, false, std::vector<std::uint32_t>(8, 0x123456));
  QByteArray huge = good, offset = good;
  qToLittleEndian<qint32>(40000, huge.data() + 18);  // 40,000 x 30,000 claimed
  qToLittleEndian<qint32>(30000, huge.data() + 22);
  qToLittleEndian<quint32>(14, offset.data() + 10);  // pixels inside the headers
  const QByteArray jpeg = QByteArray::fromHex("ffd8ffe000104a46494600010100");
  // Two palette entries and pixels pointing one past them, or far past.
  const QByteArray past = MakeBmp(2, 1, 8, false, {1, 2}, {0, 0xFF8040});
  const QByteArray far = MakeBmp(2, 1, 8, false, {1, 200}, {0, 0xFF8040});
  for (const auto& [bytes, reason] : {std::pair{QByteArray(), "not a BMP or PNG"},
                                      {jpeg, "not a BMP or PNG"},
                                      {good.left(54), "is cut short"},
                                      {huge, "claims a picture of 40000 x 30000 pixels"},
                                      {offset.chopped(1), "cut short"},
                                      {past, "colour 2 of"},
                                      {far, "colour 200 of"}}) {
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

QByteArray Be32(quint32 v) {
  return QByteArray::fromHex(QByteArray::number(v, 16).rightJustified(8, '0'));
}

QByteArray Png(quint32 width, quint32 height, char depth, char colour, char interlace,
               const QByteArray& data, const QByteArray& extra = {}) {
  QByteArray png = "\x89PNG\r\n\x1A\n";
  const QByteArray header = Be32(width) + Be32(height) + depth + colour + QByteArray(2, '\0');
  for (const QByteArray& chunk :
       {"IHDR" + header + interlace, extra, "IDAT" + data, QByteArray("IEND")}) {
    if (chunk.isEmpty()) continue;
    const auto* bytes = reinterpret_cast<const Bytef*>(chunk.data());
    png += Be32(chunk.size() - 4) + chunk + Be32(crc32(0, bytes, chunk.size()));
  }
  return png;
}

// Image data is a filter byte and the packed pixels of each row of each pass; up to the largest
// picture, which compresses to a thousandth of it.
TEST_F(DriveTest, PngDataPastItsPictureIsRefused) {
  const std::tuple<quint32, quint32, char, char, char, int> cases[] = {
      {19, 25, 8, 2, 1, 1474}, {22, 22, 8, 4, 1, 1010}, {1, 12, 1, 0, 1, 24},
      {5, 3, 1, 0, 1, 14},     {3, 5, 16, 6, 1, 130},   {8192, 4096, 8, 0, 0, 8193 * 4096}};
  for (const auto& [width, height, depth, colour, interlace, bytes] : cases) {
    for (const int more : {-1, 0, 1}) {  // a byte less is the decoder's to refuse
      const QByteArray data = qCompress(QByteArray(bytes + more, '\0')).mid(4);
      const auto r = picture::LoadPictureData(Png(width, height, depth, colour, interlace, data));
      EXPECT_EQ(r.ok() ? 0 : Why(r).contains("holds more than the") ? 1 : -1, more) << width;
    }
  }
  // A 10 MB file of 10 GiB of zeros, a MiB deflated alone (a full flush) repeated after a zlib
  // header; whole, cut short, and after an empty IDAT chunk.
  QByteArray in(1 << 20, '\0'), out(4096, '\0');
  z_stream z{};
  deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
  z.next_in = reinterpret_cast<Bytef*>(in.data());
  z.avail_in = 1 << 20;
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = 4096;
  deflate(&z, Z_FULL_FLUSH);
  deflateEnd(&z);
  const QByteArray png = Png(4, 4, 8, 2, 0, "\x78\xDA" + out.chopped(z.avail_out).repeated(10240));
  const QByteArray idat = QByteArray::fromHex("000000004944415435AF061E");
  for (const QByteArray& file : {png, png.chopped(20), png.left(33) + idat + png.mid(33)}) {
    const auto r = picture::LoadPictureData(file);
    EXPECT_EQ(r.failure().kind, os::Failure::Kind::kContent);
    EXPECT_TRUE(Why(r).endsWith("compressed data holds more than the 4 x 4 picture it declares."));
  }
  // A compressed comment (which may inflate to gigabytes) is not even read.
  const QByteArray comment = "zTXtComment" + QByteArray(2, '\0') + qCompress("hi").mid(4);
  const auto r = picture::LoadPictureData(
      Png(4, 1, 8, 2, 0, qCompress('\0' + QByteArray(12, '\x40')).mid(4), comment));
  EXPECT_TRUE(r.value().pixel(3, 0) == qRgb(64, 64, 64) && r.value().textKeys().isEmpty());
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

// A bitmap cut anywhere fails, whatever its layout, and a PNG under a .bmp name loads.
TEST_F(DriveTest, CutBitmapsFailAtEveryLength) {
  QByteArray rle = MakeBmp(100, 1, 8, false, std::vector<std::uint32_t>(100, 0),
                           std::vector<std::uint32_t>(16, 0x123456));
  rle.truncate(54 + 64);
  for (char i = 0; i < 10; ++i) rle += QByteArray("\x0a") + i;  // ten runs of ten pixels
  rle += QByteArray::fromHex("0001");
  qToLittleEndian<quint32>(1, rle.data() + 30);  // BI_RLE8
  qToLittleEndian<quint32>(static_cast<quint32>(rle.size() - 118), rle.data() + 34);
  qToLittleEndian<quint32>(static_cast<quint32>(rle.size()), rle.data() + 2);
  QByteArray eol = rle;  // its last row's end of line ends it as well as the end mark
  eol.back() = '\0';
  // The top left pixel is 0x102030 or palette entry 1, the others 0x000001.
  std::vector<std::uint32_t> pixels(15, 1);
  pixels[0] = 0x102030;
  std::vector<std::uint32_t> indexes(15, 0);
  indexes[0] = 1;
  // Pixels' offsets of 0 and 14, inside the headers: the pixels follow the headers.
  QByteArray zero = MakeBmp(5, 3, 24, false, pixels), early = zero;
  qToLittleEndian<quint32>(0, zero.data() + 10);
  qToLittleEndian<quint32>(14, early.data() + 10);
  for (const QByteArray& whole :
       {MakeBmp(5, 3, 24, false, pixels), MakeBmp(5, 3, 24, true, pixels),
        MakeBmp(5, 3, 32, true, pixels), MakeBmp(5, 3, 8, false, indexes, {0, 0x102030}), rle, eol,
        zero, early}) {
    const QImage image = picture::LoadPictureData(whole).value();
    ASSERT_FALSE(image.isNull());
    EXPECT_TRUE(whole.size() == rle.size() || image.pixel(0, 0) == qRgb(0x10, 0x20, 0x30));
    for (qsizetype n = 0; n < whole.size(); ++n) {
      EXPECT_FALSE(picture::LoadPictureData(whole.left(n)).ok()) << n << " of " << whole.size();
    }
  }
  ASSERT_TRUE(Sample(4, 2).save(PicPath(), "PNG"));
  EXPECT_EQ(picture::LoadPicture(pic_).value().convertToFormat(QImage::Format_RGB32), Sample(4, 2));
}

}  // namespace
}  // namespace quorvel
