// Pictures written here by ImageMagick, PIL and Qt read as QImageReader reads them, and pictures
// made by hand as they were made; every cut of them, and each broken file, refused in our words.
#include <QFileInfo>
#include <QProcess>
#include <QtEndian>
#include <map>

#include "picture/bmp_read.h"
#include "tests/test_support.h"

namespace quorvel::picture {
namespace {

using Values = std::vector<quint32>;

// Values of `bits` bits as the rows (given from the top) of a BMP, each padded to 4 bytes.
QByteArray Pack(const Values& values, int width, int bits, bool top_down = false) {
  const int height = int(values.size()) / width, row = (width * bits + 31) / 32 * 4;
  QByteArray out(row * height, '\0');
  for (int i = 0; i < int(values.size()); ++i) {
    const int y = top_down ? i / width : height - 1 - i / width, bit = i % width * bits;
    for (int k = 0; k < std::max(bits / 8, 1); ++k)  // little-endian bytes, or high bits first
      out[y * row + bit / 8 + k] |=
          char(bits < 8 ? values[i] << (8 - bits - bit % 8) : values[i] >> 8 * k);
  }
  return out;
}

struct Bmp {
  int header = 40, width = 4, height = 3, bits = 8;
  quint32 compression = 0, used = 0;  // used 0: the palette's size
  Values masks{}, palette{};
  QByteArray data{};
};

QByteArray Make(const Bmp& m) {
  QByteArray h(std::max(m.header, 40), '\0'), masks = Pack(m.masks, 1, 32, true);
  const auto put = [&](int at, qint64 v) { qToLittleEndian(quint32(v), h.data() + at); };
  put(0, m.header), put(4, m.width), put(8, m.height), put(12, 1), put(14, m.bits);
  put(16, m.compression), put(32, m.used ? m.used : m.palette.size());
  if (m.header == 12) h = h.left(4) + h.mid(4, 2) + h.mid(8, 2) + h.mid(12, 4);
  if (m.header >= 52) h.replace(40, masks.size(), masks);
  h = h.left(m.header) + (m.header == 40 ? masks : QByteArray());
  for (quint32 c : m.palette) h += QByteArray(reinterpret_cast<char*>(&c), m.header == 12 ? 3 : 4);
  QByteArray file = "BM" + QByteArray(12, '\0') + h;
  qToLittleEndian(quint32(file.size()), file.data() + 10);
  return file + m.data;
}

struct Case {
  QString name;                   // its first word: where it comes from
  QByteArray bytes, oracle = {};  // oracle: the picture as Qt reads it; none: the file itself
};

TEST(BmpReadTest, PicturesReadAsQtReadsThemOrAsMade) {
  QTemporaryDir dir;
  const QString in = dir.filePath("in.png"), out = dir.filePath("out.bmp");
  std::vector<Case> cases;
  const bool magick = QFileInfo("/usr/bin/convert").isExecutable();  // not under Wine
  for (const int colours : {16, 0}) {  // a few colours, then many and translucent
    QImage image(colours ? 13 : 31, colours ? 5 : 7, QImage::Format_ARGB32);
    for (int i = 0; i < image.width() * image.height(); ++i)
      image.setPixel(i % image.width(), i / image.width(),
                     colours ? qRgb(i % colours * 16, 255 - i % colours * 9, i % colours)
                             : qRgba(i * 7, i * 13, i / 3, 255 - i % 200));
    ASSERT_TRUE(image.save(in));
    for (const auto f : {QImage::Format_RGB32, QImage::Format_Indexed8, QImage::Format_Mono}) {
      ASSERT_TRUE(image.convertToFormat(f).save(out, "BMP"));  // Qt's own writer
      cases.push_back({"Qt " + QString::number(f), testing::ReadFile(out)});
    }
    for (const QString format : {"BMP2:", "BMP3:", "BMP:"})
      for (const QString options :
           {"", "-type palette", "-type palette -compress RLE", "-colorspace gray -type palette",
            "-type bilevel", "-define bmp:subtype=RGB565", "-define bmp:subtype=RGB555",
            "-alpha on -define bmp:subtype=ARGB4444", "-alpha on -define bmp:subtype=ARGB1555",
            "-alpha on"}) {
        // ImageMagick's BMP3 marks 16-bit pixels as bit fields, but leaves out the fields.
        if (!magick || (format == "BMP3:" && options.contains("subtype"))) continue;
        const QStringList args =
            QStringList{in} + options.split(' ', Qt::SkipEmptyParts) + QStringList{format + out};
        ASSERT_EQ(QProcess::execute("/usr/bin/convert", args), 0);
        cases.push_back({"ImageMagick " + format + options, testing::ReadFile(out)});
      }
  }
  const char* pil =
      "import sys; from PIL import Image; i = Image.open(sys.argv[1] + 'in.png')\n"
      "for m in ['1', 'L', 'P', 'RGB', 'RGBA']: i.convert(m).save(sys.argv[1] + m + '.bmp')";
  const bool pil_ran = QProcess::execute("/usr/bin/python3", {"-c", pil, dir.path() + '/'}) == 0;
  for (const QString m : {"1", "L", "P", "RGB", "RGBA"})
    if (pil_ran) cases.push_back({"PIL " + m, testing::ReadFile(dir.filePath(m + ".bmp"))});

  // By hand, what no tool here writes. Pixels that compressed data leaves unset take colour 0.
  // clang-format off
  const Values index = {0, 1, 2, 3, 3, 2, 1, 0, 1, 1, 3, 3}, rle8 = {3, 2, 1, 0, 0, 0, 3, 0, 1, 1, 0, 0}, rle4 = {1, 2, 3, 0, 1, 2, 1, 2, 1, 0, 0, 3};
  const Values rgb = {0xFF8040, 0x010203, 0xFFFFFF, 0, 0x7F7F7F, 0x804020, 0x00F800, 0x070707, 0xABCDEF, 0x100000, 1, 0xFEDCBA};
  Values four = {0xFF0000, 0x00FF00, 0x0000FF, 0x123456}, ramp, r565, r10, rgb565;
  for (quint32 i = 0; i < 300; ++i) ramp.push_back(i * 0x010305 & 0xFFFFFF);
  for (quint32 c : rgb) r565.push_back((c >> 8 & 0xF800) | (c >> 5 & 0x7E0) | (c >> 3 & 0x1F)), rgb565.push_back(c & 0xF8FCF8);
  for (quint32 c : rgb) r10.push_back(3u << 30 | (c >> 16 << 22) | (c >> 8 & 255) << 12 | (c & 255) << 2);
  const auto pick = [](const Values& palette, const Values& indexes) { Values v; for (quint32 i : indexes) v.push_back(palette[i]); return v; };
  const auto at_offset = [](QByteArray file, quint32 offset) { qToLittleEndian(offset, file.data() + 10); return file; };
  const auto plain = [](const Values& rgb, int width = 4) { return Make({.width = width, .height = int(rgb.size()) / width, .bits = 24, .data = Pack(rgb, width, 24)}); };
  for (const Case& c : std::vector<Case>{
      {"hand 2 bits", Make({.bits = 2, .palette = four, .data = Pack(index, 4, 2)}), plain(pick(four, index))},
      {"hand OS/2 2.x of 16 bytes", Make({.header = 16, .bits = 4, .palette = Values(ramp.begin(), ramp.begin() + 16), .data = Pack(index, 4, 4)}), plain(pick(ramp, index))},
      {"hand OS/2 2.x of 64 bytes", Make({.header = 64, .bits = 24, .data = Pack(rgb, 4, 24)}), plain(rgb)},
      {"hand top-down", Make({.height = -3, .bits = 24, .data = Pack(rgb, 4, 24, true)}), plain(rgb)},
      {"hand 300 colours at 4 bits", Make({.bits = 4, .palette = ramp, .data = Pack(index, 4, 4)}), plain(pick(ramp, index))},
      {"hand 5-6-5 in V2", Make({.header = 52, .bits = 16, .compression = 3, .masks = {0xF800, 0x7E0, 0x1F}, .data = Pack(r565, 4, 16)}), plain(rgb565)},
      {"hand 10 bits, alpha bit fields in V3", Make({.header = 56, .bits = 32, .compression = 6, .masks = {0x3FF00000, 0xFFC00, 0x3FF, 3u << 30}, .data = Pack(r10, 4, 32)}), plain(rgb)},
      {"hand odd masks", Make({.bits = 16, .compression = 3, .masks = {0x0A00, 0x00F0, 0x000F}, .data = Pack(r565, 4, 16)})},
      {"hand RLE8", Make({.compression = 1, .palette = four, .data = QByteArray::fromHex("0201 00020001 0103 0000 0003 030201 00 0100 0001")}), plain(pick(four, rle8))},
      {"hand RLE8 ending at its top row's end", Make({.compression = 1, .palette = four, .data = QByteArray::fromHex("0201 00020001 0103 0000 0003 030201 00 0100 0000")}), plain(pick(four, rle8))},
      {"hand pixels' offset 0, in the headers: they follow them", at_offset(plain(rgb), 0), plain(rgb)},
      {"hand pixels' offset 14", at_offset(plain(rgb), 14), plain(rgb)},
      {"hand RLE4", Make({.width = 6, .height = 2, .bits = 4, .compression = 2, .palette = four, .data = QByteArray::fromHex("0312 0002 0200 0130 0000 0005 123012 00 0120 0001")}), plain(pick(four, rle4), 6)},
  }) cases.push_back(c);
  // clang-format on

  std::map<QString, int> counts;
  for (const Case& c : cases) {
    const auto read = ReadBmp(c.bytes, "pic");
    const bool same =
        read.ok() &&
        read.value() == testing::QtPixels(c.oracle.isEmpty() ? c.bytes : c.oracle, "bmp");
    EXPECT_TRUE(same) << c.name.toStdString()
                      << (read.ok() ? "" : ": " + read.failure().sentence.toStdString());
    ++counts[c.name.section(' ', 0, 0) + (same ? ": identical" : ": different")];
    if (same) {  // the top row alone, as a strip's reader keeps it
      Pixels top = read.value();
      top.rgb.resize(3 * std::size_t(top.width));
      top.height = 1;
      const auto row = ReadBmp(c.bytes, "pic", kMaxPicturePixels, Rows::kTop);
      EXPECT_TRUE(row.ok() && row.value() == top) << c.name.toStdString();
    }
    for (int cut = 10; same && cut < c.bytes.size(); cut += 10) {
      const auto part = ReadBmp(c.bytes.left(cut), "pic");
      ++counts[part.ok() ? "cuts still whole, the same" : "cuts refused as cut short"];
      EXPECT_TRUE(
          part.ok()
              ? part.value() == read.value()
              : part.failure().sentence ==
                    QString("pic is cut short: its picture needs more than its %1 bytes.").arg(cut))
          << c.name.toStdString() << " cut at " << cut;
    }
  }
  for (const auto& [what, n] : counts) std::printf("[ corpus ] %s: %d\n", qPrintable(what), n);
  if (!magick || !pil_ran)
    GTEST_SKIP() << "not made: " << (magick ? "" : "ImageMagick's ") << (pil_ran ? "" : "PIL's ");
}

TEST(BmpReadTest, BrokenFilesAreRefusedInOurWords) {
  // clang-format off
  const auto rle = [](const char* hex) { return Make({.compression = 1, .palette = {0, 0xFFFFFF}, .data = QByteArray::fromHex(hex)}); };
  const struct { QByteArray bytes; const char* sentence; qint64 max_pixels = kMaxPicturePixels; } cases[] = {
      {"GIF89a", "is not a BMP picture"},
      {Make({.header = 200}), "has a bitmap header of 200 bytes, a kind this program does not read"},
      {Make({.bits = 64}), "has 64 bits a pixel, a depth this program does not read"},
      {Make({.compression = 4}), "holds a JPEG picture inside a BMP file, which this program does not read"},
      {Make({.compression = 11}), "uses compression number 11, which this program does not read"},
      {Make({.header = 64, .compression = 3}), "uses OS/2 Huffman 1D compression, which this program does not read"},
      {Make({.bits = 4, .compression = 1}), "is damaged: its RLE8 compression does not go with 4 bits a pixel"},
      {Make({.bits = 24, .compression = 3}), "is damaged: its bit-field compression does not go with 24 bits a pixel"},
      {Make({.width = -3}), "is damaged: it claims a picture of -3 x 3 pixels"},
      {Make({.width = 100000, .height = 100000}), "claims a picture of 100000 x 100000 pixels, which is too large"},
      {Make({}), "claims a picture of 4 x 3 pixels, which is too large", 11},
      {Make({.height = -3, .compression = 1}), "is damaged: its compressed rows claim to be stored from the top down, which compression does not allow"},
      {Make({.used = 0x7FFFFFFF, .palette = {0, 1}, .data = Pack(Values(12, 1), 4, 8)}), "is cut short: its picture needs more than its 74 bytes"},
      {Make({.palette = {0, 1}, .data = Pack({0, 1, 1, 1, 1, 1, 0, 2, 3, 0, 0, 0}, 4, 8)}), "is damaged: a pixel refers to colour 2 of a palette of 2"},
      {rle("0401 0000 0401 0000 0302 0000"), "is damaged: a pixel refers to colour 2 of a palette of 2"},
      {rle("0501"), "is damaged: its compressed pixels run past the end of a row"},
      {rle("0201 0003 010101 00"), "is damaged: its compressed pixels run past the end of a row"},
      {rle("0002 0500"), "is damaged: its compressed pixels run past the end of a row"},
      {rle("0002 0003"), "is damaged: its compressed pixels run past the end of the picture"},
      // 64 bytes claiming 32767 x 1024 pixels, of which none is set.
      {Make({.width = 32767, .height = 1024, .compression = 1, .palette = {0, 1}, .data = QByteArray::fromHex("0001")}), "is damaged: its compressed pixels end before its top row, which holds the strip, is whole"},
  };
  // clang-format on
  for (const auto& c : cases) {
    for (const Rows rows : {Rows::kAll, Rows::kTop}) {  // refused alike, whatever is kept
      const auto read = ReadBmp(c.bytes, "pic", c.max_pixels, rows);
      const QString sentence = read.ok() ? "read" : read.failure().sentence;
      EXPECT_EQ(sentence, "pic " + QString(c.sentence) + '.') << c.bytes.toHex().toStdString();
    }
  }
}

}  // namespace
}  // namespace quorvel::picture
