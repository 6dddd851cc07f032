#include "platform/paths.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <filesystem>
#include <system_error>

#ifndef Q_OS_WIN
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quorvel::platform {

namespace {

#ifndef Q_OS_WIN
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
#endif

}  // namespace

int Utf8SequenceLength(const char* bytes, qsizetype size) {
  if (size <= 0) return 0;
  const auto* b = reinterpret_cast<const unsigned char*>(bytes);
  const unsigned char lead = b[0];
  if (lead < 0x80) return 1;
  // The length of the sequence and the range its second byte must lie in
  // (which rules out overlong forms, surrogates and values past U+10FFFF).
  int length = 0;
  unsigned char low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (size < length) return 0;
  for (int k = 1; k < length; ++k) {
    const unsigned char c = b[k];
    if (k == 1 ? (c < low || c > high) : (c < 0x80 || c > 0xBF)) return 0;
  }
  return length;
}

QString FileNameFromBytes(const QByteArray& bytes) {
  QString name;
  name.reserve(bytes.size());
  const char* b = bytes.constData();
  qsizetype i = 0, start = 0;
  while (i < bytes.size()) {
    const int length = Utf8SequenceLength(b + i, bytes.size() - i);
    if (length > 0) {
      i += length;
      continue;
    }
    name += QString::fromUtf8(b + start, i - start);
    name += QChar(static_cast<char16_t>(0xDC00 + static_cast<unsigned char>(b[i])));
    start = ++i;
  }
  return name + QString::fromUtf8(b + start, i - start);
}

QByteArray FileNameBytes(const QString& name) {
  QByteArray bytes;
  bytes.reserve(name.size());
  qsizetype start = 0;
  for (qsizetype i = 0; i < name.size(); ++i) {
    const char16_t c = name[i].unicode();
    if (QChar::isHighSurrogate(c) && i + 1 < name.size() && name[i + 1].isLowSurrogate()) {
      ++i;  // a whole pair: a character of its own
    } else if (c >= 0xDC80 && c <= 0xDCFF) {
      bytes += QStringView(name).mid(start, i - start).toUtf8();
      bytes += static_cast<char>(c - 0xDC00);
      start = i + 1;
    }
  }
  return bytes + QStringView(name).mid(start).toUtf8();
}

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

QString PrivateRoot(const QString& program_path) {
#ifdef Q_OS_WIN
  Q_UNUSED(program_path);
  return QString();
#else
  const QString host = HostPath(program_path);
  return host.isEmpty() || host == program_path ? QString() : DataHome();
#endif
}

QString Dir(const QString& pattern, int attributes) {
  const QString host = HostPath(pattern);
  if (host.isEmpty()) return QString();
  const QFileInfo info(host);
  const QString name = info.fileName();
#ifdef Q_OS_WIN
  if (!info.exists()) return QString();
  const bool folder = info.isDir();
#else
  struct stat status {};
  if (::stat(FileNameBytes(host).constData(), &status) != 0) return QString();
  const bool folder = S_ISDIR(status.st_mode);
#endif
  return (folder && (attributes & vbDirectory) == 0) ? QString() : name;
}

bool MkDir(const QString& program_path, QString* error) {
  const QString host = HostPath(program_path);
  if (host.isEmpty()) {
    if (error)
      *error = QStringLiteral("The folder %1 cannot be used: it leads outside its drive.")
                   .arg(ShownName(program_path));
    return false;
  }
  std::error_code ec;
#ifdef Q_OS_WIN
  const std::filesystem::path folder(host.toStdU16String());
#else
  const std::filesystem::path folder(FileNameBytes(host).toStdString());
#endif
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    if (error) {
      *error = QStringLiteral("The folder %1 could not be created: %2.")
                   .arg(ShownName(host), QString::fromStdString(ec.message()));
    }
    return false;
  }
  return true;
}

}  // namespace quorvel::platform
