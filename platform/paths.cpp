#include "platform/paths.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <filesystem>
#include <system_error>

namespace quorvel::platform {

namespace {

#ifndef Q_OS_WIN
QString DataHome() {
  const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
  if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg)) return xdg;
  return QDir::homePath() + QStringLiteral("/.local/share");
}
#endif

}  // namespace

QString HostPath(const QString& program_path) {
#ifdef Q_OS_WIN
  return program_path;
#else
  // Only drive paths are mapped; any other path is a host path already.
  if (program_path.size() < 2 || program_path[1] != u':' || !program_path[0].isLetter() ||
      program_path[0].unicode() >= 128) {
    return program_path;
  }
  const QString root = DataHome() + QStringLiteral("/quorvel/drive_") + program_path[0].toLower();
  QStringList parts;
  // A forward slash separates folders too, so that no spelling of ".."
  // leads out of the drive's folder.
  for (const QString& part :
       program_path.mid(2).split(QRegularExpression(QStringLiteral("[\\\\/]")))) {
    if (part.isEmpty() || part == QStringLiteral(".")) continue;
    if (part == QStringLiteral("..")) return QString();
    parts << part;
  }
  return parts.isEmpty() ? root : root + u'/' + parts.join(u'/');
#endif
}

QString Dir(const QString& pattern, int attributes) {
  const QString host = HostPath(pattern);
  if (host.isEmpty()) return QString();
  const QFileInfo info(host);
  const QString name = info.fileName();
  const bool folders = (attributes & vbDirectory) != 0;
  if (!name.contains(u'*') && !name.contains(u'?')) {
    if (!info.exists()) return QString();
    return (info.isDir() && !folders) ? QString() : name;
  }
  QDir::Filters filters = QDir::Files | QDir::Hidden | QDir::System;
  if (folders) filters |= QDir::Dirs | QDir::NoDotAndDotDot;
  const QStringList found = QDir(info.path()).entryList({name}, filters, QDir::Name);
  return found.isEmpty() ? QString() : found.first();
}

bool MkDir(const QString& program_path, QString* error) {
  const QString host = HostPath(program_path);
  if (host.isEmpty()) {
    if (error)
      *error = QStringLiteral("The folder %1 cannot be used: it leads outside its drive.")
                   .arg(program_path);
    return false;
  }
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(host.toStdU16String()), ec);
  if (ec) {
    if (error) {
      *error = QStringLiteral("The folder %1 could not be created: %2.")
                   .arg(host, QString::fromStdString(ec.message()));
    }
    return false;
  }
  return true;
}

}  // namespace quorvel::platform
