#include "os/files_common.h"

#include <QRandomGenerator>
#include <algorithm>
#include <cctype>

namespace quorvel::os {

namespace {

constexpr int kRandomLength = 8;

// ".quorvel-" and the FNV-1a hash of the name in 16 hex digits, then "-".
QByteArray NewFilePrefix(const QByteArray& name) {
  quint64 hash = 14695981039346656037ULL;
  for (const char c : name) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
  return QByteArrayLiteral(".quorvel-") + QByteArray::number(hash, 16).rightJustified(16, '0') +
         '-';
}

}  // namespace

void SetFileFaultForTesting(std::optional<FileFault> fault) { detail::injected_fault = fault; }

QByteArray NewFileName(const QByteArray& name) {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  QByteArray random(kRandomLength, 'x');
  for (char& c : random) c = kLetters[QRandomGenerator::global()->bounded(62)];
  return NewFilePrefix(name) + random;
}

namespace detail {

std::optional<FileFault> injected_fault;

bool IsNewFileOf(const QByteArray& entry, const QByteArray& name) {
  const QByteArray prefix = NewFilePrefix(name);
  if (entry.size() != prefix.size() + kRandomLength || !entry.startsWith(prefix)) return false;
  return std::all_of(entry.begin() + prefix.size(), entry.end(),
                     [](char c) { return std::isalnum(static_cast<unsigned char>(c)); });
}

Result<QByteArray> ReadAtMost(qint64 limit, qint64 expected,
                              const std::function<Result<qint64>(char* into, qint64 size)>& read) {
  QByteArray bytes;
  bytes.resize(std::min<qint64>(std::max<qint64>(expected, 1 << 16), limit) + 1);
  qint64 total = 0;
  for (;;) {
    if (total == bytes.size()) {
      if (total > limit) break;
      bytes.resize(std::min<qint64>(2 * total, limit + 1));
    }
    const Result<qint64> n = read(bytes.data() + total, bytes.size() - total);
    if (!n.ok()) return n.failure();
    if (n.value() <= 0) break;
    total += n.value();
  }
  bytes.resize(total);
  return bytes;
}

Failure NotRegular(QLatin1StringView kind) {
  return {Failure::Kind::kFile, QStringLiteral("it is %1, not a regular file").arg(kind)};
}
Failure ReadOnly() { return {Failure::Kind::kFile, QStringLiteral("it is read-only")}; }
Failure LinkToNothing() {
  return {Failure::Kind::kFile, QStringLiteral("it is a link to a file that does not exist")};
}
Failure TooLarge() { return {Failure::Kind::kTooLarge, QStringLiteral("it is too large")}; }

}  // namespace detail

Result<void> WriteToStream(std::FILE* stream, const QByteArray& bytes) {
  const auto size = static_cast<std::size_t>(bytes.size());
  const bool written = std::fwrite(bytes.constData(), 1, size, stream) == size;
  if (std::fflush(stream) != 0 || !written) return detail::StreamWriteFailure();
  return {};
}

}  // namespace quorvel::os
