// Saving must never leave a torn or missing strip: quorvel-strip is killed with SIGKILL at random
// moments while it rewrites one path with two texts in turn, and a save is made to run out of room
// with a file size limit.
#include <signal.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <random>

#include "tests/test_support.h"

namespace quorvel {
namespace {

class CrashSafetyTest : public testing::QtFixture {
 protected:
  QString In(const QString& name) const { return data_home_ + "/strips/" + name; }
  // Tall strips make the write long enough for kills to land inside it.
  QStringList EncodeArgs(int which) const {
    return {"encode", "--height",    "200",
            "-o",     In("pic.bmp"), In("text" + QString::number(which) + ".txt")};
  }
  // The text quorvel-strip decodes from the picture; null when it fails.
  QByteArray Decode() const {
    QProcess process;
    process.start(QUORVEL_STRIP, {"decode", In("pic.bmp")});
    process.waitForFinished();
    return process.exitCode() == 0 ? process.readAllStandardOutput() : QByteArray();
  }
  // Whether the process holds a file of the strips' folder open, as while it writes a picture.
  bool WritesInFolder(qint64 pid) const {
    const QString fds = "/proc/" + QString::number(pid) + "/fd";
    for (const QString& fd : QDir(fds).entryList(QDir::AllEntries | QDir::System)) {
      const QString link = QFile::symLinkTarget(fds + u'/' + fd);
      if (link.startsWith(In("")) && !link.endsWith(".txt")) return true;
    }
    return false;
  }
  // Nothing but the picture and the texts: no leftover.
  bool OnlyThePicture() const {
    return QDir(In("")).entryList(QDir::Files | QDir::Hidden, QDir::Name) ==
           QStringList({"pic.bmp", "text0.txt", "text1.txt"});
  }
};

TEST_F(CrashSafetyTest, KilledSavesAndSavesOutOfRoomLeaveAWholeStrip) {
  // Texts of different lengths (strips of about 5 and 2.5 MB): a torn file passes for neither.
  QByteArray texts[2];
  ASSERT_TRUE(QDir().mkpath(In("")));
  for (int i = 0; i < 2; ++i) {
    for (int line = 0; line < 600 / (i + 1); ++line)
      texts[i] += (i ? "SECOND TEXT, LINE " : "first text, line ") + QByteArray::number(line) +
                  " of the strip\n";
    ASSERT_TRUE(testing::WriteFile(In("text" + QString::number(i) + ".txt"), texts[i]));
  }
  // How long one save takes here, to spread the kills over it.
  QElapsedTimer timer;
  timer.start();
  ASSERT_EQ(QProcess::execute(QUORVEL_STRIP, EncodeArgs(0)), 0);
  const qint64 save_ms = std::max<qint64>(timer.elapsed(), 5);
  ASSERT_EQ(Decode(), texts[0]);

  std::mt19937 random(20261206);
  int killed_running = 0, killed_writing = 0;
  constexpr int kRounds = 60;
  for (int round = 0; round < kRounds; ++round) {
    QProcess process;
    process.start(QUORVEL_STRIP, EncodeArgs(round % 2));
    ASSERT_TRUE(process.waitForStarted());
    // Kills at any moment (one round in 3) or while it writes its new picture, unnamed till done.
    while (round % 3 && !process.waitForFinished(0) && !WritesInFolder(process.processId()))
      QThread::usleep(20);
    QThread::usleep(static_cast<unsigned long>(random() % (round % 3 ? 500 : save_ms * 1000)));
    if (process.state() == QProcess::Running) {
      killed_writing += WritesInFolder(process.processId()) ? 1 : 0;
      ::kill(static_cast<pid_t>(process.processId()), SIGKILL);
      ++killed_running;
    }
    process.waitForFinished();
    const QByteArray now = Decode();
    ASSERT_TRUE(now == texts[0] || now == texts[1]) << round << ": " << now.left(60).data();
  }
  // Most kills must have hit a running save, or the test proved nothing.
  EXPECT_GE(killed_running, kRounds / 2);
  EXPECT_GE(killed_writing, kRounds / 4);
  // The next save that completes takes away what the killed ones left.
  ASSERT_EQ(QProcess::execute(QUORVEL_STRIP, EncodeArgs(1)), 0);
  EXPECT_TRUE(OnlyThePicture());
  // A save that runs out of room keeps the old strip. A small one fits in any write buffer and
  // fails only when it is flushed; a large one fails in the middle of its writes.
  const QByteArray before = testing::ReadFile(In("pic.bmp"));
  for (const QByteArray& text : {QByteArray("new"), texts[0]}) {
    ASSERT_TRUE(testing::WriteFile(In("text0.txt"), text));
    const QString limit = "ulimit -f " + QString::number(text.size() < 100 ? 0 : 64);
    QProcess process;
    process.start("/bin/bash", QStringList{"-c", limit + " && exec \"$0\" \"$@\"", QUORVEL_STRIP} +
                                   EncodeArgs(0));
    ASSERT_TRUE(process.waitForFinished());
    EXPECT_EQ(process.exitCode(), 3);
    EXPECT_TRUE(
        process.readAllStandardError().contains(In("pic.bmp").toUtf8() + ": File too large."));
    EXPECT_TRUE(testing::ReadFile(In("pic.bmp")) == before && OnlyThePicture());
  }
}

}  // namespace
}  // namespace quorvel
