#include "tests/test_support.h"

#include <QFile>
#include <QtEndian>

#include "os/clock_testing.h"
#include "os/paths.h"
#include "picture/picture_files.h"
#include "widgets/twips_testing.h"

namespace quorvel::testing {

void QtFixture::SetUp() {
  dir_ = std::make_unique<QTemporaryDir>();
  ASSERT_TRUE(dir_->isValid());
  data_home_ = dir_->path();
  qputenv("XDG_DATA_HOME", data_home_.toUtf8());
  qputenv("LANG", "en_US.UTF-8");
  qunsetenv("LC_ALL");
  qunsetenv("LC_CTYPE");
  widgets::SetMessageHandler(
      [this](const widgets::MessageRecord& record) { messages_.push_back(record); });
  // Day 7, day 341 of the year: no notice by the day of the month or the year.
  os::SetTodayForTesting(QDate(2026, 12, 7));
  QFile::remove(Drive("dpics"));  // a file in the folder's place
  ASSERT_TRUE(QDir(Drive("dpics")).removeRecursively());
}

void QtFixture::TearDown() {
  widgets::SetMessageHandler({});
  os::SetTodayForTesting(std::nullopt);
  widgets::SetTwipsPerPixelForTesting(std::nullopt);
}

QString QtFixture::Drive(const QString& relative) const {
  const QString root = os::HostPath("C:");
  return QDir::toNativeSeparators(relative.isEmpty() ? root : root + u'/' + relative);
}

void FrmMainTest::SetUp() {
  QtFixture::SetUp();
  widgets::SetTwipsPerPixelForTesting(15);
  ASSERT_TRUE(QDir().mkpath(Drive("dpics")));
  form_ = std::make_unique<frmmain>();
}

void FrmMainTest::TearDown() {
  form_.reset();
  QtFixture::TearDown();
}

void FrmMainTest::Encrypt(const QString& text) {
  form_->txtSrc->SetText(text);
  QTest::mouseClick(form_->CmdEncrypt, Qt::LeftButton);
}

void FrmMainTest::SetKeys(const QStringList& keys) {
  for (int i = 0; i < 3; ++i) form_->txtKeys[static_cast<std::size_t>(i)]->SetText(keys[i]);
}

QImage Sample(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) image.setPixel(x, y, qRgb(x * 7 % 256, y * 31 % 256, x ^ y));
  return image;
}

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray MakeBmp(int width, int height, int bits, bool top_down,
                   const std::vector<std::uint32_t>& pixels,
                   const std::vector<std::uint32_t>& palette) {
  const int row = ((width * bits + 31) / 32) * 4;
  const int offset = 54 + (bits == 8 ? 4 * static_cast<int>(palette.size()) : 0);
  QByteArray b(offset + row * height, '\0');
  char* h = b.data();
  b.replace(0, 2, "BM");
  qToLittleEndian<quint32>(static_cast<quint32>(b.size()), h + 2);
  qToLittleEndian<quint32>(static_cast<quint32>(offset), h + 10);
  qToLittleEndian<quint32>(40, h + 14);
  qToLittleEndian<qint32>(width, h + 18);
  qToLittleEndian<qint32>(top_down ? -height : height, h + 22);
  qToLittleEndian<quint16>(1, h + 26);
  qToLittleEndian<quint16>(static_cast<quint16>(bits), h + 28);
  qToLittleEndian<quint32>(static_cast<quint32>(row * height), h + 34);
  qToLittleEndian<quint32>(static_cast<quint32>(palette.size()), h + 46);
  for (std::size_t i = 0; i < palette.size() && bits == 8; ++i) {
    qToLittleEndian<quint32>(palette[i], h + 54 + 4 * i);
  }
  for (int y = 0; y < height; ++y) {
    auto* out =
        reinterpret_cast<unsigned char*>(h + offset + row * (top_down ? y : height - 1 - y));
    for (int x = 0; x < width; ++x) {
      const std::uint32_t p = pixels[static_cast<std::size_t>(y * width + x)];
      const int n = bits / 8;
      for (int i = 0; i < n; ++i) out[x * n + i] = static_cast<unsigned char>(p >> (8 * i));
      if (n == 4) out[x * n + 3] = 0;
    }
  }
  return b;
}

}  // namespace quorvel::testing
