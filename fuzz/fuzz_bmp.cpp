// Arbitrary bytes through the BMP reader, with a small picture limit of its own: nothing may
// crash, hang, read out of bounds or allocate past the limit; a picture read has a size within
// it, and a refusal is a sentence naming the input.
#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "picture/bmp_read.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr qint64 kLimit = 1 << 20;
  const QByteArray bytes =
      QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const auto read = quorvel::picture::ReadBmp(bytes, QStringLiteral("Input"), kLimit);
  if (!read.ok()) {
    const QString& sentence = read.failure().sentence;
    if (!sentence.startsWith(u"Input ") || !sentence.endsWith(u'.')) std::abort();
    return 0;
  }
  const quorvel::picture::Pixels& p = read.value();
  if (p.width <= 0 || p.height <= 0 || qint64{p.width} * p.height > kLimit ||
      p.rgb.size() != std::size_t(p.width) * std::size_t(p.height) * 3) {
    std::abort();
  }
  return 0;
}
