// Saving among other users: links they made, files they own, folders they
// may write to, new files they watch for. Files of other users need root to
// be made; without it these cases are skipped.
#include <grp.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QProcess>
#include <atomic>
#include <functional>
#include <thread>

#include "platform/pictures.h"
#include "tests/test_support.h"

namespace quorvel {
namespace {

constexpr uid_t kUser = 1234, kOther = 65534;

class SavingTest : public testing::QtFixture {
 protected:
  void SetUp() override {
    QtFixture::SetUp();
    if (::geteuid() != 0) GTEST_SKIP() << "files of other users can only be made by root";
    shared_ = data_home_ + "/shared";
    home_ = data_home_ + "/home";
    ASSERT_TRUE(QDir().mkpath(shared_) && QDir().mkpath(home_));
    ASSERT_EQ(::chmod(Bytes(data_home_), 0755) | ::chmod(Bytes(shared_), 01777), 0);
    ASSERT_EQ(::chown(Bytes(home_), kUser, kUser), 0);
  }
  struct Name {
    QByteArray bytes;
    operator const char*() const { return bytes.constData(); }
  };
  static Name Bytes(const QString& path) { return {QFile::encodeName(path)}; }
  // A file of `owner`'s, or a link of theirs to `target`.
  static void Make(const QString& path, uid_t owner, const QString& target = {}) {
    ASSERT_TRUE(target.isEmpty() ? testing::WriteFile(path, "old") : QFile::link(target, path));
    ASSERT_EQ(::lchown(Bytes(path), owner, owner), 0);
    ASSERT_TRUE(!target.isEmpty() || ::chmod(Bytes(path), 0644) == 0);
  }
  // quorvel-strip encode run as `uid`: its exit status and standard error.
  std::pair<int, QByteArray> Encode(uid_t uid, const QStringList& output) const {
    QProcess process;
    process.setChildProcessModifier([uid] {
      if (::setgroups(0, nullptr) != 0 || ::setgid(uid) != 0 || ::setuid(uid) != 0) _exit(99);
    });
    process.start(QUORVEL_STRIP, QStringList{"encode", "--keys", "1,2,3"} + output);
    process.write("hello\n");
    process.closeWriteChannel();
    process.waitForFinished();
    return {process.exitCode(), process.readAllStandardError()};
  }
  QString shared_, home_;
};

TEST_F(SavingTest, LinksFilesAndFoldersOfOthersAreTheKernelsWay) {
  const QString victim = home_ + "/important", mine = home_ + "/mine.bmp";
  // The data folder's owner, group and mode for a case.
  const auto data = [&](uid_t uid, gid_t gid, mode_t mode) {
    return [&, uid, gid, mode] {
      ::chown(Bytes(data_home_), uid, gid), ::chmod(Bytes(data_home_), mode);
    };
  };
  const QString a = shared_ + "/a.bmp", b = shared_ + "/b.bmp", c = shared_ + "/c.bmp";
  // clang-format off
  const std::tuple<const char*, std::function<void()>, uid_t, QString, int, const char*> cases[] = {
      {"another user's link", [&] { Make(a, kOther, victim); }, kUser, a, 3, "another user made in the shared folder"},
      {"a link to nothing", [&] { Make(a, kUser, home_ + "/none"); }, kUser, a, 3, "does not exist"},
      {"the user's own link", [&] { Make(b, kUser, "../home/mine.bmp"); }, kUser, b, 0, ""},
      {"the folder owner's link", [&] { Make(c, 0, mine); }, kUser, c, 0, ""},
      {"a read-only file", [&] { ::chmod(Bytes(victim), 0444); }, kUser, victim, 3, "read-only"},
      {"a folder that cannot be synced", [&] { ::chmod(Bytes(home_), 0333); }, kUser, home_ + "/x.bmp", 3, "cannot be synced"},
      {"a data folder its group may write to", data(kUser, 42, 0775), kUser, {}, 3, "can be written by other users"},
      {"a shared data folder", data(0, 0, 0777), kUser, {}, 3, "can be written by other users"},
      {"a data folder of another user", data(kOther, kOther, 0777), kUser, {}, 3, "belongs to another user"},
      {"a name of 250 bytes", [] {}, kUser, home_ + '/' + QString(246, 'n') + ".bmp", 0, ""},
      // Last: root saves over the user's file, with a second name, of the user's group 42.
      {"a file with a second name", [&] { ::link(Bytes(victim), Bytes(home_ + "/second")), ::chown(Bytes(victim), kUser, 42), ::chmod(Bytes(victim), 06750); }, 0, victim, 0, "had another name, which still shows the old file"}};
  // clang-format on
  for (const auto& [what, make, as, path, expected, message] : cases) {
    SCOPED_TRACE(what);
    ::chmod(Bytes(home_), 0755);
    QFile::remove(a);
    Make(victim, kUser);
    Make(mine, kUser);
    make();
    const auto [status, said] =
        Encode(as, path.isEmpty() ? QStringList() : QStringList{"-o", path});
    data(0, 0, 0755)();
    EXPECT_EQ(status, expected) << said.toStdString();
    EXPECT_TRUE(said.contains(message) && said.count('\n') == (*message ? 1 : 0));
    // A refusal writes nothing; a save through a link replaces its target.
    EXPECT_EQ(testing::ReadFile(victim) == "old", path != victim || expected != 0);
    EXPECT_EQ(testing::ReadFile(mine) == "old", expected != 0 || !QFileInfo(path).isSymLink());
    EXPECT_EQ(QFileInfo(path).isSymLink(), path.startsWith(shared_));
    EXPECT_TRUE(!QFile::exists(home_ + "/second") || testing::ReadFile(home_ + "/second") == "old");
    QFile::remove(home_ + "/second");
  }
  EXPECT_FALSE(QFileInfo::exists(home_ + "/none") || QFileInfo::exists(PicPath()));
  // Its replacement keeps owner, group and permission bits, never set-ID ones.
  struct stat st {};
  ASSERT_EQ(::stat(Bytes(victim), &st), 0);
  EXPECT_EQ(std::tuple(st.st_uid, st.st_gid, st.st_mode & 07777), std::tuple(kUser, 42u, 0750u));
}

// Another user who watches the folder for new files never reads one of a
// private picture.
TEST_F(SavingTest, NewFilesAreNeverReadableByOthers) {
  const QString path = home_ + "/secret.bmp";
  Make(path, 0);
  ASSERT_EQ(::chmod(Bytes(path), 0600), 0);
  const int watch = ::inotify_init1(IN_NONBLOCK);
  ASSERT_GE(::inotify_add_watch(watch, Bytes(home_), IN_CREATE | IN_MOVED_TO), 0);
  std::atomic<bool> done = false;
  std::atomic<int> read = 0;
  std::thread watcher([&] {
    ::syscall(SYS_setfsuid, kOther);  // this thread alone opens files as the other user
    alignas(inotify_event) char events[4096];
    while (!done) {
      const ssize_t n = ::read(watch, events, sizeof events);
      for (ssize_t at = 0; at < n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(events + at);
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        QFile file(home_ + u'/' + QFile::decodeName(event->name));
        if (file.open(QIODevice::ReadOnly)) ++read;  // what it holds can be read from now on
      }
    }
  });
  for (int i = 0; i < 20; ++i)
    EXPECT_TRUE(platform::SavePicture(testing::Sample(3000, 200), path).ok);
  done = true;
  watcher.join();
  ::close(watch);
  EXPECT_EQ(read, 0);
}

}  // namespace
}  // namespace quorvel
