#include "platform/pictures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QtEndian>
#include <cerrno>
#include <optional>

#include "platform/files.h"
#include "platform/paths.h"
#include "tests/test_support.h"

namespace quorvel {
namespace {

using testing::MakeBmp;
using testing::QtFixture;

class PicturesTest : public QtFixture {
 protected:
  void SetUp() override {
    QtFixture::SetUp();
    ASSERT_TRUE(QDir().mkpath(Drive(QStringLiteral("dpics"))));
  }
  const QString path_ = QStringLiteral("C:\\dpics\\pic.bmp");
};

QImage Sample(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) image.setPixel(x, y, qRgb(x * 7 % 256, y * 31 % 256, x ^ y));
  return image;
}

TEST_F(PicturesTest, WritesA24BitBottomUpBmpByteByByte) {
  QImage image(2, 2, QImage::Format_RGB32);
  image.setPixel(0, 0, qRgb(1, 2, 3));
  image.setPixel(1, 0, qRgb(4, 5, 6));
  image.setPixel(0, 1, qRgb(7, 8, 9));
  image.setPixel(1, 1, qRgb(10, 11, 12));
  const QByteArray b = platform::EncodeBmp24(image);
  ASSERT_EQ(b.size(), 54 + 2 * 8);  // rows of 6 bytes padded to 8
  auto u32 = [&](int at) { return qFromLittleEndian<quint32>(b.constData() + at); };
  auto u16 = [&](int at) { return qFromLittleEndian<quint16>(b.constData() + at); };
  EXPECT_EQ(b.left(2), QByteArray("BM"));
  EXPECT_EQ(u32(2), 70u);
  EXPECT_EQ(u32(10), 54u);
  EXPECT_EQ(u32(14), 40u);
  EXPECT_EQ(u32(18), 2u);
  EXPECT_EQ(u32(22), 2u);  // positive: bottom-up
  EXPECT_EQ(u16(28), 24);
  EXPECT_EQ(u32(30), 0u);  // uncompressed
  // The bottom row comes first, each pixel as blue, green, red.
  const QByteArray rows = b.mid(54);
  EXPECT_EQ(rows, QByteArray::fromHex("0908070c0b0a0000"
                                      "0302010605040000"));
}

TEST_F(PicturesTest, SaveAndLoadKeepEveryChannel) {
  const QImage image = Sample(300, 8);
  const auto saved = platform::SavePicture(image, path_);
  ASSERT_TRUE(saved.ok) << saved.error.toStdString();
  const auto loaded = platform::LoadPicture(path_);
  ASSERT_TRUE(loaded.ok()) << loaded.error.toStdString();
  EXPECT_EQ(loaded.image.convertToFormat(QImage::Format_RGB32), image);
}

TEST_F(PicturesTest, SaveReplacesTheFileAndLeavesNothingElse) {
  ASSERT_TRUE(platform::SavePicture(Sample(50, 8), path_).ok);
  ASSERT_TRUE(platform::SavePicture(Sample(3, 8), path_).ok);
  EXPECT_EQ(platform::LoadPicture(path_).image.width(), 3);
  EXPECT_EQ(QDir(Drive(QStringLiteral("dpics"))).entryList(QDir::Files | QDir::Hidden),
            QStringList{QStringLiteral("pic.bmp")});
}

TEST_F(PicturesTest, SaveFailuresNameThePathAndTheReasonAndKeepTheOldFile) {
  ASSERT_TRUE(platform::SavePicture(Sample(5, 8), path_).ok);
  const QString pic = Drive(QStringLiteral("dpics/pic.bmp"));
  const QByteArray before = testing::ReadFile(pic);
  using platform::FileStep;
  struct Case {
    const char* name;
    std::optional<platform::FileFault> fault;
    QString path;        // the program path saved to
    const char* reason;  // in the message, after the host path
  };
  const Case cases[] = {
      {"no folder", {}, QStringLiteral("C:\\nowhere\\pic.bmp"), "No such file or directory"},
      {"cannot create", platform::FileFault{FileStep::kOpen, EACCES}, path_, "Permission denied"},
      {"disk full", platform::FileFault{FileStep::kWrite, ENOSPC}, path_, "No space left"},
      {"file too large", platform::FileFault{FileStep::kWrite, EFBIG}, path_, "File too large"},
      {"sync fails", platform::FileFault{FileStep::kSync, EIO}, path_, "Input/output error"},
      {"close fails", platform::FileFault{FileStep::kClose, EIO}, path_, "Input/output error"},
      {"rename fails", platform::FileFault{FileStep::kRename, EXDEV}, path_, "cross-device"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    platform::SetFileFaultForTesting(c.fault);
    // Small pictures sit in buffers where there are any; large ones do not.
    for (const QImage& image : {Sample(9, 8), Sample(3000, 200)}) {
      const auto r = platform::SavePicture(image, c.path);
      EXPECT_FALSE(r.ok);
      EXPECT_TRUE(r.error.contains(platform::HostPath(c.path))) << r.error.toStdString();
      EXPECT_TRUE(r.error.contains(QLatin1StringView(c.reason))) << r.error.toStdString();
    }
    platform::SetFileFaultForTesting(std::nullopt);
    EXPECT_EQ(testing::ReadFile(pic), before);
    EXPECT_EQ(QDir(Drive(QStringLiteral("dpics"))).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("pic.bmp")});
  }
}

TEST_F(PicturesTest, OnlyRegularFilesAreReplacedOrRead) {
  const QString dir = Drive(QStringLiteral("dpics"));
  for (const char kind : {'p', 's', 'c', 'd'}) {
    SCOPED_TRACE(kind);
    const QString node = dir + QStringLiteral("/node");
    if (!testing::MakeNode(node, kind)) continue;  // a device needs root
    ASSERT_TRUE(QFile::link(node, dir + QStringLiteral("/link")));
    for (const QString& name : {QStringLiteral("node"), QStringLiteral("link")}) {
      const QString program_path = QStringLiteral("C:\\dpics\\") + name;
      const auto saved = platform::SavePicture(Sample(5, 8), program_path);
      EXPECT_FALSE(saved.ok);
      EXPECT_TRUE(saved.error.contains(QStringLiteral("not a regular file"))) << name.toStdString();
      // Refused at once, without waiting for a writer or reading on forever.
      const auto loaded = platform::LoadPicture(program_path);
      EXPECT_EQ(loaded.failure, platform::PictureFailure::kFile);
      EXPECT_TRUE(loaded.error.contains(QStringLiteral("not a regular file")));
    }
    EXPECT_FALSE(QFileInfo(node).isFile());
    EXPECT_TRUE(QFileInfo(dir + QStringLiteral("/link")).isSymLink());
    QFile::remove(dir + QStringLiteral("/link"));
    QDir(node).removeRecursively();
    QFile::remove(node);
  }
  // /dev/zero never ends.
  const auto zero = platform::LoadPicture(QStringLiteral("/dev/zero"));
  EXPECT_EQ(zero.failure, platform::PictureFailure::kFile);

  // A link to a picture stays a link, and the picture it names is replaced.
  ASSERT_TRUE(platform::SavePicture(Sample(5, 8), QStringLiteral("C:\\dpics\\real.bmp")).ok);
  ASSERT_TRUE(QFile::link(QStringLiteral("real.bmp"), dir + QStringLiteral("/named.bmp")));
  ASSERT_TRUE(platform::SavePicture(Sample(7, 8), QStringLiteral("C:\\dpics\\named.bmp")).ok);
  EXPECT_TRUE(QFileInfo(dir + QStringLiteral("/named.bmp")).isSymLink());
  EXPECT_EQ(platform::LoadPicture(QStringLiteral("C:\\dpics\\real.bmp")).image.width(), 7);
}

TEST_F(PicturesTest, ASaveRemovesWhatKilledSavesLeft) {
  const QString dir = Drive(QStringLiteral("dpics"));
  const QStringList left = {QStringLiteral(".pic.bmp.quorvel-a1B2c3D4"),
                            QStringLiteral(".pic.bmp.quorvel-zzzzzzzz")};
  // Not leftovers: another picture's, a name of another shape, the user's.
  const QStringList kept = {QStringLiteral(".other.bmp.quorvel-a1B2c3D4"),
                            QStringLiteral(".pic.bmp.quorvel-a1B2c3D"),
                            QStringLiteral("pic.bmp.backup")};
  for (const QString& name : left + kept) ASSERT_TRUE(testing::WriteFile(dir + u'/' + name, "x"));
  ASSERT_TRUE(platform::SavePicture(Sample(5, 8), path_).ok);
  QStringList expected = kept + QStringList{QStringLiteral("pic.bmp")};
  expected.sort();
  EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name), expected);
}

TEST_F(PicturesTest, OnlyLosslessPicturesOfBoundedSizeAreRead) {
  const QString pic = Drive(QStringLiteral("dpics/pic.bmp"));
  // A JPEG changes the colours, so no strip survives in one.
  ASSERT_TRUE(Sample(16, 8).save(pic, "JPG"));
  auto r = platform::LoadPicture(path_);
  EXPECT_EQ(r.failure, platform::PictureFailure::kContent);
  EXPECT_TRUE(r.error.contains(QStringLiteral("not a BMP or PNG"))) << r.error.toStdString();
  // A file one byte over the limit is refused without being read.
  QFile big(pic);
  ASSERT_TRUE(big.resize(platform::kMaxPictureFileBytes + 1));
  r = platform::LoadPicture(path_);
  EXPECT_EQ(r.failure, platform::PictureFailure::kContent);
  EXPECT_TRUE(r.error.contains(QStringLiteral("too large"))) << r.error.toStdString();
}

TEST_F(PicturesTest, LoadDecidesTheFormatFromTheContent) {
  // A PNG under a .bmp name loads; a BMP under a .png name loads too.
  const QImage image = Sample(4, 2);
  ASSERT_TRUE(image.save(Drive(QStringLiteral("dpics/pic.bmp")), "PNG"));
  auto r = platform::LoadPicture(path_);
  ASSERT_TRUE(r.ok()) << r.error.toStdString();
  EXPECT_EQ(r.image.convertToFormat(QImage::Format_RGB32), image);

  ASSERT_TRUE(
      testing::WriteFile(Drive(QStringLiteral("dpics/x.png")), platform::EncodeBmp24(image)));
  r = platform::LoadPicture(QStringLiteral("C:\\dpics\\x.png"));
  ASSERT_TRUE(r.ok()) << r.error.toStdString();
  EXPECT_EQ(r.image.convertToFormat(QImage::Format_RGB32), image);
}

TEST_F(PicturesTest, BadFilesFailWithAReason) {
  const QByteArray good = MakeBmp(4, 2, 24, false, std::vector<std::uint32_t>(8, 0x123456));
  QByteArray huge = good;
  qToLittleEndian<qint32>(40000, huge.data() + 18);  // 40,000 x 40,000 claimed
  qToLittleEndian<qint32>(40000, huge.data() + 22);
  QByteArray wrong_magic = good;
  wrong_magic[0] = 'X';

  const std::pair<const char*, QByteArray> cases[] = {
      {"empty", QByteArray()},        {"text", QByteArray("hello, this is not a picture")},
      {"header only", good.left(54)}, {"truncated header", good.left(20)},
      {"absurd size", huge},          {"wrong magic", wrong_magic},
  };
  for (const auto& [name, bytes] : cases) {
    ASSERT_TRUE(testing::WriteFile(Drive(QStringLiteral("dpics/pic.bmp")), bytes));
    const auto r = platform::LoadPicture(path_);
    EXPECT_FALSE(r.ok()) << name;
    EXPECT_FALSE(r.error.isEmpty()) << name;
  }
  QFile::remove(Drive(QStringLiteral("dpics/pic.bmp")));
  const auto missing = platform::LoadPicture(path_);
  EXPECT_FALSE(missing.ok());
  EXPECT_TRUE(missing.error.contains(Drive(QStringLiteral("dpics/pic.bmp"))));
}

TEST_F(PicturesTest, TruncatedBitmapsFailAtEveryLength) {
  struct Layout {
    int bits;
    bool top_down;
  };
  for (const Layout l :
       {Layout{24, false}, Layout{24, true}, Layout{32, false}, Layout{8, false}}) {
    const std::vector<std::uint32_t> pixels(5 * 3, l.bits == 8 ? 1 : 0x00203040);
    const QByteArray whole = MakeBmp(5, 3, l.bits, l.top_down, pixels, {0x00000000, 0x00FF8040});
    ASSERT_TRUE(platform::LoadPictureData(whole).ok()) << l.bits;
    for (qsizetype n = 0; n < whole.size(); ++n) {
      const auto r = platform::LoadPictureData(whole.left(n));
      EXPECT_FALSE(r.ok()) << l.bits << " bits cut at " << n << " of " << whole.size();
    }
  }
}

TEST_F(PicturesTest, PaletteIndexOutOfRangeIsRefused) {
  // Two palette entries, and a pixel that points at entry 200.
  const auto bad =
      platform::LoadPictureData(MakeBmp(2, 1, 8, false, {1, 200}, {0x00000000, 0x00FF8040}));
  EXPECT_FALSE(bad.ok());
  EXPECT_TRUE(bad.error.contains(QStringLiteral("200"))) << bad.error.toStdString();
  const auto good =
      platform::LoadPictureData(MakeBmp(2, 1, 8, false, {1, 0}, {0x00000000, 0x00FF8040}));
  EXPECT_TRUE(good.ok());
}

// An 8-bit run-length encoded bitmap of one row: `runs` pairs of count and
// palette index, then the end-of-bitmap mark.
QByteArray Rle8Bmp(int width, const QByteArray& runs, int colours) {
  QByteArray b = MakeBmp(width, 1, 8, false, std::vector<std::uint32_t>(width, 0),
                         std::vector<std::uint32_t>(colours, 0x00123456));
  const int offset = 54 + 4 * colours;
  b.truncate(offset);
  b += runs;
  b += QByteArray::fromHex("0001");
  qToLittleEndian<quint32>(1, b.data() + 30);  // BI_RLE8
  qToLittleEndian<quint32>(static_cast<quint32>(b.size() - offset), b.data() + 34);
  qToLittleEndian<quint32>(static_cast<quint32>(b.size()), b.data() + 2);
  return b;
}

TEST_F(PicturesTest, RunLengthBitmapsCutShortFail) {
  // Ten runs of ten pixels each.
  QByteArray runs;
  for (int i = 0; i < 10; ++i) runs += QByteArray::fromHex("0a") + char(i);
  const QByteArray whole = Rle8Bmp(100, runs, 16);
  ASSERT_TRUE(platform::LoadPictureData(whole).ok());
  for (qsizetype n = 54; n < whole.size(); ++n) {
    EXPECT_FALSE(platform::LoadPictureData(whole.left(n)).ok()) << "cut at " << n;
  }
}

TEST_F(PicturesTest, AnOffsetInsideTheHeadersDoesNotHideACut) {
  QByteArray bmp = MakeBmp(100, 4, 24, false, std::vector<std::uint32_t>(400, 0x00203040));
  for (const quint32 offset : {0u, 14u}) {
    qToLittleEndian<quint32>(offset, bmp.data() + 10);
    EXPECT_FALSE(platform::LoadPictureData(bmp.left(bmp.size() - 1)).ok()) << offset;
  }
}

TEST_F(PicturesTest, OneBitPalettePastItsEndIsRefused) {
  // A 1-bit bitmap with a palette of one colour and a pixel of index 1.
  QByteArray b = MakeBmp(8, 1, 24, false, std::vector<std::uint32_t>(8, 0));
  b.truncate(54);
  b += QByteArray::fromHex("ffffff00");  // one palette entry
  b += QByteArray::fromHex("40000000");  // pixels: the second one has index 1
  qToLittleEndian<quint16>(1, b.data() + 28);
  qToLittleEndian<quint32>(1, b.data() + 46);
  qToLittleEndian<quint32>(58, b.data() + 10);
  qToLittleEndian<quint32>(4, b.data() + 34);
  qToLittleEndian<quint32>(static_cast<quint32>(b.size()), b.data() + 2);
  const auto r = platform::LoadPictureData(b);
  EXPECT_FALSE(r.ok());
  EXPECT_TRUE(r.error.contains(QStringLiteral("palette"))) << r.error.toStdString();
}

TEST_F(PicturesTest, NothingToSaveKeepsTheOldFile) {
  ASSERT_TRUE(platform::SavePicture(Sample(5, 8), path_).ok);
  const QByteArray before = testing::ReadFile(Drive(QStringLiteral("dpics/pic.bmp")));
  for (const QImage& empty : {QImage(), QImage(0, 8, QImage::Format_RGB32)}) {
    const auto r = platform::SavePicture(empty, path_);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.error.isEmpty());
  }
  EXPECT_EQ(testing::ReadFile(Drive(QStringLiteral("dpics/pic.bmp"))), before);
}

}  // namespace
}  // namespace quorvel
