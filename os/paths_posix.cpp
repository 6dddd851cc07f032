#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QStringList>

#include "os/paths.h"
#include "os/paths_system.h"
#include "os/utf8.h"

namespace quorvel::os {

namespace {

QString DataHome() {
  const QString xdg = FileNameFromBytes(qgetenv("XDG_DATA_HOME"));
  if (xdg.startsWith(u'/')) return xdg;
  QByteArray home = qgetenv("HOME");
  if (home.isEmpty()) {
    // As a login would set it: the account's home folder.
    if (const passwd* account = getpwuid(getuid()); account && account->pw_dir) {
      home = account->pw_dir;
    }
  }
  return FileNameFromBytes(home) + QStringLiteral("/.local/share");
}

}  // namespace

QString HostPath(const QString& program_path) {
  // Only drive paths are mapped; any other path is a host path already.
  if (program_path.size() < 2 || program_path[1] != u':' || !program_path[0].isLetter() ||
      program_path[0].unicode() >= 128) {
    return program_path;
  }
  const QString root = DataHome() + QStringLiteral("/quorvel/drive_") + program_path[0].toLower();
  QStringList parts;
  // A forward slash separates folders too, so that no spelling of ".."
  // leads out of the drive's folder.
  QString rest = program_path.mid(2);
  rest.replace(u'\\', u'/');
  for (const QString& part : rest.split(u'/', Qt::SkipEmptyParts)) {
    if (part == QStringLiteral(".")) continue;
    if (part == QStringLiteral("..")) return QString();
    parts << part;
  }
  return parts.isEmpty() ? root : root + u'/' + parts.join(u'/');
}

QString PrivateRoot(const QString& program_path) {
  const QString host = HostPath(program_path);
  return host.isEmpty() || host == program_path ? QString() : DataHome();
}

namespace detail {

EntryKind KindAt(const QString& host) {
  struct stat status {};
  if (::stat(FileNameBytes(host).constData(), &status) != 0) return EntryKind::kNone;
  return S_ISDIR(status.st_mode) ? EntryKind::kFolder : EntryKind::kFile;
}

// MakeFolders walks to its folder as a replacement does: files_posix.cpp.

}  // namespace detail

}  // namespace quorvel::os
