// Fixtures for the OS services, pictures and windows: a private data folder for the path mapping,
// message boxes recorded instead of shown, a fixed date (on which the notice is not due) and a main
// window on the offscreen platform.
#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <vector>

#include "forms/frmmain.h"
#include "picture/pixels.h"
#include "widgets/msgbox.h"

namespace quorvel::testing {

class QtFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The host path under drive C:, e.g. Drive("dpics/pic.bmp").
  QString Drive(const QString& relative = QString()) const;
  QString PicPath() const { return Drive("dpics/pic.bmp"); }

  const std::vector<widgets::MessageRecord>& Messages() const { return messages_; }
  QString LastPrompt() const { return messages_.empty() ? QString() : messages_.back().prompt; }
  void ClearMessages() { messages_.clear(); }
  // Why a file or picture step failed (an os::Result); empty when it did not.
  static QString Why(const auto& r) { return r.ok() ? QString() : r.failure().sentence; }

  QString data_home_;

 private:
  std::unique_ptr<QTemporaryDir> dir_;
  std::vector<widgets::MessageRecord> messages_;
};

// Drive C: mapped, with its dpics folder made.
class DriveTest : public QtFixture {
 protected:
  void SetUp() override {
    QtFixture::SetUp();
    ASSERT_TRUE(QDir().mkpath(Drive("dpics")));
  }
  QStringList Folder() const {
    return QDir(Drive("dpics")).entryList(QDir::Files | QDir::Hidden, QDir::Name);
  }
  const QString pic_ = "C:\\dpics\\pic.bmp";
};

class FrmMainTest : public QtFixture {
 protected:
  void SetUp() override;
  void TearDown() override;

  void Encrypt(const QString& text);
  void Load() { QTest::mouseClick(form_->cmdLoad, Qt::LeftButton); }
  void Decrypt() { QTest::mouseClick(form_->cmdDecrypt, Qt::LeftButton); }
  void SetKeys(const QStringList& keys);

  std::unique_ptr<frmmain> form_;
};

picture::Pixels Sample(int width, int height);  // a pattern of colours

// A path as the system's C calls take it.
struct NativePath {
  QByteArray bytes;
  operator const char*() const { return bytes.constData(); }
};
inline NativePath Bytes(const QString& path) { return {QFile::encodeName(path)}; }

// The pixels Qt's own reader gives for a picture file of the format, alpha dropped.
picture::Pixels QtPixels(const QByteArray& file, const char* format);

QByteArray ReadFile(const QString& path);
bool WriteFile(const QString& path, const QByteArray& bytes);

}  // namespace quorvel::testing
