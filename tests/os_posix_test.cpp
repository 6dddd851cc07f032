// The OS services on POSIX systems alone, from the path mapping on.
#include <fcntl.h>
#include <pwd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QFileInfo>
#include <QTemporaryFile>
#include <QTimeZone>
#include <atomic>
#include <climits>
#include <ctime>
#include <thread>

#include "forms/program_info.h"
#include "os/clock.h"
#include "os/clock_testing.h"
#include "os/files.h"
#include "os/files_testing.h"
#include "os/paths.h"
#include "os/shown_name.h"
#include "os/utf8.h"
#include "picture/picture_files.h"
#include "tests/test_support.h"

// Counts the regular files synced to the disk; the save code calls this.
static int regular_files_synced = 0;
extern "C" int fsync(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) ++regular_files_synced;
  return static_cast<int>(::syscall(SYS_fsync, fd));
}

namespace quorvel {
namespace {

using testing::Bytes, testing::DriveTest, testing::FrmMainTest, testing::ReadFile, testing::Sample;

TEST_F(DriveTest, ProgramPathsMapUnderTheDataFolder) {
  // Program paths and their host paths, "~" for the data folder's quorvel/drive_.
  // clang-format off
  const char* cases[] = {
      "C:\\dpics\\pic.bmp", "~c/dpics/pic.bmp", "c:\\dpics", "~c/dpics", "D:\\a\\b.txt", "~d/a/b.txt",
      "C:", "~c", "C:\\a\\\\b\\.\\c/d", "~c/a/b/c/d", "C:\\..\\etc\\passwd", "", "C:/../x", "",
      "C:\\dpics\\..\\..\\x", "", "/tmp/a\\b.bmp", "/tmp/a\\b.bmp", "relative/p.bmp", "relative/p.bmp"};
  // clang-format on
  for (std::size_t i = 0; i < std::size(cases); i += 2) {
    const QString host = QString(cases[i + 1]).replace("~", data_home_ + "/quorvel/drive_");
    EXPECT_EQ(os::HostPath(cases[i]), host) << cases[i];
  }
  // Without a usable XDG_DATA_HOME: ~/.local/share, HOME from the account database when unset or
  // empty, and a HOME that is not UTF-8 kept as bytes.
  const QByteArray saved_home = qgetenv("HOME"), account = getpwuid(getuid())->pw_dir;
  const QByteArray homes[] = {"/home/a", {}, "", "/home/caf\xe9"};
  for (const QByteArray& home : homes) {
    home.isNull() ? qunsetenv("HOME") : qputenv("HOME", home);
    for (const char* data_home : {"", "relative/dir"}) {
      *data_home ? qputenv("XDG_DATA_HOME", data_home) : qunsetenv("XDG_DATA_HOME");
      EXPECT_EQ(os::FileNameBytes(os::HostPath("C:\\dpics")),
                (home.isEmpty() ? account : home) + "/.local/share/quorvel/drive_c/dpics");
    }
  }
  qputenv("HOME", saved_home);
}

// Today's date is the local one: where the clock is 14 hours ahead of UTC or 11 behind, at least
// one of the two dates differs from UTC's.
TEST_F(DriveTest, TodayIsTheLocalDate) {
  os::SetTodayForTesting(std::nullopt);
  const QByteArray saved = qgetenv("TZ");
  for (const char* zone : {"Pacific/Kiritimati", "Pacific/Pago_Pago"}) {
    qputenv("TZ", zone);
    tzset();
    const std::time_t now = std::time(nullptr);
    const QDate today = os::Today();
    if (std::time(nullptr) != now) continue;  // the second turned over
    EXPECT_EQ(today, QDateTime::fromSecsSinceEpoch(now, QTimeZone(zone)).date()) << zone;
  }
  saved.isNull() ? qunsetenv("TZ") : qputenv("TZ", saved);
  tzset();
}

TEST_F(DriveTest, SavesReplaceTheOldFileOnlyWhenTheNewOneIsOnTheDisk) {
  const mode_t mask = ::umask(027);  // a new picture's mode is 0666 less the umask
  ASSERT_TRUE(picture::SavePicture(Sample(5, 8), pic_).ok());
  ::umask(mask);
  struct stat st {};
  EXPECT_EQ(::stat(Bytes(PicPath()), &st) == 0 ? st.st_mode & 0777 : 0, 0640u);
  const int synced = regular_files_synced;
  ASSERT_TRUE(picture::SavePicture(Sample(50, 8), pic_).ok());
  EXPECT_GT(regular_files_synced, synced);
  const QByteArray before = ReadFile(PicPath());
  using enum os::FileStep;
  const std::tuple<std::optional<os::FileFault>, QString, const char*> cases[] = {
      {{}, "C:\\no\nwhere\\pic.bmp", "No such file or directory"},
      {os::FileFault{kOpen, EACCES}, pic_, "Permission denied"},
      {os::FileFault{kWrite, ENOSPC}, pic_, "No space left"},
      {os::FileFault{kSync, EIO}, pic_, "Input/output error"},
      {os::FileFault{kClose, EIO}, pic_, "Input/output error"},
      {os::FileFault{kRename, EXDEV}, pic_, "cross-device"},
      {{}, pic_, "no picture to save"}};
  for (const auto& [fault, path, reason] : cases) {
    os::SetFileFaultForTesting(fault);
    // Small pictures sit in buffers where there are any; large ones do not.
    const bool empty = !fault && path == pic_;
    for (const picture::Pixels& image :
         empty ? QList{picture::Pixels()} : QList{Sample(9, 8), Sample(3000, 200)}) {
      const auto r = picture::SavePicture(image, path);
      EXPECT_TRUE(Why(r).contains(os::ShownName(os::HostPath(path)) + ": ")) << reason;
      EXPECT_TRUE(Why(r).contains(QLatin1StringView(reason))) << Why(r).toStdString();
    }
    os::SetFileFaultForTesting(std::nullopt);
    EXPECT_EQ(ReadFile(PicPath()), before);
    EXPECT_EQ(Folder(), QStringList{"pic.bmp"});
  }
  // Where the file system has no unnamed files, a new file has a name before it is locked:
  // concurrent saves, each pausing there, never take one another's new file for a leftover.
  os::SetNamedNewFilesForTesting(std::chrono::milliseconds(3));
  std::atomic<int> failed = 0;
  std::vector<std::thread> savers;
  for (int i = 0; i < 6; ++i)
    savers.emplace_back([&] {
      for (int j = 0; j < 20; ++j) failed += !os::ReplaceFileWith(PicPath(), "a").ok();
    });
  for (std::thread& saver : savers) saver.join();
  os::SetNamedNewFilesForTesting({});
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(Folder(), QStringList{"pic.bmp"});
}

TEST_F(DriveTest, OnlyRegularFilesAreReplacedOrRead) {
  const QString dir = Drive("dpics");
  ASSERT_EQ(::mkfifo(Bytes(dir + "/fifo"), 0644), 0);
  ASSERT_TRUE(QDir().mkpath(dir + "/folder"));
  ASSERT_TRUE(QFile::link(dir + "/fifo", dir + "/link"));
  ASSERT_EQ(::mknod(Bytes(dir + "/socket"), S_IFSOCK | 0644, 0), 0);
  for (const char* name : {"fifo", "folder", "link", "socket"}) {
    const QString path = "C:\\dpics\\" + QLatin1StringView(name);
    const auto saved = picture::SavePicture(Sample(5, 8), path);
    EXPECT_TRUE(Why(saved).contains("not a regular file")) << name;
    // Refused at once, without waiting for a writer.
    const auto loaded = picture::LoadPicture(path);
    EXPECT_EQ(loaded.failure().kind, os::Failure::Kind::kFile) << name;
    EXPECT_TRUE(Why(loaded).contains("not a regular file")) << name;
  }
  EXPECT_TRUE(QFileInfo(dir + "/link").isSymLink());
  ASSERT_TRUE(QFile::link(dir + "/loop", dir + "/loop"));  // a link to itself
  EXPECT_TRUE(Why(picture::LoadPicture("C:\\dpics\\loop")).contains("Too many levels of symbolic"));
  EXPECT_TRUE(Why(picture::LoadPicture("/dev/null")).contains("it is a character device, not a"));
  // A FIFO swapped with the picture again and again, between any two steps of a read, is never
  // opened: a read takes the picture or refuses the FIFO.
  ASSERT_TRUE(picture::SavePicture(Sample(5, 8), pic_).ok());
  const QByteArray fifo = QFile::encodeName(dir + "/fifo"), pic = QFile::encodeName(PicPath());
  const int watch = ::inotify_init1(IN_NONBLOCK);
  ASSERT_GE(::inotify_add_watch(watch, fifo.constData(), IN_OPEN), 0);
  std::atomic<bool> done = false;
  std::thread swapper([&] {
    while (!done)
      ::renameat2(AT_FDCWD, fifo.constData(), AT_FDCWD, pic.constData(), RENAME_EXCHANGE);
  });
  int refused = 0;  // and so swapped
  for (int i = 0; i < 50000; ++i) {
    const auto r = os::ReadRegularFile(PicPath(), 1 << 20);
    refused += !r.ok();
    EXPECT_TRUE(r.ok() || Why(r) == "it is a FIFO, not a regular file") << Why(r).toStdString();
  }
  done = true;
  swapper.join();
  EXPECT_GT(refused, 0);
  char event[sizeof(inotify_event) + NAME_MAX + 1];
  EXPECT_LT(::read(watch, event, sizeof event), 0) << "the FIFO was opened";
  ::close(watch);
}

// Nor is a link read that another user made in a shared sticky folder; the user's own is.
TEST_F(DriveTest, ReadsFollowNoLinkOfAnotherUserInASharedFolder) {
  if (::geteuid() != 0) GTEST_SKIP() << "links of other users can only be made by root";
  ASSERT_TRUE(picture::SavePicture(Sample(5, 8), pic_).ok());
  ASSERT_EQ(::chmod(Bytes(Drive("dpics")), 01777), 0);
  for (const uid_t owner : {65534u, 0u}) {
    const QString link = Drive("dpics/link") + QString::number(owner);
    ASSERT_TRUE(QFile::link(PicPath(), link));
    ASSERT_EQ(::lchown(Bytes(link), owner, owner), 0);
    const QString refused = "it is a link that another user (uid 65534) made in a shared folder";
    EXPECT_EQ(Why(picture::LoadPicture(link)).contains(refused), owner != 0);
    EXPECT_EQ(Why(os::ReadInput(link, 1 << 20)).startsWith(refused), owner != 0);
  }
}

// The window program answers --help, -h and --version, before "--" only, on its output, and says so
// when that cannot be written.
TEST_F(DriveTest, TheWindowProgramAnswersHelpAndVersionBeforeAnyWindow) {
  const QByteArray help = "\nThe picture: " + PicPath().toUtf8() + '\n';
  const QByteArray full_disk =
      "quorvel: standard output could not be written: No space left on device.\n";
  const std::tuple<std::vector<const char*>, bool, std::optional<int>, QByteArray> cases[] = {
      {{"quorvel", "--version"}, false, 0, "quorvel " QUORVEL_VERSION "\n"},
      {{"quorvel", "-platform", "offscreen", "-h"}, false, 0, help},
      {{"quorvel", "--help", "--version"}, false, 0, help},
      {{"quorvel", "--", "--help"}, false, std::nullopt, ""},
      {{"quorvel", "--help"}, true, 1, full_disk}};
  for (const auto& [argv, full, status, said] : cases) {
    std::FILE *out = full ? std::fopen("/dev/full", "w") : std::tmpfile(), *errors = std::tmpfile();
    EXPECT_EQ(AnswerInformationRequest(int(argv.size()), argv.data(), out, errors), status);
    char shown[4096] = {};
    std::rewind(full ? errors : out);
    std::fread(shown, 1, sizeof shown - 1, full ? errors : out);
    EXPECT_TRUE(said.isEmpty() ? !*shown : QByteArray(shown).contains(said)) << shown;
    std::fclose(out), std::fclose(errors);
  }
}

TEST_F(FrmMainTest, StartUpMakesThePictureFolderOrEndsWithAReason) {
  ASSERT_TRUE(QDir(Drive()).removeRecursively());
  ASSERT_TRUE(form_->Form_Load());
  EXPECT_TRUE(QFileInfo(Drive("dpics")).isDir());
  EXPECT_EQ(form_->pDecrypt->Tag(), "0");
  // A file where the drive's folder belongs: a message box and a line on standard error name the
  // folder, and start-up ends.
  ASSERT_TRUE(QDir(Drive()).removeRecursively());
  ASSERT_TRUE(testing::WriteFile(Drive(), "in the way"));
  QTemporaryFile captured;
  ASSERT_TRUE(captured.open());
  std::fflush(stderr);
  const int saved = dup(STDERR_FILENO);
  dup2(captured.handle(), STDERR_FILENO);
  EXPECT_FALSE(frmmain().Form_Load());
  std::fflush(stderr);
  dup2(saved, STDERR_FILENO);
  close(saved);
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0].buttons, widgets::vbCritical);
  EXPECT_TRUE(LastPrompt().contains(Drive("dpics"))) << LastPrompt().toStdString();
  EXPECT_EQ(ReadFile(captured.fileName()), "quorvel: " + LastPrompt().toUtf8() + '\n');
}

}  // namespace
}  // namespace quorvel
