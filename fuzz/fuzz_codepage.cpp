// Code page conversions both ways: every code decodes to a character that
// encodes back to the same code, and every character either has no code or
// its code decodes back to it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "cipher/codepage.h"
#include "cipher/keys.h"
#include "cipher/strip.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (int number : quorvel::KnownCodePages()) {
    const quorvel::CodePage& page = *quorvel::FindCodePage(number);
    // Bytes as codes.
    std::u16string decoded;
    for (std::size_t i = 0; i < size; ++i) {
      const char16_t c = page.Char(data[i]);
      if (page.Code(c) != data[i]) std::abort();
      decoded.push_back(c);
    }
    // Pairs of bytes as characters.
    for (std::size_t i = 0; i + 1 < size; i += 2) {
      const char16_t c = static_cast<char16_t>(data[i] | data[i + 1] << 8);
      const int code = page.Code(c);
      if (code >= 0 && page.Char(static_cast<std::uint8_t>(code)) != c) std::abort();
    }
    // Decoded text always encodes, and the strip gives it back.
    if (!decoded.empty() && decoded.size() <= quorvel::kMaxTextLength) {
      const quorvel::KeyTriple keys{{data[0], data[size / 2], data[size - 1]}};
      const auto strip = quorvel::EncodeStrip(decoded, keys, page);
      if (!strip.ok()) std::abort();
      const auto back = quorvel::DecodeStrip(
          keys, static_cast<float>(strip.columns.size()),
          [&](std::int32_t x) {
            return static_cast<std::int32_t>(
                quorvel::Packed(strip.columns[static_cast<std::size_t>(x)]));
          },
          page);
      quorvel::TrimTrailingSpaces(decoded);
      if (!back.ok() || back.text != decoded) std::abort();
    }
  }
  return 0;
}
