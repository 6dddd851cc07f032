// Arbitrary bytes through the PNG reader, with a small picture limit of its
// own: nothing may crash, hang or run out of memory, and whatever is read
// must be written and read back to the same pixels.
#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "picture/png_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const auto read = quorvel::picture::ReadPng(bytes, QStringLiteral("x"), 1 << 20);
  if (!read.ok()) {
    if (!read.failure().sentence.startsWith(QStringLiteral("x ")) ||
        !read.failure().sentence.endsWith(u'.')) {
      std::abort();
    }
    return 0;
  }
  const auto& pixels = read.value();
  if (pixels.rgb.size() != std::size_t(pixels.width) * std::size_t(pixels.height) * 3) std::abort();
  const auto again =
      quorvel::picture::ReadPng(quorvel::picture::WritePng(pixels), QStringLiteral("x"));
  if (!again.ok() || !(again.value() == pixels)) std::abort();
  return 0;
}
