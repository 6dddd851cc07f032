// Reading and replacing files through the Windows API itself, so that every
// failure is told in Windows' own words.
#include <windows.h>
// After windows.h, which it needs.
#include <aclapi.h>

#include <QDir>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include "os/files.h"
#include "os/files_common.h"
#include "os/win32_error.h"

namespace quorvel::os {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

const wchar_t* Wide(const QString& s) { return reinterpret_cast<const wchar_t*>(s.utf16()); }

Failure LastError() { return FromWindowsError(GetLastError()); }
// A call that returns FALSE on failure, with the reason for GetLastError().
Result<void> Checked(BOOL result) { return result ? Result<void>() : LastError(); }

// The Windows error that an errno value a test gives stands for.
DWORD FromTestErrno(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
      return ERROR_ACCESS_DENIED;
    case ENOSPC:
      return ERROR_DISK_FULL;
    case EXDEV:
      return ERROR_NOT_SAME_DEVICE;
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case EEXIST:
      return ERROR_FILE_EXISTS;
    case EROFS:
      return ERROR_WRITE_PROTECT;
    case EFBIG:
      return ERROR_FILE_TOO_LARGE;
    default:  // EIO, and any other failure of the disk
      return ERROR_IO_DEVICE;
  }
}

// A handle that is closed when it goes out of scope.
class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { Close(); }

  HANDLE get() const { return handle_; }
  bool ok() const { return handle_ != INVALID_HANDLE_VALUE; }
  // False, with the reason for GetLastError(), when closing fails.
  bool Close() {
    const bool closed = !ok() || CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    return closed;
  }

 private:
  HANDLE handle_;
};

using detail::NotRegular;

// Whether Windows takes the path for a device rather than a file: a path in
// the device namespace (\\.\) other than a drive's file path (\\.\C:\...),
// or a last name that is a device's (NUL, CON, PRN, AUX, COM0 to COM9, LPT0
// to LPT9, CONIN$, CONOUT$) in any case and any folder, with or without an
// extension or trailing spaces.
bool NamesADevice(const QString& native) {
  static const QRegularExpression kDriveFile(QStringLiteral("^\\\\\\\\\\.\\\\[A-Za-z]:\\\\"));
  if (native.startsWith(QStringLiteral("\\\\.\\")) && !kDriveFile.match(native).hasMatch()) {
    return true;
  }
  QStringView name = QStringView(native).mid(native.lastIndexOf(u'\\') + 1);
  if (name.size() >= 2 && name[1] == u':') name = name.mid(2);  // "C:NUL"
  for (const char16_t end : {u'.', u':'}) {
    if (const qsizetype at = name.indexOf(end); at >= 0) name = name.left(at);
  }
  while (name.endsWith(u' ')) name.chop(1);
  const QString upper = name.toString().toUpper();
  static const QStringList kDevices = {QStringLiteral("CON"),    QStringLiteral("PRN"),
                                       QStringLiteral("AUX"),    QStringLiteral("NUL"),
                                       QStringLiteral("CONIN$"), QStringLiteral("CONOUT$")};
  if (kDevices.contains(upper)) return true;
  // COM and LPT with a digit, or with a superscript one, two or three.
  return upper.size() == 4 && (upper.startsWith(u"COM") || upper.startsWith(u"LPT")) &&
         ((upper[3] >= u'0' && upper[3] <= u'9') ||
          QStringView(u"\u00B9\u00B2\u00B3").contains(upper[3]));
}

// What Windows knows of the open file, when it is a regular file.
Result<BY_HANDLE_FILE_INFORMATION> RegularFile(HANDLE file) {
  const DWORD type = GetFileType(file);
  if (type == FILE_TYPE_PIPE) return NotRegular(QLatin1StringView("a pipe"));
  if (type != FILE_TYPE_DISK) return NotRegular(QLatin1StringView("a device"));
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file, &info)) return LastError();
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
    return NotRegular(QLatin1StringView("a folder"));
  return info;
}

// Reads from `input` to its end, but no more than one byte past `limit`.
Result<QByteArray> ReadAtMost(HANDLE input, qint64 limit, qint64 expected) {
  return detail::ReadAtMost(limit, expected, [input](char* into, qint64 size) -> Result<qint64> {
    DWORD read = 0;
    if (!ReadFile(input, into, static_cast<DWORD>(std::min<qint64>(size, 1 << 30)), &read,
                  nullptr)) {
      // A pipe whose writer has closed it has ended.
      if (const DWORD failure = GetLastError(); failure != ERROR_BROKEN_PIPE)
        return FromWindowsError(failure);
      return qint64{0};
    }
    return static_cast<qint64>(read);
  });
}

// Text typed at a console, read as its characters and given as UTF-8, up to
// a Ctrl+Z or one unit past `limit`.
Result<QByteArray> ReadConsoleText(HANDLE console, qint64 limit) {
  QString typed;
  wchar_t buffer[4096];
  for (DWORD read = 1; read > 0 && typed.size() <= limit;) {
    if (!ReadConsoleW(console, buffer, 4096, &read, nullptr)) return LastError();
    const QStringView line(buffer, read);
    const qsizetype end = line.indexOf(u'\x1A');
    typed += line.left(end);
    if (end >= 0) break;
  }
  QByteArray bytes = typed.toUtf8();
  if (bytes.size() > limit) bytes.truncate(limit + 1);
  return bytes;
}

// The full path Windows makes of `native` in the current folder.
Result<QString> FullPath(const QString& native) {
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetFullPathNameW(Wide(native), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0) return LastError();
    if (length < full.size()) return QString::fromWCharArray(full.data(), length);
    full.resize(length);
  }
}

// The file a replacement writes and what it keeps of the old one.
struct Target {
  QString path;                             // full, where any link leads
  DWORD attributes = 0;                     // the old file's hidden, system and archive marks
  PSECURITY_DESCRIPTOR security = nullptr;  // the old file's, with its access list
  PACL access = nullptr;                    // inside `security`
  bool access_protected = false;            // not inherited from the folder
  DWORD names = 0;                          // the old file's names (hard links)
  Target() = default;
  Target(const Target&) = delete;
  Target& operator=(const Target&) = delete;
  ~Target() { LocalFree(security); }
};

// Finds the file that replacing `native` writes, or the reason it cannot
// be replaced.
Result<void> FindTarget(const QString& native, Target* target) {
  // Judged by its name before anything opens it: opening a device can act
  // on it.
  if (NamesADevice(native)) return NotRegular(QLatin1StringView("a device"));
  // Through any link, asking for nothing that a program which has the file
  // open can refuse.
  Handle file(CreateFileW(Wide(native), READ_CONTROL | FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file.ok()) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
      return FromWindowsError(error);
    }
    const DWORD attributes = GetFileAttributesW(Wide(native));
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      return detail::LinkToNothing();
    }
    if (error != ERROR_FILE_NOT_FOUND) return FromWindowsError(error);
    Result<QString> full = FullPath(native);  // a new file
    if (!full.ok()) return full.failure();
    target->path = std::move(full).value();
    return {};
  }
  const Result<BY_HANDLE_FILE_INFORMATION> regular = RegularFile(file.get());
  if (!regular.ok()) return regular.failure();
  const BY_HANDLE_FILE_INFORMATION& info = regular.value();
  if (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) return detail::ReadOnly();
  target->names = info.nNumberOfLinks;
  target->attributes =
      info.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                               FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
  // The file itself: a link stays a link, and what it leads to is replaced.
  std::wstring final_path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetFinalPathNameByHandleW(
        file.get(), final_path.data(), static_cast<DWORD>(final_path.size()), FILE_NAME_NORMALIZED);
    if (length == 0) return LastError();
    if (length < final_path.size()) {
      target->path = QString::fromWCharArray(final_path.data(), length);
      break;
    }
    final_path.resize(length);
  }
  if (const DWORD error =
          GetSecurityInfo(file.get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                          &target->access, nullptr, &target->security)) {
    return FromWindowsError(error);
  }
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  if (!GetSecurityDescriptorControl(target->security, &control, &revision)) return LastError();
  target->access_protected = control & SE_DACL_PROTECTED;
  return {};
}

// Why the rename over `target` failed. Where another program has the file
// open, Windows only says that access is denied; that is told as the
// sharing violation it is.
Failure RenameError(const QString& target) {
  const DWORD error = GetLastError();
  if (error != ERROR_ACCESS_DENIED) return FromWindowsError(error);
  const Handle probe(CreateFileW(Wide(target), DELETE, kShareAll, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return FromWindowsError(
      !probe.ok() && GetLastError() == ERROR_SHARING_VIOLATION ? ERROR_SHARING_VIOLATION : error);
}

// Removes the new files of earlier replacements of the file keyed `key`
// that were killed before their rename. A replacement still running holds
// its new file open until after the rename, so the sole handle a removal
// asks for is refused, and the file is left alone.
void RemoveLeftovers(const QString& folder, const QByteArray& key) {
  WIN32_FIND_DATAW entry;
  const HANDLE search = FindFirstFileW(Wide(folder + QStringLiteral("\\*")), &entry);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const QString name = QString::fromWCharArray(entry.cFileName);
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
        detail::IsNewFileOf(name.toUtf8(), key)) {
      CloseHandle(CreateFileW(Wide(folder + u'\\' + name), DELETE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    }
  } while (FindNextFileW(search, &entry));
  FindClose(search);
}

// A replacement's steps on a file found by FindTarget. The new file, with
// the old file's marks, is held open until after it is renamed (which is
// all it is shared for): a removal of leftovers cannot have it alone, and
// leaves it.
class WindowsSteps : public detail::ReplacementSteps {
 public:
  explicit WindowsSteps(std::unique_ptr<Target> target) : target_(std::move(target)) {
    const qsizetype slash = target_->path.lastIndexOf(u'\\');
    folder_ = target_->path.left(slash);
    // New files are named from the name in lower case: Windows takes a name
    // in any case for the same file.
    key_ = target_->path.mid(slash + 1).toLower().toUtf8();
  }

  QByteArray Key() const override { return key_; }

  Result<bool> CreateUnnamed() override { return false; }

  Result<bool> CreateNamed(const QByteArray& name) override {
    const QString temp = folder_ + u'\\' + QString::fromLatin1(name);
    const HANDLE created = CreateFileW(
        Wide(temp), GENERIC_WRITE | READ_CONTROL | WRITE_DAC, FILE_SHARE_DELETE, nullptr,
        CREATE_NEW, target_->attributes ? target_->attributes : FILE_ATTRIBUTE_NORMAL, nullptr);
    if (created == INVALID_HANDLE_VALUE) {
      if (GetLastError() != ERROR_FILE_EXISTS) return LastError();
      return false;
    }
    file_ = std::make_unique<Handle>(created);
    temp_ = temp;
    return true;
  }

  Result<void> Hold() override { return {}; }

  Result<qint64> Write(const char* data, qint64 size) override {
    DWORD written = 0;
    if (!WriteFile(file_->get(), data, static_cast<DWORD>(size), &written, nullptr))
      return LastError();
    if (written == 0) return FromWindowsError(ERROR_WRITE_FAULT);
    return static_cast<qint64>(written);
  }

  // Who may do what with the old file carries over to its replacement.
  Result<void> KeepOld() override {
    if (!target_->security) return {};
    const DWORD error =
        SetSecurityInfo(file_->get(), SE_FILE_OBJECT,
                        DACL_SECURITY_INFORMATION |
                            (target_->access_protected ? PROTECTED_DACL_SECURITY_INFORMATION
                                                       : UNPROTECTED_DACL_SECURITY_INFORMATION),
                        nullptr, nullptr, target_->access, nullptr);
    if (error) return FromWindowsError(error);
    return {};
  }

  Result<void> Sync() override { return Checked(FlushFileBuffers(file_->get())); }

  Result<bool> Name(const QByteArray&) override { return true; }  // named from the start

  // Closed after the rename (Settle).
  Result<void> Close() override { return {}; }

  Result<void> Rename() override {
    if (!MoveFileExW(Wide(temp_), Wide(target_->path),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return RenameError(target_->path);
    }
    return {};
  }

  // Written and flushed, and in place.
  Result<void> Settle() override { return Checked(file_->Close()); }

  void Discard() override {
    if (!file_) return;
    file_->Close();
    DeleteFileW(Wide(temp_));
  }

  void RemoveLeftovers() override { os::RemoveLeftovers(folder_, key_); }

  quint64 OldNames() const override { return target_->names; }

 private:
  std::unique_ptr<Target> target_;
  QString folder_;
  QByteArray key_;
  std::unique_ptr<Handle> file_;  // the new file, once made
  QString temp_;                  // its full path
};

}  // namespace

Result<QByteArray> ReadRegularFile(const QString& path, qint64 limit) {
  const QString native = QDir::toNativeSeparators(path);
  // Judged by its name before it is opened: opening a device can act on it.
  if (NamesADevice(native)) return NotRegular(QLatin1StringView("a device"));
  // Folders open too, to be told apart from files.
  Handle file(CreateFileW(Wide(native), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                          FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file.ok()) return LastError();
  const Result<BY_HANDLE_FILE_INFORMATION> info = RegularFile(file.get());
  if (!info.ok()) return info.failure();
  const qint64 size =
      static_cast<qint64>(info.value().nFileSizeHigh) << 32 | info.value().nFileSizeLow;
  if (size > limit) return detail::TooLarge();  // by its size, and not read
  return ReadAtMost(file.get(), limit, size);
}

Result<QByteArray> ReadPrivateFile(const QString& path, qint64 limit) {
  return ReadRegularFile(path, limit);
}

Result<QByteArray> ReadInput(const QString& path, qint64 limit) {
  if (path.isEmpty()) {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    return GetConsoleMode(input, &mode) ? ReadConsoleText(input, limit)
                                        : ReadAtMost(input, limit, 0);
  }
  const QString native = QDir::toNativeSeparators(path);
  const Handle input(CreateFileW(Wide(native), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!input.ok()) {
    const DWORD error = GetLastError();
    // A folder is refused as access denied, which is not why.
    const DWORD attributes = GetFileAttributesW(Wide(native));
    if (error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      return Failure{Failure::Kind::kFile, QStringLiteral("it is a folder")};
    }
    return FromWindowsError(error);
  }
  return ReadAtMost(input.get(), limit, 0);
}

namespace detail {

Failure FromErrnoValue(int error) { return FromWindowsError(FromTestErrno(error)); }

// The C library keeps the Windows error of a failed write apart from errno.
Failure StreamWriteFailure() {
  if (_doserrno != 0) return FromWindowsError(_doserrno);
  return {Failure::Kind::kFile, QString::fromLocal8Bit(std::strerror(errno))};
}

// Drive paths are the system's own here, so `private_root` is always empty.
Result<std::unique_ptr<ReplacementSteps>> FindReplacement(const QString& path, const QString&) {
  auto target = std::make_unique<Target>();
  if (const Result<void> found = FindTarget(QDir::toNativeSeparators(path), target.get());
      !found.ok()) {
    return found.failure();
  }
  return std::unique_ptr<ReplacementSteps>(std::make_unique<WindowsSteps>(std::move(target)));
}

}  // namespace detail

}  // namespace quorvel::os
