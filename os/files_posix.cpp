// The file layer on POSIX systems. A replacement walks to its file one
// name at a time from the root, each opened without following links, and
// from then on names everything relative to the folder it opened: a folder
// swapped for a link between two steps cannot steer it elsewhere. A link is
// read from the opened link itself, and followed only when the user or root
// owns it.
#include <acl/libacl.h>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/acl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <deque>
#include <thread>
#include <utility>

#include "os/files.h"
#include "os/files_common.h"
#include "os/paths.h"
#include "os/shown_name.h"
#include "os/utf8.h"

namespace quorvel::os {

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

// The path through which the attributes of an opened file (even one opened
// with O_PATH) are read.
QByteArray Self(int fd) { return "/proc/self/fd/" + QByteArray::number(fd); }

// A user or a group as a message names them: the account database's name,
// where it has one, and the number.
QString UserName(uid_t uid) {
  const passwd* account = ::getpwuid(uid);
  return account ? QStringLiteral("%1 (uid %2)").arg(Shown(account->pw_name), QString::number(uid))
                 : QStringLiteral("uid %1").arg(QString::number(uid));
}
QString GroupName(gid_t gid) {
  const group* entry = ::getgrgid(gid);
  return entry ? QStringLiteral("%1 (gid %2)").arg(Shown(entry->gr_name), QString::number(gid))
               : QStringLiteral("gid %1").arg(QString::number(gid));
}

// Whether `gid` is the user's private group: the user's primary group or
// one that lists the user, that lists no one else, and that is no other
// account's primary group. Where the account database cannot tell, it is
// not.
bool IsPrivateGroup(gid_t gid) {
  const uid_t uid = ::geteuid();
  const passwd* self = ::getpwuid(uid);
  const group* entry = self ? ::getgrgid(gid) : nullptr;
  if (!entry) return false;
  const QByteArray name = self->pw_name;
  bool mine = self->pw_gid == gid;
  for (char** member = entry->gr_mem; *member; ++member) {
    if (name != *member) return false;
    mine = true;
  }
  bool alone = mine;
  ::setpwent();
  while (const passwd* account = alone ? ::getpwent() : nullptr)
    alone = account->pw_gid != gid || account->pw_uid == uid;
  ::endpwent();
  return alone;
}

// Who besides the user may write to the opened folder `fd`, by its access
// list (its permission bits where the file system has no lists), and to
// what is made in it, by its default list: the rule that lets someone, or
// an empty string. A named entry or the owning group counts only as far as
// the list's mask lets it.
QString OthersMayWrite(int fd, mode_t mode, gid_t gid) {
  for (const acl_type_t type : {ACL_TYPE_ACCESS, ACL_TYPE_DEFAULT}) {
    const bool access = type == ACL_TYPE_ACCESS;
    acl_t acl = ::acl_get_file(Self(fd).constData(), type);
    if (!acl && errno == ENOTSUP && access) acl = ::acl_from_mode(mode);
    if (!acl && errno == ENOTSUP) continue;
    if (!acl) return QStringLiteral("its access list could not be read (%1)").arg(Reason(errno));
    // The mask and others first, then each entry that grants writing.
    QString rule;
    bool mask = true;
    for (const int pass : {0, 1}) {
      acl_entry_t entry;
      for (int at = ACL_FIRST_ENTRY; rule.isEmpty() && ::acl_get_entry(acl, at, &entry) == 1;
           at = ACL_NEXT_ENTRY) {
        acl_tag_t tag;
        acl_permset_t permissions;
        ::acl_get_tag_type(entry, &tag);
        ::acl_get_permset(entry, &permissions);
        const bool writes = ::acl_get_perm(permissions, ACL_WRITE) == 1;
        if (pass == 0) {
          if (tag == ACL_MASK) mask = writes;
          if (tag == ACL_OTHER && access && writes) rule = QStringLiteral("anyone may write");
          continue;
        }
        void* id = tag == ACL_USER || tag == ACL_GROUP ? ::acl_get_qualifier(entry) : nullptr;
        const uid_t user = id && tag == ACL_USER ? *static_cast<uid_t*>(id) : ::geteuid();
        const gid_t group = id && tag == ACL_GROUP ? *static_cast<gid_t*>(id) : gid;
        ::acl_free(id);
        if (!writes || !mask) continue;
        const QString made = access ? QString() : QStringLiteral("default ");
        if (tag == ACL_USER && user != ::geteuid()) {
          rule =
              QStringLiteral("its %1access list lets the user %2 write").arg(made, UserName(user));
        } else if ((tag == ACL_GROUP || (tag == ACL_GROUP_OBJ && access)) &&
                   !IsPrivateGroup(group)) {
          rule = tag == ACL_GROUP ? QStringLiteral("its %1access list lets the group %2 write")
                                        .arg(made, GroupName(group))
                                  : QStringLiteral(
                                        "its group %1 may write, and it is not the user's private "
                                        "group")
                                        .arg(GroupName(group));
        }
      }
    }
    ::acl_free(acl);
    if (!rule.isEmpty()) return rule;
  }
  return QString();
}

// Why a folder on the way to a private file is not the user's own, or an
// empty string. Folders of the system's (owned by root) count as the
// user's, as long as no one else may write to them.
QString NotOwnFolder(int fd, const struct stat& st, const QByteArray& shown) {
  if (st.st_uid != ::geteuid() && st.st_uid != 0) {
    return QStringLiteral(
               "the folder %1 belongs to another user, %2, and pictures are only saved in the "
               "user's own folders")
        .arg(Shown(shown), UserName(st.st_uid));
  }
  if (const QString rule = OthersMayWrite(fd, st.st_mode, st.st_gid); !rule.isEmpty()) {
    return QStringLiteral(
               "the folder %1 can be written by other users (%2), and pictures are only saved "
               "in the user's own folders")
        .arg(Shown(shown), rule);
  }
  return QString();
}

// A name on the way to the file. `folder_only` when the path or link that
// gave it ends in "/" or "/.", which the system resolves to a folder alone;
// `root_end` on the last name of the private root.
struct Part {
  QByteArray name;
  bool folder_only = false;
  bool root_end = false;
};

std::deque<Part> Components(const QByteArray& path) {
  std::deque<Part> parts;
  for (const QByteArray& part : path.split('/')) {
    if (!part.isEmpty() && part != ".") parts.push_back({part});
  }
  if (!parts.empty() && (path.endsWith('/') || path.endsWith("/.")))
    parts.back().folder_only = true;
  return parts;
}

// The file a replacement writes: the folder that holds it, opened, and its
// name there. `exists` tells whether a file of that name is there; `file`
// is then that file, opened as a path, and `old` its status.
struct Target {
  Fd folder;
  QByteArray folder_shown;
  QByteArray name;
  bool exists = false;
  Fd file;
  struct stat old {};
  QString error;
};

Target Fail(QString error) {
  Target t;
  t.error = std::move(error);
  return t;
}

// Walks `path` from the root (or the current folder) one name at a time,
// each opened without following a link, and each link judged and read
// before it is followed. Below `private_root` every folder must be the
// user's own, up to the first link: a link in the user's own folders is
// the user's, and leads where they chose. With `make_folders` every name
// is a folder, and a missing one is made, private to the user; the result
// is then the last folder.
Target Resolve(const QByteArray& path, const QByteArray& private_root, bool make_folders) {
  if (path.isEmpty() || (path.endsWith('/') && !make_folders)) return Fail(Reason(EISDIR));
  QByteArray shown = path.startsWith('/') ? "/" : ".";
  Fd dir(::open(shown.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() < 0) return Fail(QStringLiteral("%1: %2").arg(Shown(shown), Reason(errno)));
  std::deque<Part> parts = Components(path);
  const std::deque<Part> root = Components(private_root);
  bool is_private = false;  // whether the folder opened last must be the user's own
  if (!private_root.isEmpty() && path.startsWith(private_root + '/')) {
    if (root.empty())
      is_private = true;
    else
      parts[root.size() - 1].root_end = true;
  }
  auto check_private = [&](const struct stat& st) {
    return is_private ? NotOwnFolder(dir.get(), st, shown) : QString();
  };
  struct stat st;
  if (::fstat(dir.get(), &st) != 0) return Fail(Reason(errno));
  if (const QString unsafe = check_private(st); !unsafe.isEmpty()) return Fail(unsafe);

  bool through_link = false;  // whether the last name came from a link
  for (int links = 0, made = 0; !parts.empty();) {
    const Part part = parts.front();
    parts.pop_front();
    const bool last = parts.empty() && !make_folders;
    const QByteArray here = shown == "/" ? "/" + part.name : shown + '/' + part.name;
    Fd entry(::openat(dir.get(), part.name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (entry.get() < 0 && errno == ENOENT && make_folders && ++made < 1000) {
      // Made as no one else's, whatever the umask; the next round opens it.
      // (The umask can take bits from 0700 too: 0277 would leave 0500.)
      if (::mkdirat(dir.get(), part.name.constData(), 0700) == 0) {
        if (::fchmodat(dir.get(), part.name.constData(), 0700, AT_SYMLINK_NOFOLLOW) != 0)
          return Fail(Reason(errno));
      } else if (errno != EEXIST) {
        return Fail(Reason(errno));
      }
      parts.push_front(part);
      continue;
    }
    if (entry.get() < 0 || ::fstat(entry.get(), &st) != 0) {
      if (errno != ENOENT || !last) return Fail(Reason(errno));
      if (through_link) return Fail(QStringLiteral("it is a link to a file that does not exist"));
      if (part.folder_only) return Fail(Reason(EISDIR));
      Target t;
      t.folder = std::move(dir);
      t.folder_shown = shown;
      t.name = part.name;
      return t;
    }
    if (S_ISLNK(st.st_mode)) {
      if (st.st_uid != ::geteuid() && st.st_uid != 0) {
        return Fail(
            QStringLiteral("the link %1 belongs to another user, %2, and a save follows only the "
                           "user's own links and root's")
                .arg(Shown(here), UserName(st.st_uid)));
      }
      if (++links > 40) return Fail(Reason(ELOOP));
      char target[4096];
      const ssize_t n = ::readlinkat(entry.get(), "", target, sizeof target);
      if (n <= 0 || n == static_cast<ssize_t>(sizeof target)) {
        return Fail(Reason(n < 0 ? errno : ENAMETOOLONG));
      }
      const QByteArray link(target, n);
      if (link.startsWith('/')) {
        dir = Fd(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (dir.get() < 0) return Fail(Reason(errno));
        shown = "/";
      }
      std::deque<Part> more = Components(link);
      if (more.empty() && last) return Fail(Reason(EISDIR));
      if (!more.empty()) {
        more.back().folder_only |= part.folder_only;
        more.back().root_end |= part.root_end;
      }
      parts.insert(parts.begin(), more.begin(), more.end());
      through_link = last || through_link;
      is_private = false;
      // A link to "/" or "." that ends the private root leaves it where it is.
      if (more.empty() && part.root_end) {
        is_private = true;
        if (::fstat(dir.get(), &st) != 0) return Fail(Reason(errno));
        if (const QString unsafe = check_private(st); !unsafe.isEmpty()) return Fail(unsafe);
      }
      continue;
    }
    if (last) {
      if (!S_ISREG(st.st_mode)) return Fail(NotRegular(st.st_mode));
      if (part.folder_only) return Fail(Reason(ENOTDIR));
      // The kernel's rule for regular files in shared folders, whatever the
      // system is set to: in a sticky folder that others may write to, a
      // file of another user's (not the folder owner's) is never written.
      struct stat folder;
      if (::fstat(dir.get(), &folder) != 0) return Fail(Reason(errno));
      if (st.st_uid != ::geteuid() && st.st_uid != folder.st_uid && (folder.st_mode & S_ISVTX) &&
          !OthersMayWrite(dir.get(), folder.st_mode, folder.st_gid).isEmpty()) {
        return Fail(
            QStringLiteral("it belongs to another user, %1, in the shared folder %2, where a save "
                           "never writes into another user's file")
                .arg(UserName(st.st_uid), Shown(shown)));
      }
      Target t;
      t.folder = std::move(dir);
      t.folder_shown = shown;
      t.name = part.name;
      t.exists = true;
      t.file = std::move(entry);
      t.old = st;
      return t;
    }
    if (!S_ISDIR(st.st_mode)) return Fail(Reason(ENOTDIR));
    dir = std::move(entry);
    shown = here;
    is_private = is_private || part.root_end;
    if (const QString unsafe = check_private(st); !unsafe.isEmpty()) return Fail(unsafe);
  }
  if (!make_folders) return Fail(Reason(EISDIR));  // nothing but "." and "/" in the path
  Target t;
  t.folder = std::move(dir);
  t.folder_shown = shown;
  return t;
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

// Gives the new file `fd` the access list and the extended attributes (in
// the user. and security. namespaces) of the old file `old`, opened as a
// path, as a careful editor does: a picture is never made more readable by
// its replacement. Returns why one could not be kept, or an empty string.
QString KeepAccessAndAttributes(int old, int fd) {
  const QByteArray self = Self(old);
  if (acl_t acl = ::acl_get_file(self.constData(), ACL_TYPE_ACCESS)) {
    const int set = ::acl_set_fd(fd, acl), error = errno;
    ::acl_free(acl);
    if (set != 0) return QStringLiteral("its access list could not be kept: %1").arg(Reason(error));
  } else if (errno != ENOTSUP) {
    return QStringLiteral("its access list could not be read: %1").arg(Reason(errno));
  }
  // Each value read into a buffer of the size asked first.
  const auto get = [](const std::function<ssize_t(char*, size_t)>& call, QByteArray* into) {
    const ssize_t size = call(nullptr, 0);
    if (size < 0) return false;
    into->resize(size);
    const ssize_t n = call(into->data(), static_cast<size_t>(size));
    if (n >= 0) into->resize(n);
    return n >= 0;
  };
  QByteArray names, value, now;
  if (!get([&](char* b, size_t s) { return ::listxattr(self.constData(), b, s); }, &names)) {
    if (errno == ENOTSUP) return QString();
    return QStringLiteral("its extended attributes could not be read: %1").arg(Reason(errno));
  }
  for (const QByteArray& name : names.split('\0')) {
    if (!name.startsWith("user.") && !name.startsWith("security.")) continue;
    if (!get(
            [&](char* b, size_t s) { return ::getxattr(self.constData(), name.constData(), b, s); },
            &value)) {
      return QStringLiteral("its extended attribute %1 could not be read: %2")
          .arg(Shown(name), Reason(errno));
    }
    // One the new file has already (a security label the system gives) is
    // left as it is.
    if (get([&](char* b, size_t s) { return ::fgetxattr(fd, name.constData(), b, s); }, &now) &&
        now == value) {
      continue;
    }
    if (::fsetxattr(fd, name.constData(), value.constData(), value.size(), 0) != 0) {
      return QStringLiteral("its extended attribute %1 could not be kept: %2")
          .arg(Shown(name), Reason(errno));
    }
  }
  return QString();
}

// Removes the new files of earlier replacements of `name` in `folder` that
// were killed before their rename: only regular files of the user's own
// that no running replacement holds locked. The folder is locked for the
// sweep, and it passes when another replacement is making a new file there
// (CreateNewFile).
void RemoveLeftovers(int folder, const QByteArray& name) {
  // Listed without a new access time where the folder's owner allows it: the
  // folder has just been synced, and the changed time would otherwise be one
  // more write to the disk that the next save's first sync waits for.
  int listed = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOATIME);
  if (listed < 0 && errno == EPERM)
    listed = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* dir = listed >= 0 && ::flock(listed, LOCK_EX | LOCK_NB) == 0 ? ::fdopendir(listed) : nullptr;
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

// A pause between a named new file's creation and its lock, and with it
// named new files alone; zero outside tests.
std::chrono::microseconds named_new_files_pause{0};

// A shared lock on `folder`, which keeps other replacements' sweeps away
// while it is held. A sweep holds the folder only for a moment; anyone
// else who holds it longer is waited for a second, and then not.
bool LockFolderShared(int folder) {
  for (int attempt = 0; attempt < 1000; ++attempt) {
    if (::flock(folder, LOCK_SH | LOCK_NB) == 0) return true;
    if (errno != EWOULDBLOCK) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

// A new file in `folder`, locked, that no one else can read. Unnamed where
// the system allows it, so that it never shows in the folder unfinished;
// `name` is then empty. Elsewhere it is made and locked under the folder's
// shared lock, so that no sweep sees it before it is locked.
Fd CreateNewFile(int folder, const QByteArray& target_name, QByteArray* name, int* error) {
  name->clear();
  if ((*error = InjectedError(FileStep::kOpen))) return Fd();
  const bool named = named_new_files_pause.count() != 0;
  Fd fd(named ? -1 : ::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
  const bool folder_locked = fd.get() < 0 && LockFolderShared(folder);
  for (int attempt = 0; fd.get() < 0 && attempt < 100; ++attempt) {
    *name = NewFileName(target_name);
    fd = Fd(::openat(folder, name->constData(),
                     O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (fd.get() < 0 && errno != EEXIST) break;
  }
  *error = fd.get() < 0 ? errno : 0;
  if (named && !*error) std::this_thread::sleep_for(named_new_files_pause);
  // Held until after the rename: it tells other replacements that this file
  // is not a leftover.
  if (fd.get() >= 0 && ::flock(fd.get(), LOCK_EX) != 0) *error = errno;
  if (folder_locked) ::flock(folder, LOCK_UN);
  return *error ? Fd() : std::move(fd);
}

// Gives an unnamed new file a name in `folder`.
int NameNewFile(int fd, int folder, const QByteArray& target_name, QByteArray* name) {
  const QByteArray self = Self(fd);
  for (int attempt = 0; attempt < 100; ++attempt) {
    *name = NewFileName(target_name);
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

// The kernel's rule for shared folders, whatever the system is set to: in
// a sticky folder that anyone may write to, a read follows a link only when
// the user or the folder's owner made it. (A save is stricter: it follows
// only the user's own links and root's, in any folder.)
bool LinkOfAnotherUser(const struct stat& link, const struct stat& folder) {
  return (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH) && link.st_uid != ::geteuid() &&
         link.st_uid != folder.st_uid;
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
  const int fd = ::open(Self(found.file.get()).constData(), flags | O_CLOEXEC);
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
  const Target target = Resolve(FileNameBytes(path), FileNameBytes(options.private_root), false);
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
  if (target.exists) {
    if (const QString kept = KeepAccessAndAttributes(target.file.get(), fd.get());
        !kept.isEmpty()) {
      fail(0);
      return kept;
    }
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

bool MkDir(const QString& program_path, QString* error) {
  const QString host = HostPath(program_path);
  const QString reason =
      host.isEmpty() ? QString() : Resolve(FileNameBytes(host), QByteArray(), true).error;
  if (error && host.isEmpty()) {
    *error = QStringLiteral("The folder %1 cannot be used: it leads outside its drive.")
                 .arg(ShownName(program_path));
  } else if (error && !reason.isEmpty()) {
    *error = QStringLiteral("The folder %1 could not be created: %2.").arg(ShownName(host), reason);
  }
  return !host.isEmpty() && reason.isEmpty();
}

void SetNamedNewFilesForTesting(std::chrono::microseconds pause) { named_new_files_pause = pause; }

}  // namespace quorvel::os
