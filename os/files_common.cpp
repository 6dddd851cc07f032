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

FileRead ReadAtMost(qint64 limit, qint64 expected,
                    const std::function<qint64(char* into, qint64 size, QString* error)>& read) {
  FileRead result;
  QByteArray& bytes = result.bytes;
  bytes.resize(std::min<qint64>(std::max<qint64>(expected, 1 << 16), limit) + 1);
  qint64 total = 0;
  for (;;) {
    if (total == bytes.size()) {
      if (total > limit) break;
      bytes.resize(std::min<qint64>(2 * total, limit + 1));
    }
    const qint64 n = read(bytes.data() + total, bytes.size() - total, &result.error);
    if (n <= 0) break;
    total += n;
  }
  result.too_large = result.error.isEmpty() && total > limit;
  bytes.resize(result.error.isEmpty() ? total : 0);
  return result;
}

QString OtherNamesNote(quint64 names) {
  return names == 2 ? QStringLiteral("the file had another name, which still shows the old file")
                    : QStringLiteral("the file had %1 other names, which still show the old file")
                          .arg(QString::number(names - 1));
}

}  // namespace detail

}  // namespace quorvel::os
