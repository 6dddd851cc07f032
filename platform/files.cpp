#include "platform/files.h"

#include "platform/paths.h"

#include <QFile>
#include <QRandomGenerator>
#include <algorithm>
#include <cctype>
#include <cerrno>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <QFileInfo>
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quorvel::platform {

namespace {

std::optional<FileFault>& Fault() {
  static std::optional<FileFault> fault;
  return fault;
}

// The error a test makes `step` fail with, or 0.
int InjectedError(FileStep step) { return Fault() && Fault()->step == step ? Fault()->error : 0; }

QString Reason(int error) { return qt_error_string(error); }

// New files are named after the file they replace, so that a replacement
// can recognise those of an earlier one that was killed.
QByteArray NewFilePrefix(const QByteArray& name) { return '.' + name + ".quorvel-"; }
constexpr int kRandomLength = 8;

QByteArray RandomName() {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  QByteArray name(kRandomLength, 'x');
  for (char& c : name) c = kLetters[QRandomGenerator::global()->bounded(62)];
  return name;
}

bool IsNewFileName(const QByteArray& entry, const QByteArray& prefix) {
  if (entry.size() != prefix.size() + kRandomLength || !entry.startsWith(prefix)) return false;
  return std::all_of(entry.begin() + prefix.size(), entry.end(),
                     [](char c) { return std::isalnum(static_cast<unsigned char>(c)); });
}

}  // namespace

void SetFileFaultForTesting(std::optional<FileFault> fault) { Fault() = fault; }

#ifndef Q_OS_WIN

namespace {

QString NotRegular(mode_t mode) {
  const char* kind = S_ISDIR(mode)    ? "a folder"
                     : S_ISCHR(mode)  ? "a character device"
                     : S_ISBLK(mode)  ? "a block device"
                     : S_ISFIFO(mode) ? "a FIFO"
                     : S_ISSOCK(mode) ? "a socket"
                                      : "something";
  return QStringLiteral("it is %1, not a regular file").arg(QLatin1StringView(kind));
}

// Splits a path into its folder and its last name.
std::pair<QByteArray, QByteArray> SplitPath(const QByteArray& path) {
  const qsizetype slash = path.lastIndexOf('/');
  if (slash < 0) return {QByteArrayLiteral("."), path};
  return {slash == 0 ? QByteArrayLiteral("/") : path.left(slash), path.mid(slash + 1)};
}

// The path that writing through `path` replaces: `path` itself, or the file
// its chain of links ends at. Sets `error` when that is not a regular file
// or the chain cannot be followed.
QByteArray FollowLinks(QByteArray path, QString* error) {
  for (int hops = 0; hops <= 40; ++hops) {
    struct stat st;
    if (::lstat(path.constData(), &st) != 0) {
      if (errno != ENOENT) *error = Reason(errno);
      return path;  // a new file
    }
    if (!S_ISLNK(st.st_mode)) {
      if (!S_ISREG(st.st_mode)) *error = NotRegular(st.st_mode);
      return path;
    }
    char target[4096];
    const ssize_t n = ::readlink(path.constData(), target, sizeof target);
    if (n < 0 || n == static_cast<ssize_t>(sizeof target)) {
      *error = Reason(n < 0 ? errno : ENAMETOOLONG);
      return path;
    }
    const QByteArray link(target, n);
    path = link.startsWith('/') ? link : SplitPath(path).first + '/' + link;
  }
  *error = Reason(ELOOP);
  return path;
}

// Removes the new files of earlier replacements of `name` in `folder` that
// were killed before their rename. A replacement still running holds a lock
// on its new file, and its file is left alone.
void RemoveLeftovers(const QByteArray& folder, const QByteArray& name) {
  DIR* dir = ::opendir(folder.constData());
  if (!dir) return;
  const QByteArray prefix = NewFilePrefix(name);
  while (const dirent* entry = ::readdir(dir)) {
    const QByteArray entry_name(entry->d_name);
    if (!IsNewFileName(entry_name, prefix)) continue;
    const QByteArray path = folder + '/' + entry_name;
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      ::unlink(path.constData());
    }
    ::close(fd);
  }
  ::closedir(dir);
}

// Reads from `fd` to its end, but no more than one byte past `limit`.
FileRead ReadAtMost(int fd, qint64 limit, qint64 expected) {
  FileRead result;
  QByteArray& bytes = result.bytes;
  bytes.resize(std::min<qint64>(std::max<qint64>(expected, 1 << 16), limit) + 1);
  qint64 total = 0;
  for (;;) {
    if (total == bytes.size()) {
      if (total > limit) break;
      bytes.resize(std::min<qint64>(2 * total, limit + 1));
    }
    const ssize_t n = ::read(fd, bytes.data() + total, static_cast<size_t>(bytes.size() - total));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      result.error = Reason(errno);
      break;
    }
    if (n == 0) break;
    total += n;
  }
  result.too_large = result.error.isEmpty() && total > limit;
  bytes.resize(result.error.isEmpty() ? total : 0);
  return result;
}

}  // namespace

FileRead ReadRegularFile(const QString& path, qint64 limit) {
  const QByteArray name = FileNameBytes(path);
  struct stat st;
  // Looked at before it is opened: opening a FIFO or a device can block or
  // act on the device.
  if (::stat(name.constData(), &st) != 0) return {{}, Reason(errno)};
  if (!S_ISREG(st.st_mode)) return {{}, NotRegular(st.st_mode)};
  const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return {{}, Reason(errno)};
  FileRead result;
  if (::fstat(fd, &st) != 0) {
    result.error = Reason(errno);
  } else if (!S_ISREG(st.st_mode)) {  // replaced since it was looked at
    result.error = NotRegular(st.st_mode);
  } else {
    result = ReadAtMost(fd, limit, st.st_size);
  }
  ::close(fd);
  return result;
}

FileRead ReadInput(const QString& path, qint64 limit) {
  const int fd = path.isEmpty()
                     ? STDIN_FILENO
                     : ::open(FileNameBytes(path).constData(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return {{}, Reason(errno)};
  FileRead result = ReadAtMost(fd, limit, 0);
  if (fd != STDIN_FILENO) ::close(fd);
  return result;
}

QString ReplaceFile(const QString& path, const QByteArray& bytes) {
  QString error;
  const QByteArray target = FollowLinks(FileNameBytes(path), &error);
  if (!error.isEmpty()) return error;
  const auto [folder, name] = SplitPath(target);

  // A new file of its own, created with the permissions a new file gets.
  QByteArray temp;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
    temp = folder + '/' + NewFilePrefix(name) + RandomName();
    const int injected = InjectedError(FileStep::kOpen);
    errno = injected;
    fd = injected ? -1 : ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return Reason(errno);
  }
  if (fd < 0) return Reason(EEXIST);
  // Held until the file is renamed: it tells other replacements that this
  // file is not a leftover.
  ::flock(fd, LOCK_EX | LOCK_NB);

  auto fail = [&](int e) {
    if (fd >= 0) ::close(fd);
    ::unlink(temp.constData());
    return Reason(e);
  };
  // The old file's permissions carry over to its replacement.
  struct stat st;
  if (::stat(target.constData(), &st) == 0 && ::fchmod(fd, st.st_mode & 07777) != 0) {
    return fail(errno);
  }
  // Unbuffered writes, each one checked: a full disk shows at the write that
  // meets it, not later.
  for (qsizetype done = 0; done < bytes.size();) {
    const qsizetype chunk = std::min<qsizetype>(bytes.size() - done, 1 << 20);
    if (const int e = InjectedError(FileStep::kWrite)) return fail(e);
    const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<size_t>(chunk));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return fail(n < 0 ? errno : EIO);
    done += n;
  }
  if (const int e = InjectedError(FileStep::kSync)) return fail(e);
  if (::fsync(fd) != 0) return fail(errno);
  const int closed = ::close(fd);
  const int close_error = closed != 0 ? errno : InjectedError(FileStep::kClose);
  fd = -1;
  if (close_error) return fail(close_error);
  if (const int e = InjectedError(FileStep::kRename)) return fail(e);
  if (::rename(temp.constData(), target.constData()) != 0) return fail(errno);

  // The rename reaches the disk with its folder.
  const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  RemoveLeftovers(folder, name);
  return QString();
}

#else  // Q_OS_WIN

namespace {

QString NotRegular(const QFileInfo& info) {
  return info.isDir() ? QStringLiteral("it is a folder, not a regular file")
                      : QStringLiteral("it is not a regular file");
}

}  // namespace

FileRead ReadRegularFile(const QString& path, qint64 limit) {
  FileRead result;
  const QFileInfo info(path);
  if (info.exists() && !info.isFile()) {
    result.error = NotRegular(info);
    return result;
  }
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    result.error = file.errorString();
    return result;
  }
  result.bytes = file.read(limit + 1);
  if (file.error() != QFileDevice::NoError) result.error = file.errorString();
  result.too_large = result.error.isEmpty() && result.bytes.size() > limit;
  if (!result.ok()) result.bytes.clear();
  return result;
}

FileRead ReadInput(const QString& path, qint64 limit) {
  QFile file(path);
  if (path.isEmpty()) _setmode(_fileno(stdin), _O_BINARY);
  if (!(path.isEmpty() ? file.open(stdin, QIODevice::ReadOnly) : file.open(QIODevice::ReadOnly))) {
    return {{}, file.errorString()};
  }
  FileRead result{file.read(limit + 1), QString()};
  if (file.error() != QFileDevice::NoError) result.error = file.errorString();
  result.too_large = result.error.isEmpty() && result.bytes.size() > limit;
  if (!result.error.isEmpty()) result.bytes.clear();
  return result;
}

QString ReplaceFile(const QString& path, const QByteArray& bytes) {
  const QFileInfo info(path);
  if (info.exists() && !info.isFile()) return NotRegular(info);
  const QString target = info.isSymLink() ? info.symLinkTarget() : path;
  const QFileInfo target_info(target);
  const QString folder = target_info.absolutePath();
  const QByteArray name = QFile::encodeName(target_info.fileName());
  QString temp;
  HANDLE h = INVALID_HANDLE_VALUE;
  for (int attempt = 0; h == INVALID_HANDLE_VALUE && attempt < 100; ++attempt) {
    temp = folder + u'/' + QFile::decodeName(NewFilePrefix(name) + RandomName());
    if (const int e = InjectedError(FileStep::kOpen)) return Reason(e);
    h = CreateFileW(reinterpret_cast<const wchar_t*>(temp.utf16()), GENERIC_WRITE, 0, nullptr,
                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
      return Reason(static_cast<int>(GetLastError()));
    }
  }
  if (h == INVALID_HANDLE_VALUE) return Reason(ERROR_FILE_EXISTS);
  auto fail = [&](int e) {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    DeleteFileW(reinterpret_cast<const wchar_t*>(temp.utf16()));
    return Reason(e);
  };
  for (qsizetype done = 0; done < bytes.size();) {
    const DWORD chunk = static_cast<DWORD>(std::min<qsizetype>(bytes.size() - done, 1 << 20));
    DWORD written = 0;
    if (const int e = InjectedError(FileStep::kWrite)) return fail(e);
    if (!WriteFile(h, bytes.constData() + done, chunk, &written, nullptr) || written == 0) {
      return fail(static_cast<int>(GetLastError()));
    }
    done += written;
  }
  if (const int e = InjectedError(FileStep::kSync)) return fail(e);
  if (!FlushFileBuffers(h)) return fail(static_cast<int>(GetLastError()));
  const bool closed = CloseHandle(h);
  h = INVALID_HANDLE_VALUE;
  if (!closed) return fail(static_cast<int>(GetLastError()));
  if (const int e = InjectedError(FileStep::kClose)) return fail(e);
  if (const int e = InjectedError(FileStep::kRename)) return fail(e);
  if (!MoveFileExW(reinterpret_cast<const wchar_t*>(temp.utf16()),
                   reinterpret_cast<const wchar_t*>(target.utf16()),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return fail(static_cast<int>(GetLastError()));
  }
  return QString();
}

#endif

}  // namespace quorvel::platform
