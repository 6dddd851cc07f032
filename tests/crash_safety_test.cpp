// Saving must never leave a torn or missing strip: quorvel-strip is killed
// with SIGKILL at random moments while it rewrites one path with two texts
// in turn, and a save is made to run out of room with a file size limit.
#include <signal.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <cstdio>
#include <random>

#include "cipher/strip.h"
#include "platform/persistent_image.h"
#include "platform/pictures.h"
#include "tests/test_support.h"

namespace quorvel {
namespace {

class CrashSafetyTest : public testing::QtFixture {
 protected:
  void SetUp() override {
    QtFixture::SetUp();
    folder_ = data_home_ + QStringLiteral("/strips");
    ASSERT_TRUE(QDir().mkpath(folder_));
  }

  // Two texts of different lengths, so that a torn file cannot pass for
  // either: pictures of about 5 and 2.5 megabytes.
  static QByteArray Text(int which) {
    QByteArray text;
    const int lines = which == 0 ? 600 : 300;
    for (int i = 0; i < lines; ++i) {
      text += (which == 0 ? "first text, line " : "SECOND TEXT, LINE ") + QByteArray::number(i) +
              " of the strip\n";
    }
    return text;
  }

  // The text the picture at `path` decodes to with the default keys; a
  // null array when it does not load or decode.
  static QByteArray Decode(const QString& path) {
    const auto picture = platform::LoadPicture(path);
    if (!picture.ok()) return {};
    platform::PersistentImage image;
    image.SetPicture(picture.image);
    const auto decoded = DecodeStrip(
        KeyTriple{{42, 42, 42}}, static_cast<float>(image.Size().width()),
        [&](std::int32_t x) { return image.Point(x, 0); }, *FindCodePage(1252));
    if (!decoded.ok()) return {};
    QString text = QString::fromStdU16String(decoded.text);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text.toLatin1();
  }

  QStringList EncodeArgs(int which) const {
    // Tall strips make the write long enough for kills to land inside it.
    return {QStringLiteral("encode"),
            QStringLiteral("--height"),
            QStringLiteral("200"),
            QStringLiteral("-o"),
            Target(),
            folder_ + QStringLiteral("/text%1.txt").arg(which)};
  }

  // Whether the process holds a file of the strips' folder open, as it does
  // while it writes a picture there.
  bool WritesInFolder(qint64 pid) const {
    const QByteArray prefix = (folder_ + u'/').toUtf8();
    const QString fds = QStringLiteral("/proc/%1/fd").arg(pid);
    for (const QString& fd : QDir(fds).entryList(QDir::AllEntries | QDir::System)) {
      char target[4096];
      const ssize_t n =
          ::readlink(QFile::encodeName(fds + u'/' + fd).constData(), target, sizeof target);
      if (n <= 0) continue;
      const QByteArray link(target, static_cast<qsizetype>(n));
      if (link.startsWith(prefix) && !link.endsWith(".txt")) return true;
    }
    return false;
  }

  QString Target() const { return folder_ + QStringLiteral("/pic.bmp"); }

  QString folder_;
};

TEST_F(CrashSafetyTest, KilledSavesLeaveAWholeStrip) {
  const QByteArray texts[2] = {Text(0), Text(1)};
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(testing::WriteFile(folder_ + QStringLiteral("/text%1.txt").arg(i), texts[i]));
  }
  // A first whole strip, not interrupted.
  ASSERT_EQ(QProcess::execute(QStringLiteral(QUORVEL_STRIP), EncodeArgs(0)), 0);
  ASSERT_EQ(Decode(Target()), texts[0]);

  // How long one save takes here, to spread the kills over it.
  QElapsedTimer timer;
  timer.start();
  ASSERT_EQ(QProcess::execute(QStringLiteral(QUORVEL_STRIP), EncodeArgs(1)), 0);
  const qint64 save_ms = std::max<qint64>(timer.elapsed(), 5);

  std::mt19937 random(20261206);
  int killed_running = 0;
  int killed_writing = 0;
  constexpr int kRounds = 60;
  for (int round = 0; round < kRounds; ++round) {
    QProcess process;
    process.start(QStringLiteral(QUORVEL_STRIP), EncodeArgs(round % 2));
    ASSERT_TRUE(process.waitForStarted());
    if (round % 3 == 0) {
      // At any moment of the run.
      QThread::usleep(static_cast<unsigned long>(random() % (save_ms * 1000)));
    } else {
      // While the picture is being written: once the program holds a file
      // in the folder open (its new picture has no name until complete).
      while (!process.waitForFinished(0) && !WritesInFolder(process.processId())) {
        QThread::usleep(20);
      }
      QThread::usleep(static_cast<unsigned long>(random() % 500));
    }
    if (process.state() == QProcess::Running) {
      const bool writing = WritesInFolder(process.processId());
      ::kill(static_cast<pid_t>(process.processId()), SIGKILL);
      ++killed_running;
      killed_writing += writing ? 1 : 0;
    }
    process.waitForFinished();
    const QByteArray now = Decode(Target());
    ASSERT_TRUE(now == texts[0] || now == texts[1])
        << "after round " << round << " the file decodes to " << now.left(60).toStdString();
  }
  // Most kills must have hit a running save, or the test proved nothing.
  EXPECT_GE(killed_running, kRounds / 2);
  RecordProperty("kills", killed_running);
  EXPECT_GE(killed_writing, kRounds / 4) << "too few kills hit a save while it was writing";
  std::printf(
      "%d of %d saves killed while running, %d of them while writing; the file stayed "
      "whole\n",
      killed_running, kRounds, killed_writing);

  // The next save that completes takes away what the killed ones left.
  ASSERT_EQ(QProcess::execute(QStringLiteral(QUORVEL_STRIP), EncodeArgs(0)), 0);
  EXPECT_EQ(QDir(folder_).entryList(QDir::Files | QDir::Hidden, QDir::Name).join(u' '),
            QStringLiteral("pic.bmp text0.txt text1.txt"));
}

TEST_F(CrashSafetyTest, SaveThatRunsOutOfRoomKeepsTheOldStrip) {
  ASSERT_TRUE(testing::WriteFile(folder_ + QStringLiteral("/text0.txt"), "old"));
  ASSERT_EQ(QProcess::execute(QStringLiteral(QUORVEL_STRIP), EncodeArgs(0)), 0);
  const QByteArray before = testing::ReadFile(Target());
  ASSERT_FALSE(before.isEmpty());

  // A small strip fits in any write buffer and fails only when it is
  // flushed; a large one fails in the middle of its writes.
  for (const QByteArray& text : {QByteArray("new"), Text(0)}) {
    ASSERT_TRUE(testing::WriteFile(folder_ + QStringLiteral("/text1.txt"), text));
    QStringList args = {
        QStringLiteral("-c"),
        QStringLiteral("ulimit -f %1 && exec \"$0\" \"$@\"").arg(text.size() < 100 ? 0 : 64),
        QStringLiteral(QUORVEL_STRIP)};
    args += EncodeArgs(1);
    QProcess process;
    process.start(QStringLiteral("/bin/bash"), args);
    ASSERT_TRUE(process.waitForFinished());
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 3);
    const QByteArray error = process.readAllStandardError();
    EXPECT_TRUE(error.contains(Target().toUtf8() + ": File too large.")) << error.toStdString();

    EXPECT_EQ(testing::ReadFile(Target()), before);
    EXPECT_EQ(QDir(folder_).entryList(QDir::Files | QDir::Hidden).size(), 3)
        << QDir(folder_).entryList(QDir::Files | QDir::Hidden).join(u' ').toStdString();
  }
}

}  // namespace
}  // namespace quorvel
