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
#include "os/paths_system.h"
#include "os/shown_name.h"
#include "os/utf8.h"

namespace quorvel::os {

using detail::InjectedError;

namespace {

QString Reason(int error) { return qt_error_string(error); }

// A system error, at the edge where it becomes a failure.
Failure FromErrno(int error) { return {Failure::Kind::kFile, Reason(error)}; }
Failure Refusal(const QString& sentence) { return {Failure::Kind::kFile, sentence}; }
// A call that returns 0 on success and sets errno otherwise.
Result<void> Checked(int result) { return result == 0 ? Result<void>() : FromErrno(errno); }

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

Failure NotRegular(mode_t mode) {
  const char* kind = S_ISDIR(mode)    ? "a folder"
                     : S_ISCHR(mode)  ? "a character device"
                     : S_ISBLK(mode)  ? "a block device"
                     : S_ISFIFO(mode) ? "a FIFO"
                     : S_ISSOCK(mode) ? "a socket"
                                      : "something";
  return detail::NotRegular(QLatin1StringView(kind));
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

// Why a folder on the way to a private file is not the user's own, if it
// is not. Folders of the system's (owned by root) count as the
// user's, as long as no one else may write to them.
Result<void> OwnFolder(int fd, const struct stat& st, const QByteArray& shown) {
  if (st.st_uid != ::geteuid() && st.st_uid != 0) {
    return Refusal(
        QStringLiteral(
            "the folder %1 belongs to another user, %2, and pictures are only saved in the "
            "user's own folders")
            .arg(Shown(shown), UserName(st.st_uid)));
  }
  if (const QString rule = OthersMayWrite(fd, st.st_mode, st.st_gid); !rule.isEmpty()) {
    return Refusal(
        QStringLiteral(
            "the folder %1 can be written by other users (%2), and pictures are only saved "
            "in the user's own folders")
            .arg(Shown(shown), rule));
  }
  return {};
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
};

// Walks `path` from the root (or the current folder) one name at a time,
// each opened without following a link, and each link judged and read
// before it is followed. Below `private_root` every folder must be the
// user's own, up to the first link: a link in the user's own folders is
// the user's, and leads where they chose. With `make_folders` every name
// is a folder, and a missing one is made, private to the user; the result
// is then the last folder.
Result<Target> Resolve(const QByteArray& path, const QByteArray& private_root, bool make_folders) {
  if (path.isEmpty() || (path.endsWith('/') && !make_folders)) return FromErrno(EISDIR);
  QByteArray shown = path.startsWith('/') ? "/" : ".";
  Fd dir(::open(shown.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() < 0) return Refusal(QStringLiteral("%1: %2").arg(Shown(shown), Reason(errno)));
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
    return is_private ? OwnFolder(dir.get(), st, shown) : Result<void>();
  };
  struct stat st;
  if (::fstat(dir.get(), &st) != 0) return FromErrno(errno);
  if (const Result<void> own = check_private(st); !own.ok()) return own.failure();

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
          return FromErrno(errno);
      } else if (errno != EEXIST) {
        return FromErrno(errno);
      }
      parts.push_front(part);
      continue;
    }
    if (entry.get() < 0 || ::fstat(entry.get(), &st) != 0) {
      if (errno != ENOENT || !last) return FromErrno(errno);
      if (through_link) return detail::LinkToNothing();
      if (part.folder_only) return FromErrno(EISDIR);
      Target t;
      t.folder = std::move(dir);
      t.folder_shown = shown;
      t.name = part.name;
      return t;
    }
    if (S_ISLNK(st.st_mode)) {
      if (st.st_uid != ::geteuid() && st.st_uid != 0) {
        return Refusal(
            QStringLiteral("the link %1 belongs to another user, %2, and a save follows only the "
                           "user's own links and root's")
                .arg(Shown(here), UserName(st.st_uid)));
      }
      if (++links > 40) return FromErrno(ELOOP);
      char target[4096];
      const ssize_t n = ::readlinkat(entry.get(), "", target, sizeof target);
      if (n <= 0 || n == static_cast<ssize_t>(sizeof target)) {
        return FromErrno(n < 0 ? errno : ENAMETOOLONG);
      }
      const QByteArray link(target, n);
      if (link.startsWith('/')) {
        dir = Fd(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (dir.get() < 0) return FromErrno(errno);
        shown = "/";
      }
      std::deque<Part> more = Components(link);
      if (more.empty() && last) return FromErrno(EISDIR);
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
        if (::fstat(dir.get(), &st) != 0) return FromErrno(errno);
        if (const Result<void> own = check_private(st); !own.ok()) return own.failure();
      }
      continue;
    }
    if (last) {
      if (!S_ISREG(st.st_mode)) return NotRegular(st.st_mode);
      if (part.folder_only) return FromErrno(ENOTDIR);
      // The kernel's rule for regular files in shared folders, whatever the
      // system is set to: in a sticky folder that others may write to, a
      // file of another user's (not the folder owner's) is never written.
      struct stat folder;
      if (::fstat(dir.get(), &folder) != 0) return FromErrno(errno);
      if (st.st_uid != ::geteuid() && st.st_uid != folder.st_uid && (folder.st_mode & S_ISVTX) &&
          !OthersMayWrite(dir.get(), folder.st_mode, folder.st_gid).isEmpty()) {
        return Refusal(
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
    if (!S_ISDIR(st.st_mode)) return FromErrno(ENOTDIR);
    dir = std::move(entry);
    shown = here;
    is_private = is_private || part.root_end;
    if (const Result<void> own = check_private(st); !own.ok()) return own.failure();
  }
  if (!make_folders) return FromErrno(EISDIR);  // nothing but "." and "/" in the path
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
// its replacement. Fails when one could not be kept.
Result<void> KeepAccessAndAttributes(int old, int fd) {
  const QByteArray self = Self(old);
  if (acl_t acl = ::acl_get_file(self.constData(), ACL_TYPE_ACCESS)) {
    const int set = ::acl_set_fd(fd, acl), error = errno;
    ::acl_free(acl);
    if (set != 0)
      return Refusal(QStringLiteral("its access list could not be kept: %1").arg(Reason(error)));
  } else if (errno != ENOTSUP) {
    return Refusal(QStringLiteral("its access list could not be read: %1").arg(Reason(errno)));
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
    if (errno == ENOTSUP) return {};
    return Refusal(
        QStringLiteral("its extended attributes could not be read: %1").arg(Reason(errno)));
  }
  for (const QByteArray& name : names.split('\0')) {
    if (!name.startsWith("user.") && !name.startsWith("security.")) continue;
    if (!get(
            [&](char* b, size_t s) { return ::getxattr(self.constData(), name.constData(), b, s); },
            &value)) {
      return Refusal(QStringLiteral("its extended attribute %1 could not be read: %2")
                         .arg(Shown(name), Reason(errno)));
    }
    // One the new file has already (a security label the system gives) is
    // left as it is.
    if (get([&](char* b, size_t s) { return ::fgetxattr(fd, name.constData(), b, s); }, &now) &&
        now == value) {
      continue;
    }
    if (::fsetxattr(fd, name.constData(), value.constData(), value.size(), 0) != 0) {
      return Refusal(QStringLiteral("its extended attribute %1 could not be kept: %2")
                         .arg(Shown(name), Reason(errno)));
    }
  }
  return {};
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

// A replacement's steps on a file found by Resolve. The new file is made
// in the folder unnamed where the system allows it, so that it never shows
// there unfinished; elsewhere it is made and locked under the folder's
// shared lock, so that no sweep sees it before it is locked.
class PosixSteps : public detail::ReplacementSteps {
 public:
  PosixSteps(Target target, Fd folder) : target_(std::move(target)), folder_(std::move(folder)) {}
  ~PosixSteps() override { Unlock(); }

  QByteArray Key() const override { return target_.name; }

  Result<bool> CreateUnnamed() override {
    if (named_new_files_pause.count() == 0)
      fd_ = Fd(::openat(folder_.get(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
    if (fd_.get() >= 0) return true;
    folder_locked_ = LockFolderShared(folder_.get());
    return false;
  }

  Result<bool> CreateNamed(const QByteArray& name) override {
    fd_ = Fd(::openat(folder_.get(), name.constData(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (fd_.get() >= 0) {
      temp_ = name;
      return true;
    }
    if (errno != EEXIST) return FromErrno(errno);
    return false;
  }

  // Held until after the rename: it tells other replacements that this file
  // is not a leftover.
  Result<void> Hold() override {
    if (!temp_.isEmpty()) std::this_thread::sleep_for(named_new_files_pause);
    const Result<void> locked = Checked(::flock(fd_.get(), LOCK_EX));
    Unlock();
    return locked;
  }

  // Unbuffered writes, each one checked.
  Result<qint64> Write(const char* data, qint64 size) override {
    for (;;) {
      const ssize_t n = ::write(fd_.get(), data, static_cast<size_t>(size));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return FromErrno(n < 0 ? errno : EIO);
      return static_cast<qint64>(n);
    }
  }

  // The old file's owner, group and permission bits carry over (never
  // set-user-ID, set-group-ID or sticky), and its access list and extended
  // attributes; a new file gets what any new file gets.
  Result<void> KeepOld() override {
    struct stat own;
    if (::fstat(fd_.get(), &own) != 0) return FromErrno(errno);
    const struct stat& old = target_.old;
    if (target_.exists && (own.st_uid != old.st_uid || own.st_gid != old.st_gid) &&
        ::fchown(fd_.get(), old.st_uid, old.st_gid) != 0) {
      return Refusal(
          QStringLiteral("it belongs to user %1 and group %2, which its replacement could not "
                         "keep: %3")
              .arg(QString::number(old.st_uid), QString::number(old.st_gid), Reason(errno)));
    }
    const Result<void> kept =
        Checked(::fchmod(fd_.get(), target_.exists ? old.st_mode & 0777 : NewFileMode()));
    if (!kept.ok() || !target_.exists) return kept;
    return KeepAccessAndAttributes(target_.file.get(), fd_.get());
  }

  Result<void> Sync() override { return Checked(::fsync(fd_.get())); }

  Result<bool> Name(const QByteArray& name) override {
    if (::linkat(AT_FDCWD, Self(fd_.get()).constData(), folder_.get(), name.constData(),
                 AT_SYMLINK_FOLLOW) == 0 ||
        (errno == ENOENT &&
         ::linkat(fd_.get(), "", folder_.get(), name.constData(), AT_EMPTY_PATH) == 0)) {
      temp_ = name;
      return true;
    }
    if (errno != EEXIST) return FromErrno(errno);
    return false;
  }

  // The lock stays with a copy of the descriptor until after the rename;
  // closing the original still reports what a network file system only
  // tells at close.
  Result<void> Close() override {
    locked_ = Fd(::fcntl(fd_.get(), F_DUPFD_CLOEXEC, 0));
    if (locked_.get() < 0) return FromErrno(errno);
    return Checked(::close(fd_.release()));
  }

  Result<void> Rename() override {
    return Checked(
        ::renameat(folder_.get(), temp_.constData(), folder_.get(), target_.name.constData()));
  }

  Result<void> Settle() override {
    if (::fsync(folder_.get()) != 0) {
      return Refusal(
          QStringLiteral("the new file is in place, but its folder could not be synced to the "
                         "disk: %1")
              .arg(Reason(errno)));
    }
    return {};
  }

  void Discard() override {
    fd_ = Fd();
    if (!temp_.isEmpty()) ::unlinkat(folder_.get(), temp_.constData(), 0);
    Unlock();
  }

  void RemoveLeftovers() override { os::RemoveLeftovers(folder_.get(), target_.name); }

  quint64 OldNames() const override { return target_.exists ? target_.old.st_nlink : 0; }

 private:
  void Unlock() {
    if (folder_locked_) ::flock(folder_.get(), LOCK_UN);
    folder_locked_ = false;
  }

  Target target_;
  Fd folder_;        // opened for reading, which syncing it needs
  Fd fd_;            // the new file
  Fd locked_;        // a copy of it that keeps its lock past its close
  QByteArray temp_;  // its name, once it has one
  bool folder_locked_ = false;
};

// Reads from `fd` to its end, but no more than one byte past `limit`.
Result<QByteArray> ReadAtMost(int fd, qint64 limit, qint64 expected) {
  return detail::ReadAtMost(limit, expected, [fd](char* into, qint64 size) -> Result<qint64> {
    for (;;) {
      const ssize_t n = ::read(fd, into, static_cast<size_t>(size));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return FromErrno(errno);
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
// file itself opened for nothing but a look (O_PATH).
struct Found {
  Fd folder;
  QByteArray name;
  Fd file;
};

// Finds `path`, relative to the folder `at`, as the system would: its
// folder first, where a path is longer than the system takes whole one
// folder at a time, each opened from the one before (so that a path of any
// length is found, as a save finds it), then its last name there. A link in
// that place is followed, its target found in turn, unless another user
// made it in a shared folder (LinkOfAnotherUser). Nothing found is opened
// to be read.
Result<Found> Find(int at, const QByteArray& path, int links = 0) {
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
      if (next.get() < 0) return FromErrno(errno);
      f.folder = std::move(next);
    }
  }
  if (f.folder.get() < 0) return FromErrno(errno);
  f.file = Fd(::openat(f.folder.get(), f.name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
  struct stat link, folder;
  if (f.file.get() < 0 || ::fstat(f.file.get(), &link) != 0) return FromErrno(errno);
  if (!S_ISLNK(link.st_mode)) return f;
  if (::fstat(f.folder.get(), &folder) != 0) return FromErrno(errno);
  if (LinkOfAnotherUser(link, folder)) {
    return Refusal(
        QStringLiteral("it is a link that another user (uid %1) made in a shared folder, and "
                       "such a link is not followed")
            .arg(QString::number(link.st_uid)));
  }
  char target[4096];
  const ssize_t n = ::readlinkat(f.file.get(), "", target, sizeof target);
  if (++links > 40 || n <= 0 || n == static_cast<ssize_t>(sizeof target)) {
    return FromErrno(links > 40 ? ELOOP : n < 0 ? errno : ENAMETOOLONG);
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

// A regular file, read whole; with `owner_only`, one that no one but its
// owner may read or write.
Result<QByteArray> ReadRegular(const QString& path, qint64 limit, bool owner_only) {
  // Judged by what was found, before it is opened to be read: a FIFO or a
  // device is never opened, so nothing waits or acts on a device. A file
  // known to be too large is not read at all.
  const Result<Found> found = Find(AT_FDCWD, FileNameBytes(path));
  if (!found.ok()) return found.failure();
  struct stat st;
  if (::fstat(found.value().file.get(), &st) != 0) return FromErrno(errno);
  if (!S_ISREG(st.st_mode)) return NotRegular(st.st_mode);
  if (st.st_size > limit) return detail::TooLarge();
  const Fd fd = Reopen(found.value(), O_RDONLY | O_NONBLOCK | O_NOCTTY);
  if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0) return FromErrno(errno);
  // Opened by its name again where there is no /proc: still the same kind?
  if (!S_ISREG(st.st_mode)) return NotRegular(st.st_mode);
  if (owner_only && (st.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
    return Refusal(QStringLiteral("others may read or write it (its mode is %1); only its owner "
                                  "may, as chmod 600 makes it")
                       .arg(st.st_mode & 07777, 4, 8, QChar(u'0')));
  }
  return ReadAtMost(fd.get(), limit, st.st_size);
}

}  // namespace

Result<QByteArray> ReadRegularFile(const QString& path, qint64 limit) {
  return ReadRegular(path, limit, false);
}

Result<QByteArray> ReadPrivateFile(const QString& path, qint64 limit) {
  return ReadRegular(path, limit, true);
}

Result<QByteArray> ReadInput(const QString& path, qint64 limit) {
  if (path.isEmpty()) return ReadAtMost(STDIN_FILENO, limit, 0);
  const Result<Found> found = Find(AT_FDCWD, FileNameBytes(path));
  if (!found.ok()) return found.failure();
  const Fd fd = Reopen(found.value(), O_RDONLY | O_NOCTTY);
  if (fd.get() < 0) return FromErrno(errno);
  // A regular file's size, as it is now, is room enough for it in one go.
  struct stat st;
  const bool regular = ::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode);
  return ReadAtMost(fd.get(), limit, regular ? st.st_size : 0);
}

namespace detail {

Failure FromErrnoValue(int error) { return FromErrno(error); }

Failure StreamWriteFailure() { return FromErrno(errno); }

Result<std::unique_ptr<ReplacementSteps>> FindReplacement(const QString& path,
                                                          const QString& private_root) {
  Result<Target> target = Resolve(FileNameBytes(path), FileNameBytes(private_root), false);
  if (!target.ok()) return target.failure();
  const Target& t = target.value();
  // The folder is opened for reading, which syncing it needs: a folder that
  // cannot be synced is found before anything is replaced.
  Fd folder(::openat(t.folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() < 0 || ::fsync(folder.get()) != 0) {
    return Refusal(QStringLiteral("its folder %1 cannot be synced to the disk: %2")
                       .arg(Shown(t.folder_shown), Reason(errno)));
  }
  if (t.exists &&
      ::faccessat(folder.get(), t.name.constData(), W_OK, AT_EACCESS | AT_SYMLINK_NOFOLLOW) != 0) {
    return errno == EACCES || errno == EPERM ? ReadOnly() : FromErrno(errno);
  }
  return std::unique_ptr<ReplacementSteps>(
      std::make_unique<PosixSteps>(std::move(target).value(), std::move(folder)));
}

// A folder is made as a replacement walks to its file.
Result<void> MakeFolders(const QString& host) {
  const Result<Target> made = Resolve(FileNameBytes(host), QByteArray(), true);
  if (!made.ok()) return made.failure();
  return {};
}

}  // namespace detail

void SetNamedNewFilesForTesting(std::chrono::microseconds pause) { named_new_files_pause = pause; }

}  // namespace quorvel::os
