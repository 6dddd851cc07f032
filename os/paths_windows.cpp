#include <windows.h>

#include <QDir>

#include "os/paths.h"
#include "os/paths_system.h"
#include "os/win32_error.h"

namespace quorvel::os {

namespace {

DWORD Attributes(const QString& native) {
  return GetFileAttributesW(reinterpret_cast<const wchar_t*>(native.utf16()));
}

bool IsFolder(const QString& native) {
  const DWORD attributes = Attributes(native);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Makes the folder and those above it that are missing; the Windows error
// of the first that cannot be made, or 0.
DWORD MakeFolderTree(const QString& native) {
  if (IsFolder(native)) return ERROR_SUCCESS;
  const auto make = [&native] {
    if (CreateDirectoryW(reinterpret_cast<const wchar_t*>(native.utf16()), nullptr))
      return DWORD{0};
    const DWORD error = GetLastError();
    return error == ERROR_ALREADY_EXISTS && IsFolder(native) ? DWORD{0} : error;  // made meanwhile
  };
  const DWORD error = make();
  const qsizetype slash = native.lastIndexOf(u'\\');
  if (error != ERROR_PATH_NOT_FOUND || slash <= 0) return error;
  if (const DWORD above = MakeFolderTree(native.left(slash))) return above;
  return make();
}

}  // namespace

// The program's paths are Windows paths already.
QString HostPath(const QString& program_path) { return program_path; }

// Drive paths are the system's own: no data folder of the user's is mapped.
QString PrivateRoot(const QString&) { return QString(); }

namespace detail {

EntryKind KindAt(const QString& host) {
  const DWORD found = Attributes(QDir::toNativeSeparators(host));
  if (found == INVALID_FILE_ATTRIBUTES) return EntryKind::kNone;
  return (found & FILE_ATTRIBUTE_DIRECTORY) ? EntryKind::kFolder : EntryKind::kFile;
}

Result<void> MakeFolders(const QString& host) {
  if (const DWORD failure = MakeFolderTree(QDir::toNativeSeparators(host)))
    return FromWindowsError(failure);
  return {};
}

}  // namespace detail

}  // namespace quorvel::os
