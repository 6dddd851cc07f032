// Arbitrary bytes through the picture loader and the decoder, with a small
// picture limit of its own: nothing may crash, hang or run out of memory,
// and whatever decodes must encode back to the same first-row colours.
#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "cipher/strip.h"
#include "picture/colours.h"
#include "picture/picture_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const quorvel::KeyTriple keys{{data[0], data[1], data[2]}};
  const QByteArray bytes(reinterpret_cast<const char*>(data + 3), static_cast<qsizetype>(size - 3));
  const auto picture = quorvel::picture::LoadPictureData(bytes, QStringLiteral("Input"), 1 << 20);
  if (!picture.ok()) return 0;
  const quorvel::picture::Pixels& image = picture.value();
  const auto point = [&](int x) {
    return x >= 0 && x < image.width ? quorvel::picture::PackedColour(image.At(x, 0)) : -1;
  };
  const quorvel::CodePage& page = *quorvel::FindCodePage(1252);
  const auto decoded = quorvel::DecodeStrip(keys, static_cast<float>(image.width), point, page);
  if (!decoded.ok()) return 0;
  if (decoded.text.size() > 3 * static_cast<std::size_t>(image.width)) std::abort();
  if (decoded.text.empty()) return 0;
  const auto strip = quorvel::EncodeStrip(decoded.text, keys, page);
  if (!strip.ok()) std::abort();
  for (std::size_t x = 0; x < strip.columns.size(); ++x) {
    const std::int32_t p = point(static_cast<int>(x));
    // Columns past the trimmed text were spaces; the rest must match.
    if (3 * (x + 1) <= decoded.text.size() &&
        static_cast<std::uint32_t>(p) != quorvel::Packed(strip.columns[x])) {
      std::abort();
    }
  }
  return 0;
}
