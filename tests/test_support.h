// A fixture for tests of the platform services and the windows: a private
// data folder for the path mapping, message boxes recorded instead of shown,
// and a fixed date.
#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <vector>

#include "platform/msgbox.h"

namespace quorvel::testing {

class QtFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The host path under the mapped drive C:, e.g. Drive("dpics/pic.bmp").
  QString Drive(const QString& relative = QString()) const;

  // The messages shown so far, and the last one's prompt.
  const std::vector<platform::MessageRecord>& Messages() const { return messages_; }
  QString LastPrompt() const { return messages_.empty() ? QString() : messages_.back().prompt; }
  void ClearMessages() { messages_.clear(); }

  QString data_home_;

 private:
  std::unique_ptr<QTemporaryDir> dir_;
  std::vector<platform::MessageRecord> messages_;
};

// Reads a whole file; empty when it cannot be read.
QByteArray ReadFile(const QString& path);
bool WriteFile(const QString& path, const QByteArray& bytes);

// Makes something other than a regular file at `path`: 'p' a FIFO, 's' a
// socket, 'c' a character device like /dev/null (only as root), 'd' a
// folder. False when it cannot be made.
bool MakeNode(const QString& path, char kind);

// A BMP file built byte by byte: `bits` 24 or 32 (BI_RGB) or 8 (with a
// palette); `top_down` stores the first row first (negative height). Pixels
// are given as 0x00RRGGBB, row by row from the top; for 8 bits they are
// palette indexes and `palette` holds 0x00RRGGBB entries.
QByteArray MakeBmp(int width, int height, int bits, bool top_down,
                   const std::vector<std::uint32_t>& pixels,
                   const std::vector<std::uint32_t>& palette = {});

}  // namespace quorvel::testing
