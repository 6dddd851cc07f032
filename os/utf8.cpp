#include "os/utf8.h"

namespace quorvel::os {

int Utf8SequenceLength(const char* bytes, qsizetype size) {
  if (size <= 0) return 0;
  const auto* b = reinterpret_cast<const unsigned char*>(bytes);
  const unsigned char lead = b[0];
  if (lead < 0x80) return 1;
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
    return 0;
  }
  if (size < length) return 0;
  for (int k = 1; k < length; ++k) {
    const unsigned char c = b[k];
    if (k == 1 ? (c < low || c > high) : (c < 0x80 || c > 0xBF)) return 0;
  }
  return length;
}

QString FileNameFromBytes(const QByteArray& bytes) {
  QString name;
  name.reserve(bytes.size());
  const char* b = bytes.constData();
  qsizetype i = 0, start = 0;
  while (i < bytes.size()) {
    const int length = Utf8SequenceLength(b + i, bytes.size() - i);
    if (length > 0) {
      i += length;
      continue;
    }
    name += QString::fromUtf8(b + start, i - start);
    name += QChar(static_cast<char16_t>(0xDC00 + static_cast<unsigned char>(b[i])));
    start = ++i;
  }
  return name + QString::fromUtf8(b + start, i - start);
}

QByteArray FileNameBytes(const QString& name) {
  QByteArray bytes;
  qsizetype start = 0;
  for (qsizetype i = 0; i < name.size(); ++i) {
    const char16_t c = name[i].unicode();
    if (QChar::isHighSurrogate(c) && i + 1 < name.size() && name[i + 1].isLowSurrogate()) {
      ++i;  // a whole pair: a character of its own
    } else if (c >= 0xDC80 && c <= 0xDCFF) {
      bytes += QStringView(name).mid(start, i - start).toUtf8();
      bytes += static_cast<char>(c - 0xDC00);
      start = i + 1;
    }
  }
  // Without such a byte, the UTF-8 as it is, made once.
  if (start == 0) return name.toUtf8();
  return bytes.append(QStringView(name).mid(start).toUtf8());
}

}  // namespace quorvel::os
