// Reading and replacing files without surprises: a read takes regular files
// only, never blocks and never takes more than its limit; a replacement
// leaves either the old file or the whole new one, and says why when it
// fails.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdio>

#include "os/result.h"

namespace quorvel::os {

// Reads a whole regular file of at most `limit` bytes. The file is found
// first and judged by what was found, not by a look at its name that
// something else could take the place of: anything but a regular file (a
// folder, a device, a FIFO, a socket) is refused before anything is read,
// so a read never waits for a writer, acts on a device or runs on without
// end. A link is followed, but not one that another user made in a
// folder others share (where folders can be sticky: in a sticky folder
// anyone may write to, a link of neither the user nor the folder's owner).
// Every path that ReplaceFileWith writes can be read, however long. A file
// whose size is over the limit is not read at all: a kTooLarge failure.
// A failure's sentence is the reason, such as "No such file or directory"
// or "it is a FIFO, not a regular file", without the path.
Result<QByteArray> ReadRegularFile(const QString& path, qint64 limit);

// Reads a whole regular file of at most `limit` bytes as ReadRegularFile
// does, for a secret such as keys: where the system gives files permission
// bits, a file that its group or other users may read or write is refused
// (its owner alone may, as with chmod 600), so that a secret kept where
// others can read it is not taken for a private one. Windows keeps access
// lists instead, which this does not judge: there the file is read as it is.
Result<QByteArray> ReadPrivateFile(const QString& path, qint64 limit);

// Reads a whole input of at most `limit` bytes: the file at `path`, of any
// kind (a pipe, a device), found as ReadRegularFile finds it, or standard
// input when `path` is empty. Reading stops one byte past the limit, so an
// endless input ends too: an input over the limit gives its first
// limit + 1 bytes.
Result<QByteArray> ReadInput(const QString& path, qint64 limit);

// What a replacement that succeeded tells besides.
struct Replaced {
  // When not empty: a side effect the user should know of, as a clause
  // ("the file had another name, which still shows the old file").
  QString note;
};

// Replaces the file at `path` with `bytes`: they are written to a new file
// in the same folder, which no one but the user can read until it has the
// old file's permissions (its access list and extended attributes too,
// where the system has them), synced to the disk and renamed over the
// path, every step checked. On any failure the old file stays as it was and
// the new one is removed. Refused, with nothing written: a path that names
// something other than a regular file (a folder, a device, directly or
// through links), a link to nothing, a read-only file, a link on the way
// that another user made (only the user's own and the system's are
// followed), another user's file in a shared folder where others may write,
// and a permission that cannot be kept. A link to a regular file stays a
// link and its target is replaced. After a replacement, new files left in
// the folder by an earlier replacement of the same file that was killed are
// removed. A failure's sentence is the reason, without the path.
//
// `private_root`, when not empty, is a folder the file must lie below. It
// and every folder from it down to the file (up to a link of the user's)
// must be the user's own: where the system gives folders owners, one that
// belongs to another user or that others may write to (by its permission
// bits, its access list, a default access list that would let them write to
// what is made in it, or a group that is not the user's private one) is
// refused, and nothing is written.
Result<Replaced> ReplaceFileWith(const QString& path, const QByteArray& bytes,
                                 const QString& private_root = QString());

// Writes all of `bytes` to `stream` and flushes it; the system's reason
// when any of it could not be written.
Result<void> WriteToStream(std::FILE* stream, const QByteArray& bytes);

}  // namespace quorvel::os
