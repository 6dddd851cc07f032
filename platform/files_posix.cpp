#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/files.h"
#include "platform/files_common.h"
#include "platform/paths.h"

namespace quorvel::platform {

using detail::InjectedError;

namespace {

QString Reason(int error) { return qt_error_string(error); }

}  // namespace

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
  while (const dirent* entry = ::readdir(dir)) {
    const QByteArray entry_name(entry->d_name);
    if (!detail::IsNewFileOf(entry_name, name)) continue;
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

QString ReplaceFileWith(const QString& path, const QByteArray& bytes) {
  QString error;
  const QByteArray target = FollowLinks(FileNameBytes(path), &error);
  if (!error.isEmpty()) return error;
  const auto [folder, name] = SplitPath(target);

  // A new file of its own, created with the permissions a new file gets.
  QByteArray temp;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
    temp = folder + '/' + detail::NewFileName(name);
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

}  // namespace quorvel::platform
