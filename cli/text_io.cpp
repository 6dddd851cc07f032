#include "cli/text_io.h"

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

}  // namespace quorvel::cli
