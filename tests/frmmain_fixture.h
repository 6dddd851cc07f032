// A main window on the offscreen platform, with its picture folder in a
// private data folder and message boxes recorded.
#pragma once

#include <QDir>
#include <QImage>
#include <QTest>
#include <memory>
#include <vector>

#include "forms/frmmain.h"
#include "platform/pictures.h"
#include "platform/twips.h"
#include "tests/test_support.h"

namespace quorvel::testing {

class FrmMainTest : public QtFixture {
 protected:
  void SetUp() override {
    QtFixture::SetUp();
    qputenv("LANG", "en_US.UTF-8");
    qunsetenv("LC_ALL");
    qunsetenv("LC_CTYPE");
    platform::SetTwipsPerPixelForTesting(15);
    ASSERT_TRUE(QDir().mkpath(Drive(QStringLiteral("dpics"))));
    form_ = std::make_unique<frmmain>();
  }
  void TearDown() override {
    form_.reset();
    QtFixture::TearDown();
  }

  QString PicPath() const { return Drive(QStringLiteral("dpics/pic.bmp")); }

  // The strip in the file: the colour of row 0 of every column.
  std::vector<std::uint32_t> FileColumns() const {
    const auto loaded = platform::LoadPicture(QStringLiteral("C:\\dpics\\pic.bmp"));
    std::vector<std::uint32_t> columns;
    if (!loaded.ok()) return columns;
    const QImage image = loaded.image.convertToFormat(QImage::Format_RGB32);
    for (int x = 0; x < image.width(); ++x) {
      const QRgb c = image.pixel(x, 0);
      columns.push_back(static_cast<std::uint32_t>(qRed(c) | qGreen(c) << 8 | qBlue(c) << 16));
    }
    return columns;
  }

  void Encrypt(const QString& text) {
    form_->txtSrc->SetText(text);
    QTest::mouseClick(form_->CmdEncrypt, Qt::LeftButton);
  }
  void Load() { QTest::mouseClick(form_->cmdLoad, Qt::LeftButton); }
  void Decrypt() { QTest::mouseClick(form_->cmdDecrypt, Qt::LeftButton); }
  void SetKeys(const QString& k0, const QString& k1, const QString& k2) {
    form_->txtKeys[0]->SetText(k0);
    form_->txtKeys[1]->SetText(k1);
    form_->txtKeys[2]->SetText(k2);
  }

  std::unique_ptr<frmmain> form_;
};

}  // namespace quorvel::testing
