// PNG files read into plain pixels against Qt's reader, over pictures made at run time by
// ImageMagick, PIL and Qt, and broken ones refused with our sentences, quickly.
#include <gtest/gtest.h>
#include <zlib.h>

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <ctime>
#include <set>

#include "picture/png_file.h"

namespace quorvel::picture {
namespace {

// What Qt's reader makes of a file, as RGB with the alpha dropped.
Pixels QtPixels(const QByteArray& png) {
  QBuffer buffer;
  buffer.setData(png);
  const QImage image = QImageReader(&buffer, "png").read();
  Pixels pixels(image.width(), image.height());
  for (int i = 0; i < image.width() * image.height(); ++i) {
    const QRgb c = image.pixel(i % image.width(), i / image.width());
    for (const int k : {0, 1, 2}) pixels.rgb[3 * i + k] = uint8_t(c >> (16 - 8 * k));
  }
  return pixels;
}

qint64 CpuMs(std::clock_t since) { return (std::clock() - since) * 1000 / CLOCKS_PER_SEC; }

QByteArray Chunk(const char* type, const QByteArray& data) {
  QByteArray chunk = QByteArray(4, '\0') + type + data + QByteArray(4, '\0');
  qToBigEndian<quint32>(quint32(data.size()), chunk.data());
  const auto* typed = reinterpret_cast<const Bytef*>(chunk.constData() + 4);
  qToBigEndian<quint32>(quint32(crc32(0, typed, uInt(data.size() + 4))),
                        chunk.data() + 8 + data.size());
  return chunk;
}

QByteArray Png(quint32 width, quint32 height, char depth, char colour, char interlace,
               const QByteArray& data, const QByteArray& more_chunks = {}) {
  QByteArray header(13, '\0');
  qToBigEndian(width, header.data());
  qToBigEndian(height, header.data() + 4);
  header[8] = depth, header[9] = colour, header[12] = interlace;
  return "\x89PNG\r\n\x1A\n" + Chunk("IHDR", header) + more_chunks + Chunk("IDAT", data) +
         Chunk("IEND", {});
}

TEST(PngFileTest, PicturesReadAsQtReadsThemAndWriteBack) {
  QTemporaryDir dir;
  QImage source(37, 23, QImage::Format_ARGB32), every(256, 256, QImage::Format_RGBA64);
  for (int v = 0; v < 65536; ++v) {  // `every` 16-bit value
    every.setPixelColor(v % 256, v / 256, QColor::fromRgba64(v, ~v, v * 7, v * 3));
    source.setPixel(v % 37, v / 37 % 23, qRgba(v * 7, v / 37 * 11, v * 5 ^ v / 37, v * 13));
  }
  for (const QImage& image : {every, every.convertToFormat(QImage::Format_Grayscale16)}) {
    QBuffer png;
    EXPECT_TRUE(image.save(&png, "png") && ReadPng(png.data(), "").value() == QtPixels(png.data()));
  }
  for (const auto format : {QImage::Format_ARGB32, QImage::Format_Mono, QImage::Format_Indexed8,
                            QImage::Format_Grayscale8, QImage::Format_RGB32, QImage::Format_RGB888})
    source.convertToFormat(format).save(dir.filePath(QStringLiteral("qt-%1.png").arg(format)));
  // ImageMagick's kinds, plain and interlaced, of the ARGB32 picture and of a 16-bit gradient.
  QStringList kinds = QString(R"(PNG8:|PNG24:|PNG32:|PNG48:|PNG64:|PNG: -alpha off -colors 2
|PNG: -alpha off -colors 4|PNG8: -transparent #000000|PNG24: -transparent #00000A
|PNG: -colorspace Gray -depth 8 -define png:color-type=4|PNG: -colorspace Gray -depth 16 -define png:color-type=4)")
                          .remove('\n')
                          .split('|');
  for (const char* depth : {"1", "2", "4", "8", "16"})
    kinds << QStringLiteral(
                 "PNG: -alpha off -colorspace Gray -depth %1 -define png:color-type=0 "
                 "-define png:bit-depth=%1")
                 .arg(depth);
  const bool magick = QFileInfo("/usr/bin/convert").isExecutable();
  for (int i = 0; magick && i < kinds.size() * 4; ++i) {
    QStringList args = kinds[i / 4].split(' ');
    args = QStringList{i % 2 ? "gradient:#0123FE-#FE0123" : dir.filePath("qt-5.png"), "-interlace",
                       i & 2 ? "PNG" : "None"} +
               args.mid(1)
           << args[0] + dir.filePath(QString("im-%1.png").arg(i));
    EXPECT_EQ(QProcess::execute("/usr/bin/convert", QStringList{"-size", "37x23"} + args), 0);
  }
  const bool pil = QProcess::execute("/usr/bin/python3", {"-c", R"(import sys
from PIL import Image
s = Image.open(sys.argv[1] + '/qt-5.png').convert('RGBA')
p = lambda n: s.convert('RGB').convert('P', palette=Image.ADAPTIVE, colors=n)
i16 = s.convert('L').convert('I').point(lambda v: v * 251 + 3)
t = 'transparency'
for n, im, kw in [('1', s.convert('1'), {}), ('1t', s.convert('1'), {t: 1}), ('L', s.convert('L'), {}),
    ('Lt', s.convert('L'), {t: 9}), ('RGBA', s, {}), ('RGBt', s.convert('RGB'), {t: (0, 0, 0)}),
    ('LA', s.convert('LA'), {}), ('I16', i16, {}), ('I16t', i16, {t: 1258}), ('P8', p(256), {}),
    ('P4', p(16), {'bits': 4}), ('P2', p(4), {'bits': 2}), ('P1', p(2), {'bits': 1}), ('Pt', p(256), {t: 3})]:
    im.save(sys.argv[1] + '/pil-' + n + '.png', **kw))",
                                                          dir.path()}) == 0;
  std::map<QString, int> counts;
  std::set<QString> seen;  // depth/colour type, t for transparency, i for interlaced
  for (const QString& name : QDir(dir.path()).entryList({"*.png"})) {
    QFile file(dir.filePath(name));
    const QByteArray png = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    const auto read = ReadPng(png, name);
    ASSERT_TRUE(read.ok()) << read.failure().sentence.toStdString();
    const qsizetype trns = png.indexOf("tRNS");
    seen.insert(
        QString::asprintf("%d/%d%s%s", png[24], png[25], trns > 0 ? "t" : "", png[28] ? "i" : ""));
    // Qt reads 16-bit RGB with a transparency chunk a channel off: such a picture is compared with
    // Qt's reading of it without the chunk, which gives only alpha.
    QByteArray oracle = png;
    if (png[24] == 16 && png[25] == 2 && trns > 0)
      oracle.remove(trns - 4, 18), counts["16-bit RGB with tRNS, compared without it"]++;
    const Pixels qt = QtPixels(oracle);
    const QByteArray written = WritePng(read.value());
    EXPECT_EQ(read.value(), qt) << name.toStdString();
    const bool back = ReadPng(written, name).value() == qt && QtPixels(written) == qt;
    EXPECT_TRUE(back) << name.toStdString();
    counts["written, read back identical by both"] += back;
    counts["made by " + name.section('-', 0, 0)]++,
        counts["identical to Qt's"] += read.value() == qt;
    const std::clock_t start = std::clock();
    for (qsizetype n = 10; n < png.size(); n += 10) {
      const auto cut = ReadPng(png.left(n), name);
      counts["cut, refused as cut short"] +=
          !cut.ok() &&
          cut.failure().sentence ==
              QStringLiteral("%1 is cut short: its picture needs more than its %2 bytes.")
                  .arg(name)
                  .arg(n);
    }
    EXPECT_EQ(counts["cut, refused as cut short"], counts["cuts"] += (png.size() - 1) / 10);
    EXPECT_LT(CpuMs(start), 1000) << name.toStdString();
  }
  for (const auto& [what, count] : counts) std::printf("%s: %d\n", qPrintable(what), count);
  std::printf("kinds: %s\n", qPrintable(QStringList(seen.begin(), seen.end()).join(' ')));
  if (!magick || !pil)
    GTEST_SKIP() << "not made: " << (magick ? "" : "ImageMagick's pictures (no /usr/bin/convert) ")
                 << (pil ? "" : "PIL's pictures (no /usr/bin/python3 with PIL)");
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
  const QByteArray bomb = Png(4, 4, 8, 2, 0, "\x78\xDA" + out.chopped(z.avail_out).repeated(10240));
  const QByteArray row = qCompress('\0' + QByteArray(12, '\x40')).mid(4);  // of a 4 x 1 picture
  const QByteArray text =  // skipped unread, however large
      Chunk("zTXt", "Comment" + QByteArray(2, '\0') + qCompress(QByteArray(1 << 26, 'a')).mid(4)) +
      Chunk("iCCP", "icc" + QByteArray(2, '\0') + QByteArray(1 << 24, 'x'));
  QByteArray bad_sum = Png(4, 1, 8, 2, 0, row), index = QByteArray::fromHex("0000010201");
  bad_sum[45] = char(bad_sum[45] ^ 1);
  const QString data = "is damaged: its compressed data %1 the %2 x %3 picture it declares.",
                more = data.arg("holds more than").arg(4).arg(4),
                unread = "could not be read as a picture: ";
  std::vector<std::pair<QByteArray, QString>> cases = {
      {bomb, more},
      {bomb.chopped(20), more},
      {bomb.left(33) + Chunk("IDAT", {}) + bomb.mid(33), more},
      {Png(4, 1, 8, 2, 0, qCompress(QByteArray(12, '\0')).mid(4)),
       data.arg("ends before").arg(4).arg(1)},
      {Png(4, 1, 8, 2, 0, row, text), {}},
      {bad_sum, "is damaged: the checksum of a part of it is wrong."},
      {Png(4, 1, 8, 2, 0, row.chopped(6) + QByteArray(6, '\xFF')),
       "is damaged: its compressed picture data is not valid."},
      {Png(0x80000000, 0x80000000, 8, 2, 0, row),
       "claims a picture of 2147483648 x 2147483648 pixels, which is too large."},
      {Png(0, 1, 8, 2, 0, row), "is damaged: its parts are not laid out as a PNG picture's are."},
      {Png(4, 1, 3, 2, 0, row),
       unread + "its header declares colour type 2 at 3 bits, which PNG does not have."},
      {Png(4, 1, 8, 3, 0, qCompress(index).mid(4), Chunk("PLTE", "123456")),
       "is damaged: a pixel refers to colour 2 of a palette of 2."},
      {Png(4, 1, 8, 2, 0, row, Chunk("QUUX", "?")),
       unread + "it holds a part this program does not know, and may not skip."},
      {"GIF89a", unread + "it is not a PNG file."}};
  // Data a byte short of the declared picture, exactly it and a byte more.
  const std::tuple<quint32, quint32, char, char, char, int> sizes[] = {
      {19, 25, 8, 2, 1, 1474}, {22, 22, 8, 4, 1, 1010}, {1, 12, 1, 0, 1, 24},
      {5, 3, 1, 0, 1, 14},     {3, 5, 16, 6, 1, 130},   {8192, 4096, 8, 0, 0, 8193 * 4096}};
  for (const auto& [width, height, depth, colour, interlace, bytes] : sizes) {
    for (const int by : {-1, 0, 1}) {
      const QString sentence =
          data.arg(by < 0 ? "ends before" : "holds more than").arg(width).arg(height);
      cases.push_back({Png(width, height, depth, colour, interlace,
                           qCompress(QByteArray(bytes + by, '\0')).mid(4)),
                       by ? sentence : ""});
    }
  }
  std::map<QString, int> counts;
  for (const auto& [png, sentence] : cases) {
    const std::clock_t start = std::clock();
    const auto read = ReadPng(png, "x");
    EXPECT_LT(CpuMs(start), 1000) << sentence.toStdString();
    EXPECT_EQ(read.ok() ? QString() : read.failure().sentence,
              sentence.isEmpty() ? "" : "x " + sentence);
    EXPECT_TRUE(!read.ok() || read.value() == QtPixels(png)) << png.size();
    counts[read.ok() ? "read as Qt reads them" : "refused: " + sentence]++;
  }
  for (const auto& [what, count] : counts) std::printf("%s: %d\n", qPrintable(what), count);
}

}  // namespace
}  // namespace quorvel::picture
