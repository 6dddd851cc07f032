#include "cli/text_io.h"

#include "platform/paths.h"

namespace quorvel::cli {

std::optional<qsizetype> FirstInvalidUtf8(const QByteArray& bytes) {
  for (qsizetype i = 0; i < bytes.size();) {
    if (static_cast<unsigned char>(bytes[i]) < 0x80) {  // ASCII, most of any text
      ++i;
      continue;
    }
    const int length = platform::Utf8SequenceLength(bytes.constData() + i, bytes.size() - i);
    if (length == 0) return i;
    i += length;
  }
  return std::nullopt;
}

bool DropCutCharacter(QByteArray& bytes) {
  const std::optional<qsizetype> bad = FirstInvalidUtf8(bytes);
  if (!bad || *bad + 4 <= bytes.size()) return false;
  // A sequence cut short is valid up to the end; anything else stays.
  const QByteArray rest = bytes.mid(*bad) + QByteArray(4, '\x80');
  if (platform::Utf8SequenceLength(rest.constData(), rest.size()) == 0) return false;
  bytes.truncate(*bad);
  return true;
}

QString ToProgramLineBreaks(const QByteArray& utf8) {
  const QString text = QString::fromUtf8(utf8);     // drops a byte order mark
  QString out(2 * text.size(), Qt::Uninitialized);  // room for a CR before every LF
  QChar* to = out.data();
  QChar previous;
  for (const QChar c : text) {
    if (c == u'\n' && previous != u'\r') *to++ = u'\r';
    *to++ = c;
    previous = c;
  }
  out.truncate(to - out.constData());
  return out;
}

QString ToHostLineBreaks(const QString& text) {
  QString out = text;
  out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return out;
}

}  // namespace quorvel::cli
