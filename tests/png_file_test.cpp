// PNG files read into plain pixels as Qt's reader reads them, over pictures ImageMagick, PIL and Qt
// make at run time, and written back; their cuts and broken files refused in our words, quickly.
#include <zlib.h>

#include <QBuffer>
#include <QFileInfo>
#include <QProcess>
#include <QtEndian>
#include <ctime>

#include "picture/png_file.h"
#include "tests/test_support.h"

namespace quorvel::picture {
namespace {

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

}  // namespace
}  // namespace quorvel::picture
