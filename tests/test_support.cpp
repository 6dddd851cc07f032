#include "tests/test_support.h"

#include <QFile>

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
  for (const char* name : {"LC_ALL", "LC_CTYPE"}) qunsetenv(name);
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

picture::Pixels Sample(int width, int height) {
  picture::Pixels image(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      std::uint8_t* rgb = image.At(x, y);
      rgb[0] = std::uint8_t(x * 7), rgb[1] = std::uint8_t(y * 31), rgb[2] = std::uint8_t(x ^ y);
    }
  return image;
}

picture::Pixels QtPixels(const QByteArray& file, const char* format) {
  const QImage image = QImage::fromData(file, format);
  picture::Pixels pixels(image.width(), image.height());
  for (int i = 0; i < image.width() * image.height(); ++i) {
    const QRgb c = image.pixel(i % image.width(), i / image.width());
    for (const int k : {0, 1, 2})
      pixels.rgb[std::size_t(3 * i + k)] = std::uint8_t(c >> (16 - 8 * k));
  }
  return pixels;
}

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

}  // namespace quorvel::testing
