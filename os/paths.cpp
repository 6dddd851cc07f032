#include <QFileInfo>
#include <algorithm>

#include "os/paths.h"
#include "os/paths_system.h"
#include "os/shown_name.h"

namespace quorvel::os {

QString LastName(const QString& path) {
  return path.mid(std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\')) + 1);
}

QString Dir(const QString& pattern, int attributes) {
  const QString host = HostPath(pattern);
  const detail::EntryKind kind = host.isEmpty() ? detail::EntryKind::kNone : detail::KindAt(host);
  if (kind == detail::EntryKind::kNone ||
      (kind == detail::EntryKind::kFolder && (attributes & vbDirectory) == 0)) {
    return QString();
  }
  return QFileInfo(host).fileName();
}

Result<void> MkDir(const QString& program_path) {
  const QString host = HostPath(program_path);
  if (host.isEmpty()) {
    return Failure{Failure::Kind::kFile,
                   QStringLiteral("The folder %1 cannot be used: it leads outside its drive.")
                       .arg(ShownName(program_path))};
  }
  if (const Result<void> made = detail::MakeFolders(host); !made.ok()) {
    return Failure{Failure::Kind::kFile, QStringLiteral("The folder %1 could not be created: %2.")
                                             .arg(ShownName(host), made.failure().sentence)};
  }
  return {};
}

}  // namespace quorvel::os
