#include "cli/text_io.h"

#include <QStringView>
#include <cstdint>
#include <cstring>

#include "os/utf8.h"

namespace quorvel::cli {

std::optional<qsizetype> FirstInvalidUtf8(const QByteArray& bytes) {
  for (qsizetype i = 0; i < bytes.size();) {
    if (i + 8 <= bytes.size()) {  // eight ASCII bytes at a time, most of any text
      std::uint64_t eight;
      std::memcpy(&eight, bytes.constData() + i, 8);
      if ((eight & 0x8080808080808080u) == 0) {
        i += 8;
        continue;
      }
    }
    if (static_cast<unsigned char>(bytes[i]) < 0x80) {
      ++i;
      continue;
    }
    const int length = os::Utf8SequenceLength(bytes.constData() + i, bytes.size() - i);
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
  if (os::Utf8SequenceLength(rest.constData(), rest.size()) == 0) return false;
  bytes.truncate(*bad);
  return true;
}

QString ToProgramLineBreaks(const QByteArray& utf8) {
  const QString text = QString::fromUtf8(utf8);  // drops a byte order mark
  const QStringView in(text);
  qsizetype lf = in.indexOf(u'\n');
  if (lf < 0) return text;
  QString out;
  out.reserve(text.size() + in.count(u'\n'));
  // Each LF is copied with the run of text that it starts.
  qsizetype run = 0;
  for (; lf >= 0; lf = in.indexOf(u'\n', lf + 1)) {
    out.append(in.mid(run, lf - run));
    if (lf == 0 || in[lf - 1] != u'\r') out.append(u'\r');
    run = lf;
  }
  out.append(in.mid(run));
  return out;
}

QString ToHostLineBreaks(const QString& text) {
  QString out = text;
  out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return out;
}

}  // namespace quorvel::cli
