// What the file code of every system shares: the step a test makes fail,
// the names of the new files a replacement writes (NewFileName, declared
// with the test hooks), the sentences every system says, and the steps a
// replacement asks of its system (ReplaceFileWith runs them in
// replace.cpp, the same on every system).
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

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

// An errno value (as a test's fault gives it) in the system's own words:
// on Windows, as the Windows error nearest to it. Each system's file.
Failure FromErrnoValue(int error);

// Why the last write to a standard stream failed, in the system's words
// (WriteToStream). Each system's file.
Failure StreamWriteFailure();

// Whether `entry` is a name NewFileName gives for `name`: a new file of an
// earlier replacement of the same file.
bool IsNewFileOf(const QByteArray& entry, const QByteArray& name);

// Reads an input to its end, but no more than one byte past `limit`, into a
// buffer that starts at `expected` bytes (the size known, if any) and
// grows. `read` reads up to `size` bytes into `into` and returns how many,
// 0 at the end.
Result<QByteArray> ReadAtMost(qint64 limit, qint64 expected,
                              const std::function<Result<qint64>(char* into, qint64 size)>& read);

// The sentences both systems say.
Failure NotRegular(QLatin1StringView kind);  // "it is a folder, not a regular file"
Failure ReadOnly();
Failure LinkToNothing();
Failure TooLarge();

// The steps of one replacement, in the system's own calls. Each failure is
// told in the system's words; the caller removes the new file after one.
class ReplacementSteps {
 public:
  virtual ~ReplacementSteps() = default;
  // What new files are named after (NewFileName).
  virtual QByteArray Key() const = 0;
  // Makes the new file without a name, where the system can: false where
  // it cannot, and the new file is then made named (CreateNamed).
  virtual Result<bool> CreateUnnamed() = 0;
  // Makes the new file as `name`: false when the name is taken.
  virtual Result<bool> CreateNamed(const QByteArray& name) = 0;
  // Holds the new file made, so that no sweep takes it for a leftover.
  virtual Result<void> Hold() = 0;
  // Writes from `data` at most `size` bytes: how many, at least one.
  virtual Result<qint64> Write(const char* data, qint64 size) = 0;
  // Gives the new file what the old one had: owner, permissions, access list.
  virtual Result<void> KeepOld() = 0;
  virtual Result<void> Sync() = 0;
  // Gives an unnamed new file the name `name`: false when it is taken.
  virtual Result<bool> Name(const QByteArray& name) = 0;
  virtual Result<void> Close() = 0;
  virtual Result<void> Rename() = 0;
  // What follows the rename (the folder synced, the file let go); a failure
  // here leaves the new file in place.
  virtual Result<void> Settle() = 0;
  // Removes the new file, after a failure.
  virtual void Discard() = 0;
  virtual void RemoveLeftovers() = 0;
  // The names (hard links) the old file had; 0 for a new file.
  virtual quint64 OldNames() const = 0;
};

// The steps that replace the file at `path`, found and checked (see
// ReplaceFileWith); each system's file.
Result<std::unique_ptr<ReplacementSteps>> FindReplacement(const QString& path,
                                                          const QString& private_root);

}  // namespace quorvel::os::detail
