// Pictures as plain pixels: BMP and PNG files that ImageMagick, PIL and Qt make at run time read as
// Qt's readers read them, pictures made by hand as they were made, and PNGs written back; every cut
// and each broken file refused in our words, quickly. On the disk, on every system: the bitmaps
// written byte for byte, refusals, leftovers and the names shown in messages.
#include <zlib.h>

#include <QBuffer>
#include <QFileInfo>
#include <QProcess>
#include <QtEndian>
#include <ctime>
#include <map>

#include "os/files.h"
#include "os/files_testing.h"
#include "os/paths.h"
#include "os/shown_name.h"
#include "picture/bmp_read.h"
#include "picture/picture_files.h"
#include "picture/png_file.h"
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

Pixels QtPixels(const QByteArray& png) { return testing::QtPixels(png, "png"); }

bool Quick(std::clock_t since) { return std::clock() - since < CLOCKS_PER_SEC; }  // a second

QByteArray Chunk(const char* type, const QByteArray& data) {
  QByteArray chunk = QByteArray(4, '\0') + type + data + QByteArray(4, '\0');
  qToBigEndian<quint32>(quint32(data.size()), chunk.data());
  const auto* typed = reinterpret_cast<const Bytef*>(chunk.constData() + 4);
  qToBigEndian<quint32>(quint32(crc32(0, typed, uInt(data.size() + 4))), chunk.end() - 4);
  return chunk;
}

QByteArray Png(quint32 width, quint32 height, const QByteArray& data, const QByteArray& before = {},
               char depth = 8, char colour = 2, char interlace = 0) {
  QByteArray header(13, '\0');
  qToBigEndian(width, header.data()), qToBigEndian(height, header.data() + 4);
  header[8] = depth, header[9] = colour, header[12] = interlace;
  return "\x89PNG\r\n\x1A\n" + Chunk("IHDR", header) + before + Chunk("IDAT", data) +
         Chunk("IEND", {});
}

TEST(PngFileTest, PicturesReadAsQtReadsThemAndWriteBack) {
  QTemporaryDir dir;
  QImage source(37, 23, QImage::Format_ARGB32), every(256, 256, QImage::Format_RGBA64);
  for (int v = 0; v < 65536; ++v) {  // `every` 16-bit value, narrowed as Qt narrows it
    every.setPixelColor(v % 256, v / 256, QColor::fromRgba64(v, ~v, v * 7, v * 3));
    source.setPixel(v % 37, v / 37 % 23, qRgba(v * 7, v / 37 * 11, v * 5 ^ v / 37, v * 13));
  }
  QBuffer every_png;
  EXPECT_TRUE(every.save(&every_png, "png") &&
              ReadPng(every_png.data(), "").value() == QtPixels(every_png.data()));
  for (const auto format : {QImage::Format_ARGB32, QImage::Format_Mono, QImage::Format_Indexed8,
                            QImage::Format_Grayscale8, QImage::Format_RGB888})
    source.convertToFormat(format).save(dir.filePath(QStringLiteral("qt-%1.png").arg(format)));
  // ImageMagick's kinds of the ARGB32 picture, and interlaced of a 16-bit gradient.
  const QStringList kinds = QString(R"(PNG8:|PNG24:|PNG32:|PNG48:|PNG64:|PNG: -alpha off -colors 2
|PNG: -alpha off -colors 4|PNG8: -transparent #000000|PNG24: -transparent #00000A
|PNG: -colorspace Gray -depth 8 -define png:color-type=4|PNG: -colorspace Gray -depth 16 -define png:color-type=4
|PNG: -alpha off -colorspace Gray -define png:color-type=0 -depth 1 -define png:bit-depth=1
|PNG: -alpha off -colorspace Gray -define png:color-type=0 -depth 2 -define png:bit-depth=2
|PNG: -alpha off -colorspace Gray -define png:color-type=0 -depth 4 -define png:bit-depth=4
|PNG: -alpha off -colorspace Gray -define png:color-type=0 -depth 16 -define png:bit-depth=16)")
                                .remove('\n')
                                .split('|');
  const bool magick = QFileInfo("/usr/bin/convert").isExecutable();
  for (int i = 0; magick && i < kinds.size() * 2; ++i) {
    const QStringList how = kinds[i / 2].split(' ');
    QStringList args{"-size", "37x23",
                     i % 2 ? "gradient:#0123FE-#FE0123" : dir.filePath("qt-5.png")};
    args << "-interlace" << (i % 2 ? "PNG" : "None") << how.mid(1)
         << how[0] + dir.filePath(QString("im-%1.png").arg(i));
    EXPECT_EQ(QProcess::execute("/usr/bin/convert", args), 0);
  }
  const bool pil = QProcess::execute("/usr/bin/python3", {"-c", R"(import sys
from PIL import Image
s, t = Image.open(sys.argv[1] + '/qt-5.png').convert('RGBA'), 'transparency'
p = lambda n: s.convert('RGB').convert('P', palette=Image.ADAPTIVE, colors=n)
i16 = s.convert('L').convert('I').point(lambda v: v * 251 + 3)
for n, im, kw in [('1', s.convert('1'), {t: 1}), ('L', s.convert('L'), {}), ('Lt', s.convert('L'), {t: 9}),
    ('RGBt', s.convert('RGB'), {t: (0, 0, 0)}), ('LA', s.convert('LA'), {}), ('I16', i16, {}),
    ('I16t', i16, {t: 1258}), ('P8', p(256), {t: 3}), ('P4', p(16), {'bits': 4}), ('P2', p(4), {'bits': 2}),
    ('P1', p(2), {'bits': 1})]:
    im.save(sys.argv[1] + '/pil-' + n + '.png', **kw))",
                                                          dir.path()}) == 0;
  std::map<QString, int> counts;
  for (const QString& name : QDir(dir.path()).entryList({"*.png"})) {
    const QByteArray png = testing::ReadFile(dir.filePath(name));
    const auto read = ReadPng(png, name);
    ASSERT_TRUE(read.ok()) << read.failure().sentence.toStdString();
    // Qt reads 16-bit RGB with a transparency chunk a channel off: such a picture is compared with
    // Qt's reading of it without the chunk, which gives only alpha.
    const qsizetype trns = png.indexOf("tRNS");
    QByteArray oracle = png;
    if (png[24] == 16 && png[25] == 2 && trns > 0) oracle.remove(trns - 4, 18);
    const Pixels qt = QtPixels(oracle);
    const QByteArray written = WritePng(read.value());
    const bool same =
        read.value() == qt && ReadPng(written, "").value() == qt && QtPixels(written) == qt;
    EXPECT_TRUE(same) << name.toStdString();
    counts["made by " + name.section('-', 0, 0)]++, counts["read as Qt does, written back"] += same;
    counts[QString::asprintf("%d-bit colour type %d%s%s", png[24], png[25],
                             trns > 0 ? ", tRNS" : "", png[28] ? ", interlaced" : "")]++;
    const std::clock_t start = std::clock();
    for (qsizetype n = 10; n < png.size(); n += 10) {
      const auto cut = ReadPng(png.left(n), name);
      const QString sentence = "%1 is cut short: its picture needs more than its %2 bytes.";
      EXPECT_EQ(cut.ok() ? "" : cut.failure().sentence, sentence.arg(name).arg(n));
      counts["cut, refused as cut short"] +=
          !cut.ok() && cut.failure().sentence == sentence.arg(name).arg(n);
    }
    EXPECT_TRUE(Quick(start)) << name.toStdString();
  }
  for (const auto& [what, count] : counts) std::printf("%s: %d\n", qPrintable(what), count);
  if (!magick || !pil)
    GTEST_SKIP() << "not made: " << (magick ? "PIL's" : "ImageMagick's") << " pictures";
}

TEST(PngFileTest, BrokenPicturesAreRefusedQuickly) {
  // 10 GiB of zeros in 10 MB: a MiB deflated alone (a full flush), repeated after a zlib header.
  QByteArray in(1 << 20, '\0'), out(4096, '\0');
  z_stream z{};
  deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
  z.next_in = reinterpret_cast<Bytef*>(in.data()), z.avail_in = 1 << 20;
  z.next_out = reinterpret_cast<Bytef*>(out.data()), z.avail_out = 4096;
  deflate(&z, Z_FULL_FLUSH);
  deflateEnd(&z);
  const QByteArray row = qCompress('\0' + QByteArray(12, '\x40')).mid(4);  // 4 x 1, 8-bit RGB
  const QByteArray huge = QByteArray(2, '\0') + qCompress(QByteArray(1 << 26, 'a')).mid(4);
  QByteArray bad_sum = Png(4, 1, row);
  bad_sum[45] = char(bad_sum[45] ^ 1);
  const QString damaged = "x is damaged: %1.", unread = "x could not be read as a picture: %1.",
                data = damaged.arg("its compressed data %1 the 4 x 1 picture it declares"),
                layout = damaged.arg("its parts are not laid out as a PNG picture's are"),
                sum = damaged.arg("the checksum of a part of it is wrong");
  const QByteArray palette = qCompress(QByteArray::fromHex("0000010201")).mid(4), grey("\0\x09", 2);
  const std::pair<QByteArray, QString> cases[] = {
      {Png(4, 1, "\x78\xDA" + out.chopped(z.avail_out).repeated(10240)),
       data.arg("holds more than")},
      {Png(4, 1, qCompress(QByteArray(12, '\0')).mid(4)), data.arg("ends before")},
      {Png(4, 1, row, Chunk("zTXt", "Comment" + huge) + Chunk("iCCP", "Profile" + huge)), ""},
      {bad_sum, sum},
      {Png(4, 1, row.chopped(6) + QByteArray(6, '\xFF')),
       damaged.arg("its compressed picture data is not valid")},
      {Png(0x80000000, 0x80000000, row),
       "x claims a picture of 2147483648 x 2147483648 pixels, which is too large."},
      {Png(0, 1, row), layout},
      {Png(4, 1, row, {}, 3),
       unread.arg("its header declares colour type 2 at 3 bits, which PNG does not have")},
      {Png(4, 1, palette, Chunk("PLTE", "123456"), 8, 3),
       damaged.arg("a pixel refers to colour 2 of a palette of 2")},
      {Png(4, 1, row, Chunk("QUUX", "?")),
       unread.arg("it holds a part this program does not know, and may not skip")},
      {"GIF89a", unread.arg("it is not a PNG file")},
      {Png(4, 1, row).insert(33, QByteArray("\x80\0\0\0teXt", 8)), layout},
      {Png(4, 1, row).chopped(1) + '?', sum},
      // A transparent grey level reads as Qt reads it.
      {Png(1, 1, qCompress(grey).mid(4), Chunk("tRNS", grey), 8, 0), ""},
      // Interlaced, one column wide: four of the seven passes have no pixels, nor bytes.
      {Png(1, 12, qCompress(QByteArray(24, '\0')).mid(4), {}, 1, 0, 1), ""}};
  EXPECT_TRUE(ReadPng(Png(4, 1, row), "x", 4).ok());  // as many pixels as the limit allows
  for (const auto& [png, sentence] : cases) {
    const std::clock_t start = std::clock();
    const auto read = ReadPng(png, "x");
    EXPECT_TRUE(Quick(start)) << sentence.toStdString();
    EXPECT_EQ(read.ok() ? "" : read.failure().sentence, sentence);
    EXPECT_TRUE(!read.ok() || read.value() == QtPixels(png));
    std::printf("%s\n", read.ok() ? "read as Qt reads it" : qPrintable("refused: " + sentence));
  }
}

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
}  // namespace quorvel::picture
