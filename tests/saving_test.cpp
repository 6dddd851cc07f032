// Saving among real users made for each test (by root; without it these cases are skipped): links
// and files of others, folders others may write to, new files others watch for.
#include <grp.h>
#include <pwd.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <QProcess>
#include <QScopeGuard>
#include <atomic>
#include <functional>
#include <thread>

#include "picture/picture_files.h"
#include "tests/test_support.h"

namespace quorvel {
namespace {

using testing::Bytes;

struct User {
  QString name;
  uid_t uid = 0;
  gid_t gid = 0;
};
const User kRoot{"root", 0, 0};

class SavingTest : public testing::QtFixture {
 protected:
  // The victim and mallory with groups of their own; the two others share one primary group.
  User victim_, mallory_, member_, partner_;
  QString shared_group_, shared_, open_, home_;

  void SetUp() override {
    QtFixture::SetUp();
    if (::geteuid() != 0) GTEST_SKIP() << "other users can only be made by root";
    const QString prefix = "qv" + QString::number(::getpid());
    shared_group_ = prefix + 's';
    ASSERT_EQ(QProcess::execute("/usr/sbin/groupadd", {shared_group_}), 0);
    for (auto [user, suffix, group] : {std::tuple{&victim_, 'v', QStringList{"-U"}},
                                       {&mallory_, 'm', {"-U"}},
                                       {&member_, 'w', {"-N", "-g", shared_group_}},
                                       {&partner_, 'p', {"-N", "-g", shared_group_}}}) {
      user->name = prefix + suffix;
      ASSERT_EQ(QProcess::execute("/usr/sbin/useradd", group + QStringList{"-M", user->name}), 0);
      const passwd* account = ::getpwnam(user->name.toUtf8().constData());
      ASSERT_TRUE(account);
      user->uid = account->pw_uid, user->gid = account->pw_gid;
    }
    // A sticky folder as /tmp, one anyone may write to, the victim's home.
    shared_ = data_home_ + "/shared", open_ = data_home_ + "/open", home_ = data_home_ + "/home";
    ASSERT_TRUE(QDir().mkpath(shared_) && QDir().mkpath(open_) && QDir().mkpath(home_));
    ASSERT_EQ(::chmod(Bytes(data_home_), 0755) | ::chmod(Bytes(shared_), 01777) |
                  ::chmod(Bytes(open_), 0777) | ::chown(Bytes(home_), victim_.uid, victim_.gid),
              0);
  }
  void TearDown() override {
    for (const User* user : {&victim_, &mallory_, &member_, &partner_})
      if (!user->name.isEmpty()) QProcess::execute("/usr/sbin/userdel", {user->name});
    if (!shared_group_.isEmpty()) QProcess::execute("/usr/sbin/groupdel", {shared_group_});
    QtFixture::TearDown();
  }
  // A file of `owner`'s, or a link of theirs to `target`.
  static void Make(const QString& path, const User& owner, const QString& target = {}) {
    ASSERT_TRUE(target.isEmpty() ? testing::WriteFile(path, "old") : QFile::link(target, path));
    ASSERT_EQ(::lchown(Bytes(path), owner.uid, owner.gid), 0);
    ASSERT_TRUE(!target.isEmpty() || ::chmod(Bytes(path), 0644) == 0);
  }
  // A shell command run as `user`: its exit status and standard error.
  static std::pair<int, QByteArray> As(const User& user, const QString& command) {
    QProcess process;
    process.setChildProcessModifier([user] {
      if (::setgroups(0, nullptr) != 0 || ::setresgid(user.gid, user.gid, user.gid) != 0 ||
          ::setresuid(user.uid, user.uid, user.uid) != 0) {
        _exit(99);
      }
    });
    process.start("/bin/sh", {"-c", command});
    process.waitForFinished();
    return {process.exitCode(), process.readAllStandardError()};
  }
  // quorvel-strip encoding "hello" as `user` after `before`, into `output` or the default picture.
  static std::pair<int, QByteArray> Encode(const User& user, const QString& output,
                                           const QString& before = {}) {
    return As(user, before + "echo hello | exec '" QUORVEL_STRIP "' encode --keys 1,2,3" +
                        (output.isEmpty() ? QString() : " -o '" + output + '\''));
  }
};

TEST_F(SavingTest, OnlyTheUsersOwnLinksAndFoldersAreTrusted) {
  const QString victim = home_ + "/important", mine = home_ + "/mine.bmp", keep = home_ + "/keep";
  // A change root makes in the data folder.
  const auto data = [&](const QString& command) {
    return [&, command] { ASSERT_EQ(As(kRoot, "cd " + data_home_ + " && " + command).first, 0); };
  };
  const QString a = open_ + "/a.bmp", b = open_ + "/b.bmp", c = shared_ + "/c.bmp";
  const QString m = "belongs to another user, " + mallory_.name + " (uid ";
  // clang-format off
  const std::tuple<const char*, std::function<void()>, User, QString, int, QString> cases[] = {
      {"another user's link in a folder anyone may write to", [&] { Make(a, mallory_, victim); }, victim_, a, 3, "the link " + a + ' ' + m},
      {"another user's link in a sticky folder", [&] { Make(c, mallory_, victim); }, victim_, c, 3, "the link " + c + ' ' + m},
      {"another user's link on the way", [&] { Make(open_ + "/d", mallory_, home_); }, victim_, open_ + "/d/important", 3, m},
      {"another user's link, saved by root", [&] { Make(a, mallory_, victim); }, kRoot, a, 3, m},
      {"another user's link as the data folder", [&] { QDir().mkdir(keep), ::chown(Bytes(keep), victim_.uid, 0), Make(shared_ + "/vdata", mallory_, keep), qputenv("XDG_DATA_HOME", Bytes(shared_ + "/vdata").bytes); }, victim_, {}, 3, m},
      {"the user's own link", [&] { Make(b, victim_, "../home/mine.bmp"); }, victim_, b, 0, ""},
      {"root's link", [&] { Make(c, kRoot, mine); }, victim_, c, 0, ""},
      {"a link to nothing", [&] { Make(b, victim_, home_ + "/none"); }, victim_, b, 3, "does not exist"},
      {"a link that names a folder", [&] { Make(b, victim_, "../home/mine.bmp/"); }, victim_, b, 3, "Not a directory"},
      {"another user's file in a sticky folder, saved by root", [&] { Make(c, mallory_), ::chmod(Bytes(c), 0666); }, kRoot, c, 3, "it " + m},
      {"a read-only file", [&] { ::chmod(Bytes(victim), 0444); }, victim_, victim, 3, "read-only"},
      {"a folder that cannot be synced", [&] { ::chmod(Bytes(home_), 0333); }, victim_, home_ + "/x.bmp", 3, "cannot be synced"},
      {"an access list that lets another user write", data("setfacl -m u:" + mallory_.name + ":rwx ."), victim_, {}, 3, "its access list lets the user " + mallory_.name},
      {"an access list whose mask does not let them", data("setfacl -m u:" + mallory_.name + ":rwx,m::r-x ."), victim_, {}, 0, ""},
      {"a group's access list whose mask does not let it", data("setfacl -m g:" + shared_group_ + ":rwx,m::r-x ."), victim_, {}, 0, ""},
      {"a default access list", data("setfacl -d -m u:" + mallory_.name + ":rwx ."), victim_, {}, 3, "its default access list lets the user " + mallory_.name},
      {"an access list that lets a group write", data("setfacl -m g:" + shared_group_ + ":rwx ."), victim_, {}, 3, "lets the group " + shared_group_},
      {"a group-writable folder of a shared group", data("chown " + member_.name + ": . && chmod 775 ."), member_, {}, 3, "its group " + shared_group_ + " (gid " + QString::number(member_.gid) + ") may write, and it is not the user's private group"},
      {"a group-writable folder of the user's private group", data("chmod 775 ."), victim_, {}, 0, ""},
      {"a data folder anyone may write to", data("chmod 777 ."), victim_, {}, 3, "anyone may write"},
      {"a data folder of another user", data("chown " + mallory_.name + ":0 . && chmod 777 ."), victim_, {}, 3, "the folder " + data_home_ + ' ' + m},
      {"a name of 250 bytes", [] {}, victim_, home_ + '/' + QString(246, 'n') + ".bmp", 0, ""},
      // Last: root saves over the victim's file, with a second name, of the shared group.
      {"a file with a second name", [&] { ::link(Bytes(victim), Bytes(home_ + "/second")), ::chown(Bytes(victim), victim_.uid, member_.gid), ::chmod(Bytes(victim), 06750); }, kRoot, victim, 0, "had another name, which still shows the old file"}};
  // clang-format on
  for (const auto& [what, make, as, path, expected, message] : cases) {
    SCOPED_TRACE(what);
    // The victim's own data folder again, without what earlier cases made.
    data("setfacl -bk . && chown " + victim_.name + ": . && chmod 755 . home &&" +
         " rm -rf quorvel open/* shared/* home/second")();
    for (const QString& file : {victim, mine}) Make(file, victim_);
    qputenv("XDG_DATA_HOME", data_home_.toUtf8());
    make();
    const auto [status, said] = Encode(as, path);
    EXPECT_EQ(status, expected) << said.toStdString();
    EXPECT_TRUE(said.contains(message.toUtf8()) && said.count('\n') == (message.isEmpty() ? 0 : 1))
        << said.toStdString();
    // A refusal writes nothing; a save through a link replaces its target.
    EXPECT_EQ(testing::ReadFile(victim) == "old", path != victim || expected != 0);
    EXPECT_EQ(testing::ReadFile(mine) == "old", expected != 0 || !QFileInfo(path).isSymLink());
    EXPECT_TRUE(testing::ReadFile(c).isEmpty() || testing::ReadFile(c) == "old" || expected == 0);
    EXPECT_TRUE(!QFile::exists(home_ + "/second") || testing::ReadFile(home_ + "/second") == "old");
  }
  EXPECT_FALSE(QFileInfo::exists(home_ + "/none") || QFileInfo::exists(keep + "/quorvel"));
  // Its replacement keeps owner, group and permission bits, never set-ID ones.
  struct stat st {};
  ASSERT_EQ(::stat(Bytes(victim), &st), 0);
  EXPECT_EQ(std::tuple(st.st_uid, st.st_gid, st.st_mode & 07777),
            std::tuple(victim_.uid, member_.gid, 0750u));
  // The saver's own file keeps its group, another of the saver's.
  ASSERT_EQ(::chown(Bytes(mine), 0, member_.gid), 0);
  ASSERT_EQ(Encode(kRoot, mine).first, 0);
  EXPECT_EQ(::stat(Bytes(mine), &st) == 0 ? st.st_gid : 0, member_.gid);
}

// Folders it makes, whatever the umask, are closed to a user who shares the saver's primary group;
// another user who watches for new files never reads one of a private picture; a replaced picture's
// access list, extended attributes and permission bits carry over, or the save is refused.
TEST_F(SavingTest, WhatItMakesLetsNoOneElseIn) {
  const QString dpics = Drive("dpics");
  struct stat st {};
  ASSERT_EQ(::chown(Bytes(data_home_), member_.uid, member_.gid), 0);
  for (const mode_t mask : {002, 0277}) {
    SCOPED_TRACE(mask);
    QDir(data_home_ + "/quorvel").removeRecursively();
    ASSERT_EQ(Encode(member_, {}, "umask " + QString::number(mask, 8) + ";").first, 0);
    for (const QString& folder : {data_home_ + "/quorvel", Drive(), dpics})
      EXPECT_EQ(::stat(Bytes(folder), &st) == 0 ? st.st_mode & 07777 : 0, 0700u);
    EXPECT_NE(As(partner_, "ln -s x " + dpics + "/l.bmp").first, 0);
  }
  const QString secret = home_ + "/secret.bmp";
  Make(secret, kRoot);
  ASSERT_EQ(::chmod(Bytes(secret), 0600), 0);
  const int watch = ::inotify_init1(IN_NONBLOCK);
  ASSERT_GE(::inotify_add_watch(watch, Bytes(home_), IN_CREATE | IN_MOVED_TO), 0);
  std::atomic<bool> done = false;
  std::atomic<int> read = 0;
  std::thread watcher([&] {
    ::syscall(SYS_setfsuid, mallory_.uid);  // this thread alone opens files as the other user
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
    EXPECT_TRUE(picture::SavePicture(testing::Sample(3000, 200), secret).ok());
  done = true;
  watcher.join();
  ::close(watch);
  EXPECT_EQ(read, 0);
  const QString path = home_ + "/p.bmp";
  Make(path, victim_);
  const QString entry = "user:" + mallory_.name + ":---";
  ASSERT_EQ(As(kRoot, "setfacl -m " + entry + ' ' + path).first, 0);
  ASSERT_EQ(::setxattr(Bytes(path), "user.note", "kept", 4, 0), 0);
  ASSERT_EQ(Encode(victim_, path).first, 0);
  char note[8] = {};
  EXPECT_EQ(::getxattr(Bytes(path), "user.note", note, sizeof note), 4);
  EXPECT_STREQ(note, "kept");
  EXPECT_EQ(As(kRoot, "getfacl -cp " + path + " | grep -x " + entry).first, 0);
  EXPECT_EQ(As(victim_, "test -r " + path).first, 0);
  EXPECT_EQ(As(mallory_, "test -r " + path).first, 1);
  // A security attribute that only root may set.
  ASSERT_EQ(::setxattr(Bytes(path), "security.quorvel", "x", 1, 0), 0);
  const QByteArray before = testing::ReadFile(path);
  const auto [status, said] = Encode(victim_, path);
  EXPECT_TRUE(status == 3 && testing::ReadFile(path) == before &&
              said.contains("its extended attribute security.quorvel could not be kept: "))
      << said.toStdString();
  EXPECT_EQ(Encode(kRoot, path).first, 0);
  EXPECT_EQ(::getxattr(Bytes(path), "security.quorvel", note, sizeof note), 1);
  // Where a file system keeps no access lists (ramfs, some network ones), the bits alone do.
  const QString folder = home_ + "/ramfs", bits = folder + "/p.bmp";
  ASSERT_TRUE(QDir().mkpath(folder));
  if (::mount("ramfs", Bytes(folder), "ramfs", 0, nullptr) != 0) GTEST_SKIP() << "no ramfs here";
  const auto unmount = qScopeGuard([&] { ::umount(Bytes(folder)); });
  ASSERT_EQ(::chown(Bytes(folder), victim_.uid, victim_.gid), 0);
  Make(bits, victim_);
  ASSERT_EQ(::chmod(Bytes(bits), 0600), 0);
  const int kept = Encode(victim_, bits, "umask 022;").first;
  EXPECT_EQ(std::pair(kept, ::stat(Bytes(bits), &st) == 0 ? st.st_mode & 07777 : 0),
            std::pair(0, 0600u));
}

}  // namespace
}  // namespace quorvel
