// What the replacement code of every system shares: the step a test makes
// fail, and the names of the new files a replacement writes (NewFileName,
// declared with the test hooks).
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

#include "os/files.h"
#include "os/files_testing.h"

namespace quorvel::os::detail {

// The fault a test has set (SetFileFaultForTesting); none in a real run.
extern std::optional<FileFault> injected_fault;

// The error a test makes `step` fail with (an errno value), or 0: in a real
// run, one test of a flag.
inline int InjectedError(FileStep step) {
  return injected_fault && injected_fault->step == step ? injected_fault->error : 0;
}

// Whether `entry` is a name NewFileName gives for `name`: a new file of an
// earlier replacement of the same file.
bool IsNewFileOf(const QByteArray& entry, const QByteArray& name);

// Reads an input to its end, but no more than one byte past `limit`, into a
// buffer that starts at `expected` bytes (the size known, if any) and
// grows. `read` reads up to `size` bytes into `into` and returns how many,
// 0 at the end, or -1 with `error` set.
FileRead ReadAtMost(qint64 limit, qint64 expected,
                    const std::function<qint64(char* into, qint64 size, QString* error)>& read);

// The note on a replaced file that had `names` names in all (hard links):
// the others still show the old file.
QString OtherNamesNote(quint64 names);

}  // namespace quorvel::os::detail
