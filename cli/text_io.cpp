#include "cli/text_io.h"

namespace quorvel::cli {

std::optional<qsizetype> FirstInvalidUtf8(const QByteArray& bytes) {
  const auto* b = reinterpret_cast<const unsigned char*>(bytes.constData());
  const qsizetype n = bytes.size();
  qsizetype i = 0;
  while (i < n) {
    const unsigned char lead = b[i];
    if (lead < 0x80) {
      ++i;
      continue;
    }
    // The length of the sequence and the range its second byte must lie in
    // (which rules out overlong forms, surrogates and values past U+10FFFF).
    int length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return i;
    }
    for (int k = 1; k < length; ++k) {
      const qsizetype at = i + k;
      if (at >= n) return i;
      const unsigned char c = b[at];
      if (k == 1 ? (c < low || c > high) : (c < 0x80 || c > 0xBF)) return i;
    }
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
