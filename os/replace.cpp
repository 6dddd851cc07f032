// The replacement of a file, the same on every system: a new file named
// beside the old one, written, synced, closed and renamed over it, every
// step checked and the new file removed after any failure; then the
// leftovers of earlier replacements swept, and a note when the old file had
// other names. Each system supplies the steps (ReplacementSteps).
#include <algorithm>
#include <cerrno>

#include "os/files.h"
#include "os/files_common.h"

namespace quorvel::os {

namespace {

using detail::FromErrnoValue;
using detail::InjectedError;

// New names tried before a replacement gives up: each is random, so a name
// is taken only by another replacement's new file, or by someone's guess.
constexpr int kNameTries = 100;
// The most written at once: a full disk shows at the write that meets it.
constexpr qsizetype kWriteChunk = 1 << 20;

// The fault a test makes `step` fail with; none in a real run.
Result<void> Fault(FileStep step) {
  if (const int e = InjectedError(step)) return FromErrnoValue(e);
  return {};
}

// Tries new names for the file until `attempt` makes one (true), fails, or
// finds every name it tries taken.
template <typename Attempt>
Result<void> WithNewName(const QByteArray& key, Attempt attempt) {
  for (int i = 0; i < kNameTries; ++i) {
    const Result<bool> made = attempt(NewFileName(key));
    if (!made.ok()) return made.failure();
    if (made.value()) return {};
  }
  return FromErrnoValue(EEXIST);
}

// The note on a replaced file that had `names` names in all (hard links):
// the others still show the old file.
QString OtherNamesNote(quint64 names) {
  if (names < 2) return QString();
  return names == 2 ? QStringLiteral("the file had another name, which still shows the old file")
                    : QStringLiteral("the file had %1 other names, which still show the old file")
                          .arg(QString::number(names - 1));
}

Result<void> WriteAll(detail::ReplacementSteps& steps, const QByteArray& bytes) {
  for (qsizetype done = 0; done < bytes.size();) {
    if (const Result<void> fault = Fault(FileStep::kWrite); !fault.ok()) return fault;
    const Result<qint64> n =
        steps.Write(bytes.constData() + done, std::min(bytes.size() - done, kWriteChunk));
    if (!n.ok()) return n.failure();
    done += n.value();
  }
  return {};
}

// Every step before the rename; the new file is removed after a failure.
Result<void> WriteNewFile(detail::ReplacementSteps& steps, const QByteArray& bytes) {
  if (const Result<void> fault = Fault(FileStep::kOpen); !fault.ok()) return fault;
  const Result<bool> unnamed = steps.CreateUnnamed();
  if (!unnamed.ok()) return unnamed.failure();
  const auto create = [&steps](const QByteArray& name) { return steps.CreateNamed(name); };
  const auto name = [&steps](const QByteArray& name) { return steps.Name(name); };
  Result<void> step = unnamed.value() ? Result<void>() : WithNewName(steps.Key(), create);
  if (step.ok()) step = steps.Hold();
  if (step.ok()) step = WriteAll(steps, bytes);
  if (step.ok()) step = steps.KeepOld();
  if (step.ok()) step = Fault(FileStep::kSync);
  if (step.ok()) step = steps.Sync();
  if (step.ok() && unnamed.value()) step = WithNewName(steps.Key(), name);
  if (step.ok()) step = steps.Close();
  if (step.ok()) step = Fault(FileStep::kClose);
  if (step.ok()) step = Fault(FileStep::kRename);
  if (step.ok()) step = steps.Rename();
  return step;
}

}  // namespace

Result<Replaced> ReplaceFileWith(const QString& path, const QByteArray& bytes,
                                 const QString& private_root) {
  const Result<std::unique_ptr<detail::ReplacementSteps>> found =
      detail::FindReplacement(path, private_root);
  if (!found.ok()) return found.failure();
  detail::ReplacementSteps& steps = *found.value();
  if (const Result<void> written = WriteNewFile(steps, bytes); !written.ok()) {
    steps.Discard();
    return written.failure();
  }
  if (const Result<void> settled = steps.Settle(); !settled.ok()) return settled.failure();
  steps.RemoveLeftovers();
  return Replaced{OtherNamesNote(steps.OldNames())};
}

}  // namespace quorvel::os
