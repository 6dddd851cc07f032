// Saving must never leave a torn or missing strip: quorvel-strip is killed
// with SIGKILL at random moments while it rewrites one path with two texts
// in turn, and a save is made to run out of room with a file size limit.
#include <signal.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <random>

#include "tests/test_support.h"

namespace quorvel {
namespace {

class CrashSafetyTest : public testing::QtFixture {
 protected:
  void SetUp() override {
    QtFixture::SetUp();
    folder_ = data_home_ + "/strips";
    ASSERT_TRUE(QDir().mkpath(folder_));
  }

  // Two texts of different lengths, so that a torn file cannot pass for
  // either: pictures of about 5 and 2.5 megabytes.
  static QByteArray Text(int which) {
    QByteArray text;
    for (int i = 0; i < (which == 0 ? 600 : 300); ++i) {
      text += (which == 0 ? "first text, line " : "SECOND TEXT, LINE ") + QByteArray::number(i) +
              " of the strip\n";
    }
    return text;
  }

  // The text quorvel-strip decodes from the picture; null when it fails.
  QByteArray Decode() const {
    QProcess process;
    process.start(QUORVEL_STRIP, {"decode", Target()});
    process.waitForFinished();
    return process.exitCode() == 0 ? process.readAllStandardOutput() : QByteArray();
  }

  // Tall strips make the write long enough for kills to land inside it.
  QStringList EncodeArgs(int which) const {
    return {"encode", "--height", "200",
            "-o",     Target(),   folder_ + "/text" + QString::number(which) + ".txt"};
  }

  // Whether the process holds a file of the strips' folder open, as it does
  // while it writes a picture there.
  bool WritesInFolder(qint64 pid) const {
    const QString fds = "/proc/" + QString::number(pid) + "/fd";
    for (const QString& fd : QDir(fds).entryList(QDir::AllEntries | QDir::System)) {
      const QString link = QFile::symLinkTarget(fds + u'/' + fd);
      if (link.startsWith(folder_ + u'/') && !link.endsWith(".txt")) return true;
    }
    return false;
  }

  QString Target() const { return folder_ + "/pic.bmp"; }
  QStringList Listed() const {
    return QDir(folder_).entryList(QDir::Files | QDir::Hidden, QDir::Name);
  }

  QString folder_;
};

TEST_F(CrashSafetyTest, KilledSavesLeaveAWholeStrip) {
  const QByteArray texts[2] = {Text(0), Text(1)};
  for (int i = 0; i < 2; ++i)
    ASSERT_TRUE(testing::WriteFile(folder_ + "/text" + QString::number(i) + ".txt", texts[i]));
  ASSERT_EQ(QProcess::execute(QUORVEL_STRIP, EncodeArgs(0)), 0);
  ASSERT_EQ(Decode(), texts[0]);
  // How long one save takes here, to spread the kills over it.
  QElapsedTimer timer;
  timer.start();
  ASSERT_EQ(QProcess::execute(QUORVEL_STRIP, EncodeArgs(1)), 0);
  const qint64 save_ms = std::max<qint64>(timer.elapsed(), 5);

  std::mt19937 random(20261206);
  int killed_running = 0, killed_writing = 0;
  constexpr int kRounds = 60;
  for (int round = 0; round < kRounds; ++round) {
    QProcess process;
    process.start(QUORVEL_STRIP, EncodeArgs(round % 2));
    ASSERT_TRUE(process.waitForStarted());
    if (round % 3 == 0) {  // at any moment of the run
      QThread::usleep(static_cast<unsigned long>(random() % (save_ms * 1000)));
    } else {  // while it writes its new picture, which has no name until complete
      while (!process.waitForFinished(0) && !WritesInFolder(process.processId()))
        QThread::usleep(20);
      QThread::usleep(static_cast<unsigned long>(random() % 500));
    }
    if (process.state() == QProcess::Running) {
      killed_writing += WritesInFolder(process.processId()) ? 1 : 0;
      ::kill(static_cast<pid_t>(process.processId()), SIGKILL);
      ++killed_running;
    }
    process.waitForFinished();
    const QByteArray now = Decode();
    ASSERT_TRUE(now == texts[0] || now == texts[1]) << round << ": " << now.left(60).toStdString();
  }
  // Most kills must have hit a running save, or the test proved nothing.
  EXPECT_GE(killed_running, kRounds / 2);
  EXPECT_GE(killed_writing, kRounds / 4);
  // The next save that completes takes away what the killed ones left.
  ASSERT_EQ(QProcess::execute(QUORVEL_STRIP, EncodeArgs(0)), 0);
  EXPECT_EQ(Listed(), QStringList({"pic.bmp", "text0.txt", "text1.txt"}));
}

TEST_F(CrashSafetyTest, SaveThatRunsOutOfRoomKeepsTheOldStrip) {
  ASSERT_TRUE(testing::WriteFile(folder_ + "/text0.txt", "old"));
  ASSERT_EQ(QProcess::execute(QUORVEL_STRIP, EncodeArgs(0)), 0);
  const QByteArray before = testing::ReadFile(Target());
  // A small strip fits in any write buffer and fails only when it is
  // flushed; a large one fails in the middle of its writes.
  for (const QByteArray& text : {QByteArray("new"), Text(0)}) {
    ASSERT_TRUE(testing::WriteFile(folder_ + "/text1.txt", text));
    QProcess process;
    process.start("/bin/bash",
                  QStringList{"-c",
                              "ulimit -f " + QString::number(text.size() < 100 ? 0 : 64) +
                                  " && exec \"$0\" \"$@\"",
                              QUORVEL_STRIP} +
                      EncodeArgs(1));
    ASSERT_TRUE(process.waitForFinished());
    EXPECT_EQ(process.exitCode(), 3);
    EXPECT_TRUE(process.readAllStandardError().contains(Target().toUtf8() + ": File too large."));
    EXPECT_EQ(testing::ReadFile(Target()), before);
    EXPECT_EQ(Listed(), QStringList({"pic.bmp", "text0.txt", "text1.txt"}));
  }
}

}  // namespace
}  // namespace quorvel
