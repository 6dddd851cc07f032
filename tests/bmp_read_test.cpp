// The BMP reader against Qt's: pictures written here by ImageMagick, PIL, Qt and by hand give
// exactly the pixels QImageReader gives (of the same picture in a layout Qt reads, where it reads
// not this one), every cut of them is refused as cut short or reads the same, and broken files
// get our sentences. The corpus counts are printed for the record.
#include <QBuffer>
#include <QImageReader>
#include <QProcess>
#include <QRegularExpression>
#include <QtEndian>
#include <map>

#include "picture/bmp_read.h"
#include "tests/test_support.h"

namespace quorvel::picture {
namespace {

const QString kShown = QStringLiteral("pic");
using Values = std::vector<quint32>;

// Values of `bits` bits as rows (given from the top) of a BMP, each padded to 4 bytes.
QByteArray Pack(const Values& values, int width, int bits, bool top_down = false) {
  const int height = int(values.size()) / width, row = (width * bits + 31) / 32 * 4;
  QByteArray out(row * height, '\0');
  for (int i = 0; i < int(values.size()); ++i) {
    const int y = top_down ? i / width : height - 1 - i / width, bit = (i % width) * bits;
    for (int k = 0; k < std::max(bits / 8, 1); ++k)  // little-endian bytes, or high bits first
      out[y * row + bit / 8 + k] |=
          char(bits >= 8 ? values[i] >> 8 * k : values[i] << (8 - bits - bit % 8));
  }
  return out;
}

struct Bmp {
  int header = 40, width = 4, height = 3, bits = 8;
  quint32 compression = 0, used = 0;
  Values masks{}, palette{};
  QByteArray data{};
  qint64 offset = -1;  // after the palette
};

QByteArray Make(const Bmp& m) {
  QByteArray h(std::max(m.header, 40), '\0');
  const int at[] = {0, 4, 8, 12, 14, 16, 32};
  const quint32 value[] = {quint32(m.header),
                           quint32(m.width),
                           quint32(m.height),
                           1,
                           quint32(m.bits),
                           m.compression,
                           m.used ? m.used : quint32(m.palette.size())};
  for (int i = 0; i < 7; ++i) qToLittleEndian(value[i], h.data() + at[i]);
  if (m.header == 12) h = h.left(4) + h.mid(4, 2) + h.mid(8, 2) + h.mid(12, 4);
  if (m.header >= 52) h.replace(40, 4 * int(m.masks.size()), Pack(m.masks, 1, 32, true));
  h = h.left(m.header) + (m.header == 40 ? Pack(m.masks, 1, 32, true) : "");
  for (quint32 c : m.palette)
    h += QByteArray(reinterpret_cast<const char*>(&c), m.header == 12 ? 3 : 4);
  QByteArray file = "BM" + QByteArray(12, '\0') + h;
  qToLittleEndian(quint32(m.offset < 0 ? file.size() : m.offset), file.data() + 10);
  return file + m.data;
}

// The pixels Qt reads, alpha dropped; none where it refuses the file or a pixel has no colour.
Pixels QtPixels(const QByteArray& bytes) {
  QBuffer buffer;
  buffer.setData(bytes);
  const QImage image = QImageReader(&buffer, "bmp").read();
  Pixels p(image.width(), image.height());
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) {
      if (image.colorCount() > 0 && image.pixelIndex(x, y) >= image.colorCount()) return {};
      const QRgb c = image.pixel(x, y);
      std::copy_n(std::array{uchar(qRed(c)), uchar(qGreen(c)), uchar(qBlue(c))}.begin(), 3,
                  p.At(x, y));
    }
  return p;
}

struct Case {
  QString name;
  QByteArray bytes, oracle;  // the oracle: the same picture in a layout Qt reads
  bool sound = true;
};

// Each picture as Qt reads it; each cut at every tenth byte refused as cut short, or the same.
void Compare(const char* source, const std::vector<Case>& cases) {
  std::map<QString, int> counts;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name.toStdString());
    const auto read = ReadBmp(c.bytes, kShown);
    const bool same =
        read.ok() && read.value() == QtPixels(c.oracle.isEmpty() ? c.bytes : c.oracle);
    const QString why = read.ok() ? "" : read.failure().sentence;
    ++counts[same        ? "identical to Qt's"
             : read.ok() ? "different"
                         : "refused: " + QString(why).replace(QRegularExpression("\\d+"), "N")];
    EXPECT_EQ(same, c.sound) << why.toStdString();
    if (!same) continue;
    for (int cut = 10; cut < c.bytes.size(); cut += 10) {
      const auto part = ReadBmp(c.bytes.left(cut), kShown);
      ++counts[part.ok() ? "cut, still whole" : "cut, refused as cut short"];
      if (part.ok())
        EXPECT_EQ(part.value(), read.value()) << cut;
      else
        EXPECT_EQ(part.failure().sentence,
                  QString("pic is cut short: its picture needs more than its %1 bytes.").arg(cut));
    }
  }
  std::printf("[ corpus ] %s: %zu pictures\n", source, cases.size());
  for (const auto& [what, n] : counts) std::printf("[ corpus ]   %s: %d\n", qPrintable(what), n);
}

QImage Source(int width, int height, int colours) {  // translucent where `colours` is 0
  QImage image(width, height, QImage::Format_ARGB32);
  for (int i = 0; i < width * height; ++i)
    image.setPixel(i % width, i / width,
                   colours ? qRgb(i % colours * 16, 255 - i % colours * 9, i % colours)
                           : qRgba(i * 7, i * 13 % 256, i / 3, 255 - i % 200));
  return image;
}

TEST(BmpReadTest, ImageMagickWritesWhatQtReads) {
  if (!QFile::exists("/usr/bin/convert")) GTEST_SKIP() << "ImageMagick's convert is missing";
  QTemporaryDir dir;
  std::vector<Case> cases;
  for (const int colours : {16, 0}) {
    ASSERT_TRUE(Source(colours ? 13 : 31, colours ? 5 : 7, colours).save(dir.filePath("in.png")));
    for (const char* format : {"BMP2", "BMP3", "BMP"})
      for (const QString options :
           {"", "-type palette", "-type palette -compress RLE", "-colorspace gray -type palette",
            "-type bilevel", "-define bmp:subtype=RGB565", "-define bmp:subtype=RGB555",
            "-alpha on -define bmp:subtype=ARGB4444", "-alpha on -define bmp:subtype=ARGB1555",
            "-alpha on"}) {
        const QString out = dir.filePath("out.bmp");
        QStringList args = options.split(' ', Qt::SkipEmptyParts);
        ASSERT_EQ(QProcess::execute("/usr/bin/convert", QStringList{dir.filePath("in.png")} + args +
                                                            QStringList{format + (":" + out)}),
                  0);
        // BMP3 may mark its pixels as bit fields, then leave out the fields: cut short.
        const QByteArray bytes = testing::ReadFile(out);
        const auto le = [&](int at) { return qFromLittleEndian<quint32>(bytes.constData() + at); };
        cases.push_back({QString("%1 %2 from %3 colours").arg(format, options).arg(colours),
                         bytes,
                         {},
                         le(10) != 54 || le(14) != 40 || le(30) != 3});
      }
  }
  Compare("ImageMagick", cases);
}

TEST(BmpReadTest, PilAndQtWriteWhatQtReads) {
  std::vector<Case> cases;
  for (const QImage::Format f :
       {QImage::Format_RGB32, QImage::Format_Indexed8, QImage::Format_Mono}) {
    QBuffer buffer;
    ASSERT_TRUE(
        buffer.open(QIODevice::WriteOnly) &&
        Source(29, 6, f == QImage::Format_Mono ? 2 : 0).convertToFormat(f).save(&buffer, "BMP"));
    cases.push_back({QString("Qt's format %1").arg(int(f)), buffer.data(), {}});
  }
  Compare("Qt", cases);
  if (!QFile::exists("/usr/bin/python3") ||
      QProcess::execute("/usr/bin/python3", {"-c", "import PIL"}) != 0)
    GTEST_SKIP() << "Python's PIL (python3-pil) is missing";
  QTemporaryDir dir;
  ASSERT_TRUE(Source(23, 6, 0).save(dir.filePath("in.png")));
  ASSERT_EQ(0,
            QProcess::execute(
                "/usr/bin/python3",
                {"-c",
                 "import sys; from PIL import Image; i = Image.open(sys.argv[1] + '/in.png')\n"
                 "for m in ['1', 'L', 'P', 'RGB', 'RGBA']: i.convert(m).save(sys.argv[1] + '/' + m "
                 "+ '.bmp')\n"
                 "i.convert('P', palette=Image.ADAPTIVE, colors=5).save(sys.argv[1] + '/P5.bmp')",
                 dir.path()}));
  cases.clear();
  for (const QString m : {"1", "L", "P", "RGB", "RGBA", "P5"})
    cases.push_back({"PIL " + m, testing::ReadFile(dir.filePath(m + ".bmp")), {}});
  Compare("PIL", cases);
}

TEST(BmpReadTest, HandMadeLayoutsReadAsTheirLikeInQt) {
  const Values index = {0, 1, 2, 3, 3, 2, 1, 0, 1, 1, 3, 3},
               colours = {0xFF0000, 0x00FF00, 0x0000FF, 0x123456};
  const Values rgb = {0xFF8040, 0x010203, 0xFFFFFF, 0,        0x7F7F7F, 0x804020,
                      0x00F800, 0x070707, 0xABCDEF, 0x100000, 1,        0xFEDCBA};
  Values r565, r10;
  for (quint32 c : rgb) r565.push_back((c >> 8 & 0xF800) | (c >> 5 & 0x7E0) | (c >> 3 & 0x1F));
  for (quint32 c : rgb)
    r10.push_back((c >> 16 << 22 | (c >> 8 & 255) << 12 | (c & 255) << 2) | 0xC0000000);
  const Values m565 = {0xF800, 0x7E0, 0x1F}, m10 = {0x3FF00000, 0xFFC00, 0x3FF};
  // Unset pixels take colour 0: the move, the early row end, the early picture end.
  const QByteArray rle8 = QByteArray::fromHex("0201 00020001 0103 0000 0003 030201 00 0100 0001");
  const QByteArray rle4 = QByteArray::fromHex("0312 0002 0200 0130 0000 0005 123012 00 0120 0001");
  const Values rle8_plain = {3, 2, 1, 0, 0, 0, 3, 0, 1, 1, 0, 0},
               rle4_plain = {1, 2, 3, 0, 1, 2, 1, 2, 1, 0, 0, 3};
  const std::vector<Case> cases = {
      {"2 bits", Make({.bits = 2, .palette = colours, .data = Pack(index, 4, 2)}),
       Make({.palette = colours, .data = Pack(index, 4, 8)})},
      {"OS/2 1.x, 1 bit",
       Make({.header = 12,
             .bits = 1,
             .palette = {0xABCDEF, 0x102030},
             .data = Pack({0, 1, 1, 0, 1, 1, 0, 0, 0, 0, 1, 0}, 4, 1)}),
       {}},
      {"OS/2 2.x, 16 bytes",
       Make({.header = 16, .palette = Values(256, 0x445566), .data = Pack(index, 4, 8)}),
       Make({.palette = Values(256, 0x445566), .data = Pack(index, 4, 8)})},
      {"OS/2 2.x, 64 bytes", Make({.header = 64, .bits = 24, .data = Pack(rgb, 4, 24)}), {}},
      {"top-down", Make({.height = -3, .bits = 24, .data = Pack(rgb, 4, 24, true)}),
       Make({.bits = 24, .data = Pack(rgb, 4, 24)})},
      {"oversized palette",
       Make({.bits = 4, .used = 300, .palette = Values(300, 0x778899), .data = Pack(index, 4, 4)}),
       Make({.bits = 4, .used = 4, .palette = Values(4, 0x778899), .data = Pack(index, 4, 4)})},
      {"short palette",
       Make({.bits = 4, .used = 4, .palette = colours, .data = Pack(index, 4, 4)}),
       {}},
      {"5-6-5 in V2",
       Make({.header = 52, .bits = 16, .compression = 3, .masks = m565, .data = Pack(r565, 4, 16)}),
       Make({.header = 108,
             .bits = 16,
             .compression = 3,
             .masks = m565,
             .data = Pack(r565, 4, 16)})},
      {"5-6-5 with alpha",
       Make({.bits = 16,
             .compression = 6,
             .masks = {0xF800, 0x7E0, 0x1F, 0},
             .data = Pack(r565, 4, 16)}),
       Make({.bits = 16, .compression = 3, .masks = m565, .data = Pack(r565, 4, 16)})},
      {"10 bits in V3",
       Make({.header = 56,
             .bits = 32,
             .compression = 6,
             .masks = {0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000},
             .data = Pack(r10, 4, 32)}),
       Make({.bits = 24, .data = Pack(rgb, 4, 24)})},
      {"10 bits", Make({.bits = 32, .compression = 3, .masks = m10, .data = Pack(r10, 4, 32)}),
       Make({.bits = 24, .data = Pack(rgb, 4, 24)})},
      {"RLE8", Make({.compression = 1, .palette = colours, .data = rle8}),
       Make({.palette = colours, .data = Pack(rle8_plain, 4, 8)})},
      {"RLE4",
       Make({.width = 6,
             .height = 2,
             .bits = 4,
             .compression = 2,
             .palette = colours,
             .data = rle4}),
       Make({.width = 6,
             .height = 2,
             .bits = 4,
             .palette = colours,
             .data = Pack(rle4_plain, 6, 4)})},
  };
  Compare("by hand", cases);
}

TEST(BmpReadTest, BrokenFilesAreRefusedInOurWords) {
  const Values two = {0, 0xFFFFFF};
  const QByteArray rle = Make({.compression = 1,
                               .palette = two,
                               .data = QByteArray::fromHex("0401 0000 0401 0000 0401 0000 0001")});
  const auto with = [](QByteArray b, int at, quint32 v) {
    qToLittleEndian(v, b.data() + at);
    return b;
  };
  const struct {
    QByteArray bytes;
    QString sentence;
    qint64 max = kMaxPicturePixels;
  } cases[] = {
      {"GIF89a", "pic is not a BMP picture."},
      {with(rle, 14, 200),
       "pic has a bitmap header of 200 bytes, a kind this program does not read."},
      {Make({.bits = 64}), "pic has 64 bits a pixel, a depth this program does not read."},
      {with(rle, 30, 4),
       "pic holds a JPEG picture inside a BMP file, which this program does not read."},
      {with(rle, 30, 5),
       "pic holds a PNG picture inside a BMP file, which this program does not read."},
      {with(rle, 30, 11), "pic uses compression number 11, which this program does not read."},
      {Make({.header = 64, .compression = 3}),
       "pic uses OS/2 Huffman 1D compression, which this program does not read."},
      {Make({.bits = 4, .compression = 1}),
       "pic is damaged: its RLE8 compression does not go with 4 bits a pixel."},
      {Make({.bits = 24, .compression = 3}),
       "pic is damaged: its bit-field compression does not go with 24 bits a pixel."},
      {with(rle, 18, quint32(-3)), "pic is damaged: it claims a picture of -3 x 3 pixels."},
      {with(rle, 22, 0), "pic is damaged: it claims a picture of 4 x 0 pixels."},
      {with(with(rle, 18, 100000), 22, 100000),
       "pic claims a picture of 100000 x 100000 pixels, which is too large."},
      {rle, "pic claims a picture of 4 x 3 pixels, which is too large.", 11},
      {with(rle, 22, quint32(-3)),
       "pic is damaged: its compressed rows claim to be stored from the top down, which "
       "compression does not allow."},
      {Make({.palette = two, .data = Pack(Values(12, 1), 4, 8), .offset = 1000}),
       "pic is cut short: its picture needs more than its 74 bytes."},
      {Make({.used = 0x7FFFFFFF, .palette = two, .data = Pack(Values(12, 1), 4, 8)}),
       "pic is cut short: its picture needs more than its 74 bytes."},
      {Make({.used = 2, .palette = two, .data = Pack({0, 1, 1, 1, 1, 1, 0, 2, 0, 0, 0, 0}, 4, 8)}),
       "pic is damaged: a pixel refers to colour 2 of a palette of 2."},
      {Make({.compression = 1,
             .palette = two,
             .data = QByteArray::fromHex("0401 0000 0401 0000 0302 0000")}),
       "pic is damaged: a pixel refers to colour 2 of a palette of 2."},
      {Make({.compression = 1, .palette = two, .data = QByteArray::fromHex("0501")}),
       "pic is damaged: its compressed pixels run past the end of a row."},
      {Make({.compression = 1, .palette = two, .data = QByteArray::fromHex("0201 0003 010101 00")}),
       "pic is damaged: its compressed pixels run past the end of a row."},
      {Make({.compression = 1, .palette = two, .data = QByteArray::fromHex("0002 0500")}),
       "pic is damaged: its compressed pixels run past the end of a row."},
      {Make({.compression = 1, .palette = two, .data = QByteArray::fromHex("0002 0003")}),
       "pic is damaged: its compressed pixels run past the end of the picture."},
      {Make({.compression = 1,
             .palette = two,
             .data = QByteArray::fromHex("0401 0000 0401 0000 0301 0001")}),
       "pic is damaged: its compressed pixels end before its top row, which holds the strip, is "
       "whole."},
      // 76 bytes claiming 32767 x 1024 pixels, of which none is set.
      {with(with(Make({.compression = 1,
                       .palette = Values(5, 0),
                       .data = QByteArray::fromHex("0001")}),
                 18, 32767),
            22, 1024),
       "pic is damaged: its compressed pixels end before its top row, which holds the strip, is "
       "whole."},
  };
  for (const auto& c : cases) {
    const auto read = ReadBmp(c.bytes, kShown, c.max);
    EXPECT_EQ(read.ok() ? QString("read") : read.failure().sentence, c.sentence)
        << c.bytes.toHex().toStdString();
  }
}

}  // namespace
}  // namespace quorvel::picture
