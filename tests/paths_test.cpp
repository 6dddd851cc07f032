#include "platform/paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "tests/test_support.h"

namespace quorvel {
namespace {

using testing::QtFixture;

class PathsTest : public QtFixture {};

TEST_F(PathsTest, DriveLettersMapUnderTheDataFolder) {
  const QString base = data_home_ + QStringLiteral("/quorvel");
  struct Case {
    const char* program;
    QString host;
  };
  for (const Case& c : {
           Case{"C:\\dpics\\pic.bmp", base + "/drive_c/dpics/pic.bmp"},
           Case{"c:\\dpics", base + "/drive_c/dpics"},
           Case{"D:\\a\\b\\c.txt", base + "/drive_d/a/b/c.txt"},
           Case{"C:\\", base + "/drive_c"},
           Case{"C:", base + "/drive_c"},
           Case{"C:\\a\\\\b\\.\\c", base + "/drive_c/a/b/c"},
           Case{"C:\\dpics\\my pic.bmp", base + "/drive_c/dpics/my pic.bmp"},
       }) {
    EXPECT_EQ(platform::HostPath(QString::fromUtf8(c.program)), c.host) << c.program;
  }
}

TEST_F(PathsTest, ParentFoldersAreRefused) {
  EXPECT_EQ(platform::HostPath(QStringLiteral("C:\\..\\etc\\passwd")), QString());
  EXPECT_EQ(platform::HostPath(QStringLiteral("C:\\dpics\\..\\..\\x")), QString());
  EXPECT_EQ(platform::HostPath(QStringLiteral("C:/../../x")), QString());
  EXPECT_EQ(platform::HostPath(QStringLiteral("C:\\a/..\\..\\x")), QString());
}

TEST_F(PathsTest, PathsWithoutADriveAreUsedAsTheyAre) {
  for (const char* path : {"/tmp/a\\b.bmp", "relative/pic.bmp", "pic.bmp", "\\dpics\\pic.bmp"}) {
    EXPECT_EQ(platform::HostPath(QString::fromUtf8(path)), QString::fromUtf8(path));
  }
  EXPECT_EQ(platform::HostPath(QStringLiteral("C:\\a/b")),
            data_home_ + QStringLiteral("/quorvel/drive_c/a/b"));
}

TEST_F(PathsTest, UnsetOrRelativeDataHomeFallsBackToHome) {
  const QByteArray saved_home = qgetenv("HOME");
  const QByteArray account = getpwuid(getuid())->pw_dir;
  struct Case {
    const char* data_home;  // nullptr: unset
    const char* home;       // nullptr: unset
    QByteArray expected;    // the data folder, as bytes
  };
  for (const Case& c : {
           Case{nullptr, "/home/someone", "/home/someone"},
           Case{"relative/dir", "/home/someone", "/home/someone"},
           Case{nullptr, nullptr, account},
           Case{nullptr, "", account},
           Case{nullptr, "/home/caf\xe9", "/home/caf\xe9"},
       }) {
    SCOPED_TRACE(c.home ? c.home : "HOME unset");
    c.data_home ? qputenv("XDG_DATA_HOME", c.data_home) : qunsetenv("XDG_DATA_HOME");
    c.home ? qputenv("HOME", c.home) : qunsetenv("HOME");
    EXPECT_EQ(platform::FileNameBytes(platform::HostPath(QStringLiteral("C:\\dpics"))),
              c.expected + "/.local/share/quorvel/drive_c/dpics");
  }
  qputenv("HOME", saved_home);
}

TEST_F(PathsTest, NamesThatAreNotUtf8KeepTheirBytes) {
  for (const QByteArray& bytes : {QByteArray("\xff\xfe.bmp"), QByteArray("caf\xe9"),
                                  QByteArray("caf\xc3\xa9 \xf0\x9f\x98\x80"),
                                  QByteArray("\xed\xa0\x80 \xc0\xaf \xf4\x90\x80\x80 \xe2\x82"),
                                  QByteArray("\xf0\x9f\x98\x80\x80")}) {
    EXPECT_EQ(platform::FileNameBytes(platform::FileNameFromBytes(bytes)), bytes)
        << bytes.toHex().toStdString();
  }
  EXPECT_EQ(platform::FileNameFromBytes("caf\xc3\xa9"), QStringLiteral("caf\u00e9"));
  // A data folder named so is made and found under exactly that name.
  const QByteArray folder = QFile::encodeName(data_home_) + "/\xff";
  qputenv("XDG_DATA_HOME", folder);
  QString error;
  ASSERT_TRUE(platform::MkDir(QStringLiteral("c:\\dpics"), &error)) << error.toStdString();
  struct stat made {};
  EXPECT_EQ(stat((folder + "/quorvel/drive_c/dpics").constData(), &made), 0);
  EXPECT_EQ(platform::Dir(QStringLiteral("c:\\dpics"), platform::vbDirectory),
            QStringLiteral("dpics"));
}

TEST_F(PathsTest, DirFindsFilesAndFoldersWithTheDirectoryAttribute) {
  EXPECT_EQ(platform::Dir(QStringLiteral("c:\\dpics"), platform::vbDirectory), QString());
  ASSERT_TRUE(QDir().mkpath(Drive(QStringLiteral("dpics"))));
  EXPECT_EQ(platform::Dir(QStringLiteral("c:\\dpics"), platform::vbDirectory),
            QStringLiteral("dpics"));
  // Without the attribute a folder does not match.
  EXPECT_EQ(platform::Dir(QStringLiteral("c:\\dpics"), 0), QString());

  ASSERT_TRUE(testing::WriteFile(Drive(QStringLiteral("dpics/pic.bmp")), "x"));
  EXPECT_EQ(platform::Dir(QStringLiteral("c:\\dpics\\pic.bmp")), QStringLiteral("pic.bmp"));
}

TEST_F(PathsTest, MkDirCreatesTheDriveFolderAsNeeded) {
  QString error;
  ASSERT_TRUE(platform::MkDir(QStringLiteral("c:\\dpics"), &error)) << error.toStdString();
  EXPECT_TRUE(QFileInfo(Drive(QStringLiteral("dpics"))).isDir());
}

TEST_F(PathsTest, MkDirNamesTheFolderAndTheReason) {
  // A file where the drive's folder should be.
  ASSERT_TRUE(QDir().mkpath(data_home_ + QStringLiteral("/quorvel")));
  ASSERT_TRUE(testing::WriteFile(Drive(), "not a folder"));
  QString error;
  EXPECT_FALSE(platform::MkDir(QStringLiteral("c:\\dpics"), &error));
  EXPECT_TRUE(error.contains(Drive(QStringLiteral("dpics")))) << error.toStdString();
  EXPECT_TRUE(error.contains(QStringLiteral("Not a directory")) ||
              error.contains(QStringLiteral("File exists")))
      << error.toStdString();
}

}  // namespace
}  // namespace quorvel
