#include <fcntl.h>
#include <io.h>
#include <windows.h>
#undef ReplaceFile

#include <QFile>
#include <QFileInfo>
#include <algorithm>

#include "platform/files.h"
#include "platform/files_common.h"

namespace quorvel::platform {

using detail::InjectedError;

namespace {

QString Reason(int error) { return qt_error_string(error); }

}  // namespace

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

QString ReplaceFileWith(const QString& path, const QByteArray& bytes) {
  const QFileInfo info(path);
  if (info.exists() && !info.isFile()) return NotRegular(info);
  const QString target = info.isSymLink() ? info.symLinkTarget() : path;
  const QFileInfo target_info(target);
  const QString folder = target_info.absolutePath();
  const QByteArray name = QFile::encodeName(target_info.fileName());
  QString temp;
  HANDLE h = INVALID_HANDLE_VALUE;
  for (int attempt = 0; h == INVALID_HANDLE_VALUE && attempt < 100; ++attempt) {
    temp = folder + u'/' + QFile::decodeName(detail::NewFileName(name));
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

}  // namespace quorvel::platform
