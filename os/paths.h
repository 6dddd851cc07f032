// The program's fixed paths are written as Windows paths ("C:\dpics\pic.bmp").
// On Windows they are used as written. Elsewhere a path X:\a\b maps to
// $XDG_DATA_HOME/quorvel/drive_x/a/b (~/.local/share when XDG_DATA_HOME is
// unset or not absolute, the home folder from the account database when HOME
// is unset or empty), the drive letter matched without case and each
// backslash (or slash) a folder separator. Paths without a drive letter are
// host paths already and are used as they are.
#pragma once

#include <QByteArray>
#include <QString>

#include "os/result.h"

namespace quorvel::os {

// Dir attribute for folders.
inline constexpr int vbDirectory = 16;

// The last part of a path, after its last / or \ (both end a folder's
// name in a program path).
QString LastName(const QString& path);

// The host path of a program path. Empty when a drive path cannot be mapped
// (a ".." component, which would lead outside the drive's folder).
QString HostPath(const QString& program_path);

// The folder a program path's host path lies below when the path is
// mapped: the data folder, which with the folders below it must be the
// user's own. Empty where the path is used as it is.
QString PrivateRoot(const QString& program_path);

// The name of the file (or, with vbDirectory, the file or folder) at a
// program path; the empty string when there is none.
QString Dir(const QString& pattern, int attributes = 0);

// Creates a folder, with the folders above it on the mapped drive. Where
// drive paths map under the data folder, each folder it makes is the
// user's alone, whatever the umask, and links on the way are followed only
// where a replacement follows them (ReplaceFileWith). A failure's sentence
// names the host folder and the reason.
Result<void> MkDir(const QString& program_path);

}  // namespace quorvel::os
