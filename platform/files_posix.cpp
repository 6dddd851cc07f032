// The file layer on POSIX systems. A replacement walks to its file one
// folder at a time, each opened without following links, and from then on
// names everything relative to the folder it opened: a folder swapped for a
// link between two steps cannot steer it elsewhere.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <deque>
#include <utility>

#include "platform/files.h"
#include "platform/files_common.h"
#include "platform/paths.h"

namespace quorvel::platform {

using detail::InjectedError;

namespace {

QString Reason(int error) { return qt_error_string(error); }

// A file descriptor closed when it goes out of scope.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Fd& operator=(Fd&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

QString NotRegular(mode_t mode) {
  const char* kind = S_ISDIR(mode)    ? "a folder"
                     : S_ISCHR(mode)  ? "a character device"
                     : S_ISBLK(mode)  ? "a block device"
                     : S_ISFIFO(mode) ? "a FIFO"
                     : S_ISSOCK(mode) ? "a socket"
                                      : "something";
  return QStringLiteral("it is %1, not a regular file").arg(QLatin1StringView(kind));
}

QString Shown(const QByteArray& path) { return ShownName(FileNameFromBytes(path)); }

// Why a folder on the way to a private file is not the user's own, or an
// empty string. Folders of the system's (owned by root) count as the
// user's, as long as no one else may write to them.
QString NotOwnFolder(const struct stat& st, const QByteArray& shown) {
  if (st.st_uid != ::geteuid() && st.st_uid != 0) {
    return QStringLiteral(
               "the folder %1 belongs to another user (uid %2), and pictures are only "
               "saved in the user's own folders")
        .arg(Shown(shown), QString::number(st.st_uid));
  }
  if ((st.st_mode & S_IWOTH) || ((st.st_mode & S_IWGRP) && st.st_gid != ::getegid())) {
    return QStringLiteral(
               "the folder %1 can be written by other users, and pictures are only "
               "saved in the user's own folders")
        .arg(Shown(shown));
  }
  return QString();
}

// The kernel's rule for shared folders, whatever the system is set to: in
// a sticky folder that anyone may write to, a link is followed only when
// the user or the folder's owner made it.
bool LinkOfAnotherUser(const struct stat& link, const struct stat& folder) {
  return (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH) && link.st_uid != ::geteuid() &&
         link.st_uid != folder.st_uid;
}

std::deque<QByteArray> Components(const QByteArray& path) {
  std::deque<QByteArray> parts;
  for (const QByteArray& part : path.split('/')) {
    if (!part.isEmpty() && part != ".") parts.push_back(part);
  }
  return parts;
}

// The file a replacement writes: the folder that holds it, opened, and its
// name there. `exists` tells whether a file of that name is there, and
// `old` is then its status.
struct Target {
  Fd folder;
  QByteArray folder_shown;
  QByteArray name;
  bool exists = false;
  struct stat old {};
  QString error;
};

Target Fail(QString error) {
  Target t;
  t.error = std::move(error);
  return t;
}

// Walks `path` one name at a time, each folder opened without following a
// link, and each link read and judged before it is followed. Below
// `private_root` every folder must be the user's own, up to the first link:
// a link in the user's own folders is the user's, and leads where they
// chose.
Target Resolve(const QByteArray& path, const QByteArray& private_root) {
  if (path.isEmpty() || path.endsWith('/')) return Fail(Reason(EISDIR));
  bool is_private = !private_root.isEmpty() && path.startsWith(private_root + '/');
  QByteArray shown = is_private ? private_root : path.startsWith('/') ? "/" : ".";
  Fd dir(::open(shown.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() < 0) return Fail(QStringLiteral("%1: %2").arg(Shown(shown), Reason(errno)));
  std::deque<QByteArray> parts = Components(is_private ? path.mid(private_root.size()) : path);
  auto check_private = [&](int fd) {
    struct stat st;
    if (!is_private) return QString();
    if (::fstat(fd, &st) != 0) return Reason(errno);
    return NotOwnFolder(st, shown);
  };
  if (const QString unsafe = check_private(dir.get()); !unsafe.isEmpty()) return Fail(unsafe);

  bool through_link = false;  // whether the last name came from a link
  for (int links = 0; !parts.empty();) {
    const QByteArray part = parts.front();
    parts.pop_front();
    const bool last = parts.empty();
    struct stat st;
    if (::fstatat(dir.get(), part.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno != ENOENT || !last) return Fail(Reason(errno));
      if (through_link) return Fail(QStringLiteral("it is a link to a file that does not exist"));
      Target t;
      t.folder = std::move(dir);
      t.folder_shown = shown;
      t.name = part;
      return t;
    }
    if (S_ISLNK(st.st_mode)) {
      struct stat folder;
      if (::fstat(dir.get(), &folder) != 0) return Fail(Reason(errno));
      if (LinkOfAnotherUser(st, folder)) {
        return Fail(QStringLiteral(
                        "it is a link that another user made in the shared folder %1, and such a "
                        "link is not followed")
                        .arg(Shown(shown)));
      }
      if (++links > 40) return Fail(Reason(ELOOP));
      char target[4096];
      const ssize_t n = ::readlinkat(dir.get(), part.constData(), target, sizeof target);
      if (n <= 0 || n == static_cast<ssize_t>(sizeof target)) {
        return Fail(Reason(n < 0 ? errno : ENAMETOOLONG));
      }
      const QByteArray link(target, n);
      if (link.startsWith('/')) {
        dir = Fd(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (dir.get() < 0) return Fail(Reason(errno));
        shown = "/";
      }
      std::deque<QByteArray> more = Components(link);
      if (more.empty()) return Fail(Reason(EISDIR));
      parts.insert(parts.begin(), more.begin(), more.end());
      through_link = last || through_link;
      is_private = false;
      continue;
    }
    if (last) {
      if (!S_ISREG(st.st_mode)) return Fail(NotRegular(st.st_mode));
      Target t;
      t.folder = std::move(dir);
      t.folder_shown = shown;
      t.name = part;
      t.exists = true;
      t.old = st;
      return t;
    }
    Fd next(::openat(dir.get(), part.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (next.get() < 0) return Fail(Reason(errno));
    dir = std::move(next);
    shown = shown == "/" ? "/" + part : shown + '/' + part;
    if (const QString unsafe = check_private(dir.get()); !unsafe.isEmpty()) return Fail(unsafe);
  }
  return Fail(Reason(EISDIR));  // nothing but "." and "/" in the path
}

// The permissions a new file gets: 0666 less the process's umask, read
// without changing it where the system tells it.
mode_t NewFileMode() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (status.open(QIODevice::ReadOnly)) {
    for (const QByteArray& line : status.readAll().split('\n')) {
      bool ok = false;
      const uint mask = line.startsWith("Umask:") ? line.mid(6).trimmed().toUInt(&ok, 8) : 0;
      if (ok) return 0666 & ~static_cast<mode_t>(mask);
    }
  }
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return 0666 & ~mask;
}

// Removes the new files of earlier replacements of `name` in `folder` that
// were killed before their rename: only regular files of the user's own
// that no running replacement holds locked.
void RemoveLeftovers(int folder, const QByteArray& name) {
  // Listed without a new access time where the folder's owner allows it: the
  // folder has just been synced, and the changed time would otherwise be one
  // more write to the disk that the next save's first sync waits for.
  int listed = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOATIME);
  if (listed < 0 && errno == EPERM)
    listed = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* dir = listed >= 0 ? ::fdopendir(listed) : nullptr;
  if (!dir) {
    if (listed >= 0) ::close(listed);
    return;
  }
  while (const dirent* entry = ::readdir(dir)) {
    struct stat st, again;
    // Looked at before it is opened: opening a device can act on it.
    if (!detail::IsNewFileOf(entry->d_name, name) ||
        ::fstatat(folder, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) {
      continue;
    }
    const Fd fd(::openat(folder, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() >= 0 && ::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) &&
        st.st_uid == ::geteuid() && ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0 &&
        ::fstatat(folder, entry->d_name, &again, AT_SYMLINK_NOFOLLOW) == 0 &&
        again.st_ino == st.st_ino && again.st_dev == st.st_dev) {
      ::unlinkat(folder, entry->d_name, 0);
    }
  }
  ::closedir(dir);
}

// A new file in `folder`, locked, that no one else can read. Unnamed where
// the system allows it, so that it never shows in the folder unfinished;
// `name` is then empty.
Fd CreateNewFile(int folder, const QByteArray& target_name, QByteArray* name, int* error) {
  name->clear();
  if ((*error = InjectedError(FileStep::kOpen))) return Fd();
  Fd fd(::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
  for (int attempt = 0; fd.get() < 0 && attempt < 100; ++attempt) {
    *name = detail::NewFileName(target_name);
    fd = Fd(::openat(folder, name->constData(),
                     O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (fd.get() < 0 && errno != EEXIST) break;
  }
  *error = fd.get() < 0 ? errno : 0;
  // Held until after the rename: it tells other replacements that this file
  // is not a leftover.
  if (fd.get() >= 0 && ::flock(fd.get(), LOCK_EX) != 0) *error = errno;
  return *error ? Fd() : std::move(fd);
}

// Gives an unnamed new file a name in `folder`.
int NameNewFile(int fd, int folder, const QByteArray& target_name, QByteArray* name) {
  const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
  for (int attempt = 0; attempt < 100; ++attempt) {
    *name = detail::NewFileName(target_name);
    if (::linkat(AT_FDCWD, self.constData(), folder, name->constData(), AT_SYMLINK_FOLLOW) == 0 ||
        (errno == ENOENT && ::linkat(fd, "", folder, name->constData(), AT_EMPTY_PATH) == 0)) {
      return 0;
    }
    if (errno != EEXIST) break;
  }
  const int error = errno;
  name->clear();
  return error;
}

// Reads from `fd` to its end, but no more than one byte past `limit`.
FileRead ReadAtMost(int fd, qint64 limit, qint64 expected) {
  return detail::ReadAtMost(limit, expected, [fd](char* into, qint64 size, QString* error) {
    for (;;) {
      const ssize_t n = ::read(fd, into, static_cast<size_t>(size));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) *error = Reason(errno);
      return static_cast<qint64>(n);
    }
  });
}

// A file found for reading: the folder it is in, its name there, and the
// file itself opened for nothing but a look (O_PATH), or why not.
struct Found {
  Fd folder;
  QByteArray name;
  Fd file;
  QString error;
};

Found NotFound(QString error) {
  Found f;
  f.error = std::move(error);
  return f;
}

// Finds `path`, relative to the folder `at`, as the system would: its
// folder first, where a path is longer than the system takes whole one
// folder at a time, each opened from the one before (so that a path of any
// length is found, as a save finds it), then its last name there. A link in
// that place is followed, its target found in turn, unless another user
// made it in a shared folder (LinkOfAnotherUser). Nothing found is opened
// to be read.
Found Find(int at, const QByteArray& path, int links = 0) {
  Found f;
  const qsizetype slash = path.lastIndexOf('/');
  f.name = slash + 1 < path.size() ? path.mid(slash + 1) : QByteArrayLiteral(".");
  const QByteArray folders = slash > 0 ? path.left(slash) : slash == 0 ? "/" : ".";
  f.folder = Fd(::openat(at, folders.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (f.folder.get() < 0 && errno == ENAMETOOLONG) {  // longer than the system takes whole
    f.folder = Fd(::openat(at, path.startsWith('/') ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    for (const QByteArray& part : folders.split('/')) {
      if (f.folder.get() < 0) break;
      if (part.isEmpty()) continue;
      Fd next(::openat(f.folder.get(), part.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
      if (next.get() < 0) return NotFound(Reason(errno));
      f.folder = std::move(next);
    }
  }
  if (f.folder.get() < 0) return NotFound(Reason(errno));
  f.file = Fd(::openat(f.folder.get(), f.name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
  struct stat link, folder;
  if (f.file.get() < 0 || ::fstat(f.file.get(), &link) != 0) return NotFound(Reason(errno));
  if (!S_ISLNK(link.st_mode)) return f;
  if (::fstat(f.folder.get(), &folder) != 0) return NotFound(Reason(errno));
  if (LinkOfAnotherUser(link, folder)) {
    return NotFound(
        QStringLiteral("it is a link that another user (uid %1) made in a shared folder, and "
                       "such a link is not followed")
            .arg(QString::number(link.st_uid)));
  }
  char target[4096];
  const ssize_t n = ::readlinkat(f.file.get(), "", target, sizeof target);
  if (++links > 40 || n <= 0 || n == static_cast<ssize_t>(sizeof target)) {
    return NotFound(Reason(links > 40 ? ELOOP : n < 0 ? errno : ENAMETOOLONG));
  }
  return Find(f.folder.get(), QByteArray(target, n), links);
}

// Opens the very file `found` found, through /proc; where there is none,
// by its name again, and the caller judges what it opened once more.
Fd Reopen(const Found& found, int flags) {
  const QByteArray self = "/proc/self/fd/" + QByteArray::number(found.file.get());
  const int fd = ::open(self.constData(), flags | O_CLOEXEC);
  if (fd >= 0 || errno != ENOENT) return Fd(fd);
  return Fd(::openat(found.folder.get(), found.name.constData(), flags | O_NOFOLLOW | O_CLOEXEC));
}

}  // namespace

FileRead ReadRegularFile(const QString& path, qint64 limit) {
  // Judged by what was found, before it is opened to be read: a FIFO or a
  // device is never opened, so nothing waits or acts on a device. A file
  // known to be too large is not read at all.
  const Found found = Find(AT_FDCWD, FileNameBytes(path));
  if (!found.error.isEmpty()) return {{}, found.error};
  struct stat st;
  if (::fstat(found.file.get(), &st) != 0) return {{}, Reason(errno)};
  if (!S_ISREG(st.st_mode)) return {{}, NotRegular(st.st_mode)};
  if (st.st_size > limit) return {{}, QString(), true};
  const Fd fd = Reopen(found, O_RDONLY | O_NONBLOCK | O_NOCTTY);
  if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0) return {{}, Reason(errno)};
  // Opened by its name again where there is no /proc: still the same kind?
  if (!S_ISREG(st.st_mode)) return {{}, NotRegular(st.st_mode)};
  return ReadAtMost(fd.get(), limit, st.st_size);
}

FileRead ReadInput(const QString& path, qint64 limit) {
  if (path.isEmpty()) return ReadAtMost(STDIN_FILENO, limit, 0);
  const Found found = Find(AT_FDCWD, FileNameBytes(path));
  if (!found.error.isEmpty()) return {{}, found.error};
  const Fd fd = Reopen(found, O_RDONLY | O_NOCTTY);
  if (fd.get() < 0) return {{}, Reason(errno)};
  return ReadAtMost(fd.get(), limit, 0);
}

QString ReplaceFileWith(const QString& path, const QByteArray& bytes,
                        const ReplaceOptions& options) {
  const Target target = Resolve(FileNameBytes(path), FileNameBytes(options.private_root));
  if (!target.error.isEmpty()) return target.error;
  const QByteArray& name = target.name;

  // The folder is opened for reading, which syncing it needs: a folder that
  // cannot be synced is found before anything is replaced.
  const Fd folder(::openat(target.folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() < 0 || ::fsync(folder.get()) != 0) {
    return QStringLiteral("its folder %1 cannot be synced to the disk: %2")
        .arg(Shown(target.folder_shown), Reason(errno));
  }
  if (target.exists &&
      ::faccessat(folder.get(), name.constData(), W_OK, AT_EACCESS | AT_SYMLINK_NOFOLLOW) != 0) {
    return errno == EACCES || errno == EPERM ? QStringLiteral("it is read-only") : Reason(errno);
  }

  QByteArray temp;
  int error = 0;
  Fd fd = CreateNewFile(folder.get(), name, &temp, &error);
  if (error) return Reason(error);
  auto fail = [&](int e) {
    fd = Fd();
    if (!temp.isEmpty()) ::unlinkat(folder.get(), temp.constData(), 0);
    return Reason(e);
  };
  // Unbuffered writes, each one checked: a full disk shows at the write that
  // meets it, not later.
  for (qsizetype done = 0; done < bytes.size();) {
    const qsizetype chunk = std::min<qsizetype>(bytes.size() - done, 1 << 20);
    if (const int e = InjectedError(FileStep::kWrite)) return fail(e);
    const ssize_t n = ::write(fd.get(), bytes.constData() + done, static_cast<size_t>(chunk));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return fail(n < 0 ? errno : EIO);
    done += n;
  }
  // The old file's owner, group and permission bits carry over (never
  // set-user-ID, set-group-ID or sticky); a new file gets what any new file
  // gets.
  struct stat own;
  if (::fstat(fd.get(), &own) != 0) return fail(errno);
  const struct stat& old = target.old;
  if (target.exists && (own.st_uid != old.st_uid || own.st_gid != old.st_gid) &&
      ::fchown(fd.get(), old.st_uid, old.st_gid) != 0) {
    const int e = errno;
    fail(e);
    return QStringLiteral(
               "it belongs to user %1 and group %2, which its replacement could not "
               "keep: %3")
        .arg(QString::number(old.st_uid), QString::number(old.st_gid), Reason(e));
  }
  if (::fchmod(fd.get(), target.exists ? old.st_mode & 0777 : NewFileMode()) != 0) {
    return fail(errno);
  }
  if (const int e = InjectedError(FileStep::kSync)) return fail(e);
  if (::fsync(fd.get()) != 0) return fail(errno);
  if (temp.isEmpty()) {
    if (const int e = NameNewFile(fd.get(), folder.get(), name, &temp)) return fail(e);
  }
  // The lock stays with a copy of the descriptor until after the rename;
  // closing the original still reports what a network file system only
  // tells at close.
  const Fd locked(::fcntl(fd.get(), F_DUPFD_CLOEXEC, 0));
  if (locked.get() < 0) return fail(errno);
  const int closed = ::close(fd.release());
  if (const int e = closed != 0 ? errno : InjectedError(FileStep::kClose)) return fail(e);
  if (const int e = InjectedError(FileStep::kRename)) return fail(e);
  if (::renameat(folder.get(), temp.constData(), folder.get(), name.constData()) != 0) {
    return fail(errno);
  }
  if (::fsync(folder.get()) != 0) {
    return QStringLiteral(
               "the new file is in place, but its folder could not be synced to the "
               "disk: %1")
        .arg(Reason(errno));
  }
  RemoveLeftovers(folder.get(), name);
  if (target.exists && old.st_nlink > 1 && options.note) {
    *options.note = detail::OtherNamesNote(old.st_nlink);
  }
  return QString();
}

}  // namespace quorvel::platform
