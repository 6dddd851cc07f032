// What tests may change or see in the file layer beyond files.h: a step of
// a replacement made to fail, the names of the new files a replacement
// writes, and (POSIX) new files made as where unnamed ones do not exist.
// Only tests include this header; the product's code does not call these.
#pragma once

#include <QByteArray>
#include <chrono>
#include <optional>

namespace quorvel::os {

// The steps of a replacement, for tests that make one of them fail.
enum class FileStep { kOpen, kWrite, kSync, kClose, kRename };
struct FileFault {
  FileStep step;
  // The errno value the step fails with; on Windows, the Windows error
  // nearest to it (ENOSPC a full disk, EIO a failing device).
  int error;
};
void SetFileFaultForTesting(std::optional<FileFault> fault);

// The name of a new file that replaces `name` in the same folder: a dot,
// "quorvel-", a hash of `name`, and random letters. Its length is the same
// whatever `name` is, so a name the system takes never makes it too long.
QByteArray NewFileName(const QByteArray& name);

// While `pause` is not zero, replacements make their new files as they do
// where the file system has no unnamed files (NFS, some FUSE ones): with a
// name from the start, and a pause of `pause` between making and locking
// each one. POSIX only.
void SetNamedNewFilesForTesting(std::chrono::microseconds pause);

}  // namespace quorvel::os
