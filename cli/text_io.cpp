#include "cli/text_io.h"

#include "platform/paths.h"

namespace quorvel::cli {

std::optional<qsizetype> FirstInvalidUtf8(const QByteArray& bytes) {
  for (qsizetype i = 0; i < bytes.size();) {
    const int length = platform::Utf8SequenceLength(bytes.constData() + i, bytes.size() - i);
    if (length == 0) return i;
    i += length;
  }
  return std::nullopt;
}

QString ToProgramLineBreaks(const QString& text) {
  QString out;
  out.reserve(text.size() + text.count(u'\n'));
  QChar previous;
  for (const QChar c : text) {
    if (c == u'\n' && previous != u'\r') out.append(u'\r');
    out.append(c);
    previous = c;
  }
  return out;
}

QString ToHostLineBreaks(const QString& text) {
  QString out = text;
  out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return out;
}

LineColumn LineColumnAt(const QString& text, qsizetype index) {
  LineColumn at;
  for (qsizetype i = 0; i < index && i < text.size(); ++i) {
    if (text[i] == u'\n') {
      ++at.line;
      at.column = 1;
    } else {
      ++at.column;
    }
  }
  return at;
}

}  // namespace quorvel::cli
