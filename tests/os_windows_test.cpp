// The OS services on Windows alone.
#include <windows.h>
// After windows.h, which it needs.
#include <sddl.h>

#include <QProcess>
#include <QScopeGuard>

#include "os/codepage_host.h"
#include "os/files_testing.h"
#include "os/paths.h"
#include "picture/picture_files.h"
#include "tests/test_support.h"

namespace quorvel {
namespace {

using testing::DriveTest, testing::Sample;

const wchar_t* Wide(const QString& s) { return reinterpret_cast<const wchar_t*>(s.utf16()); }

// Windows' words for an error, as the program quotes them.
QString WindowsText(unsigned long code) {
  wchar_t text[512];
  const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, code, 0, text, 512, nullptr);
  QString words = QString::fromWCharArray(text, length).trimmed();
  return words.endsWith(u'.') ? words.chopped(1) : words;
}

// Who may do what with a file, first set from `sddl` when one is given.
QByteArray AccessList(const QString& path, const wchar_t* sddl = nullptr) {
  PSECURITY_DESCRIPTOR set = nullptr;
  if (sddl && ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, 1, &set, nullptr)) {
    SetFileSecurityW(Wide(path), DACL_SECURITY_INFORMATION, set);
  }
  LocalFree(set);
  QByteArray list(4096, '\0');
  DWORD size = 0;
  GetFileSecurityW(Wide(path), DACL_SECURITY_INFORMATION, list.data(), 4096, &size);
  return list.left(static_cast<qsizetype>(GetSecurityDescriptorLength(list.data())));
}

TEST_F(DriveTest, PathsAreUsedAsWrittenAndFailuresInWindowsWords) {
  ASSERT_TRUE(os::MkDir("c:\\dpics\\a\\b").ok());
  EXPECT_EQ(os::Dir("C:\\dpics\\A\\b", os::vbDirectory), "b");
  // A save keeps the old file's hidden mark and who may do what with it.
  ASSERT_TRUE(picture::SavePicture(Sample(5, 8), pic_).ok());
  ASSERT_TRUE(SetFileAttributesW(Wide(PicPath()), FILE_ATTRIBUTE_HIDDEN));
  const QByteArray access = AccessList(PicPath(), L"D:P(A;;FA;;;WD)");
  ASSERT_TRUE(picture::SavePicture(Sample(6, 8), pic_).ok());
  EXPECT_TRUE(GetFileAttributesW(Wide(PicPath())) & FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(AccessList(PicPath()), access);
  // Faults of the seam, and real ones (read-only, held open): old files stay.
  const QByteArray before = testing::ReadFile(PicPath());
  ASSERT_TRUE(testing::WriteFile(Drive("dpics\\ro.bmp"), before));
  ASSERT_TRUE(SetFileAttributesW(Wide(Drive("dpics\\ro.bmp")), FILE_ATTRIBUTE_READONLY));
  const QString error = Why(os::MkDir("C:\\dpics\\ro.bmp\\g"));  // a file in the way
  EXPECT_TRUE(error.endsWith("g could not be created: " + WindowsText(ERROR_ALREADY_EXISTS) + "."));
  using os::FileFault, os::FileStep;
  const std::tuple<std::optional<FileFault>, QString, QString> cases[] = {
      {{}, "C:\\nowhere\\pic.bmp", WindowsText(ERROR_PATH_NOT_FOUND)},
      {FileFault{FileStep::kOpen, EACCES}, pic_, WindowsText(ERROR_ACCESS_DENIED)},
      {FileFault{FileStep::kWrite, ENOSPC}, pic_, WindowsText(ERROR_DISK_FULL)},
      {FileFault{FileStep::kSync, EIO}, pic_, WindowsText(ERROR_IO_DEVICE)},
      {FileFault{FileStep::kClose, EIO}, pic_, WindowsText(ERROR_IO_DEVICE)},
      {FileFault{FileStep::kRename, EXDEV}, pic_, WindowsText(ERROR_NOT_SAME_DEVICE)},
      {{}, "C:\\dpics\\ro.bmp", "it is read-only"},
      {{}, "held", WindowsText(ERROR_SHARING_VIOLATION)}};
  for (const auto& [fault, path, reason] : cases) {
    os::SetFileFaultForTesting(fault);
    const HANDLE held = CreateFileW(Wide(path == "held" ? PicPath() : "none"), GENERIC_READ, 0,
                                    nullptr, OPEN_EXISTING, 0, nullptr);  // shared with no one
    const auto saved = picture::SavePicture(Sample(9, 8), path == "held" ? pic_ : path);
    CloseHandle(held);
    os::SetFileFaultForTesting(std::nullopt);
    EXPECT_TRUE(Why(saved).endsWith(": " + reason + ".")) << Why(saved).toStdString();
    EXPECT_EQ(testing::ReadFile(PicPath()) + testing::ReadFile(Drive("dpics\\ro.bmp")),
              before + before);
    EXPECT_EQ(Folder(), QStringList({"pic.bmp", "ro.bmp"}));
  }
}

TEST_F(DriveTest, DevicesFoldersLeftoversAndLinks) {
  const auto path = [](const QString& name) {  // from \\ on as it is, else in C:\dpics
    return name[0] == '\\' ? name : "C:\\dpics\\" + name;
  };
  ASSERT_TRUE(QDir().mkpath(Drive("dpics\\folder.bmp")));
  for (const QString name : {"NUL", "nul.bmp", "Con.txt", "com1 .bmp", "AUX", "lpt9.png", "conin$",
                             "sub\\prn.bmp", "\\\\.\\C:", "folder.bmp"}) {
    const QString refusal = QStringLiteral("it is a %1, not a regular file.")
                                .arg(name == "folder.bmp" ? "folder" : "device");
    EXPECT_TRUE(Why(picture::SavePicture(Sample(5, 8), path(name))).endsWith(refusal));
    EXPECT_TRUE(Why(picture::LoadPicture(path(name))).endsWith(refusal)) << name.toStdString();
  }
  for (const QString name : {"nul2.bmp", "com10.bmp", "xprn.bmp", "\\\\.\\C:\\dpics\\pic.bmp"}) {
    EXPECT_TRUE(picture::SavePicture(Sample(5, 8), path(name)).ok()) << name.toStdString();
  }
  // What killed saves left goes, whatever the name's case, but not the new file of a save still
  // running, which holds it open.
  const QString left = Drive("dpics\\" + os::NewFileName("pic.bmp"));
  const QString running = Drive("dpics\\" + os::NewFileName("pic.bmp"));
  ASSERT_TRUE(testing::WriteFile(left, "x") && QFile::remove(PicPath()));
  const HANDLE held = CreateFileW(Wide(running), GENERIC_READ, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_TRUE(picture::SavePicture(Sample(5, 8), "C:\\dpics\\PIC.BMP").ok());
  EXPECT_TRUE(!QFileInfo::exists(left) && QFileInfo::exists(running));
  CloseHandle(held);
  ASSERT_TRUE(picture::SavePicture(Sample(5, 8), pic_).ok());
  EXPECT_FALSE(QFileInfo::exists(running));
  // A link stays, its file is replaced. Wine makes no links: a Unix one.
  const QString link = Drive("dpics\\named.bmp");
  const auto linked = [&] { return QFileInfo::exists(link); };
  CreateSymbolicLinkW(Wide(link), L"PIC.BMP", SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
  if (!linked())
    QProcess::startDetached("Z:\\bin\\ln", {"-s", "PIC.BMP", "named.bmp"}, Drive("dpics"));
  const auto unlink = qScopeGuard([&] {  // Wine's own delete would remove PIC.BMP
    QProcess::startDetached("Z:\\bin\\rm", {"named.bmp"}, Drive("dpics"));
    return QTest::qWaitFor([&] { return !linked(); });
  });
  if (!QTest::qWaitFor(linked, 3000)) GTEST_SKIP() << "no links can be made here";
  ASSERT_TRUE(picture::SavePicture(Sample(7, 8), "C:\\dpics\\named.bmp").ok());
  EXPECT_EQ(picture::LoadPicture(pic_).value().width, 7);
}

// Run again (tests/CMakeLists.txt) with Wine's ANSI code pages 1251 and 932.
TEST(WindowsCodePageTest, TheCodePageIsTheSystemsAnsiCodePage) {
  const int ansi = static_cast<int>(GetACP());
  const int page = qEnvironmentVariableIntValue("QUORVEL_ANSI_PAGE");  // 0 when unset
  ASSERT_TRUE(page == 0 || page == ansi) << ansi;
  EXPECT_EQ(os::ActiveCodePage().Number(), ansi == 932 ? 1252 : ansi);  // 932: unknown
  // quorvel-strip's help says which page it uses, and why.
  QProcess strip;
  strip.start(QUORVEL_STRIP, {"--help"});
  ASSERT_TRUE(strip.waitForFinished());
  EXPECT_EQ(strip.readAllStandardOutput().simplified().contains(
                "this system's, 932, is not, so 1252 is used unless --codepage gives another"),
            ansi == 932);
}

}  // namespace
}  // namespace quorvel
