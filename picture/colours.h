// Colours as strips are drawn and read: packed as 0x00BBGGRR, red in the
// low byte, which is the cipher's own packing (Packed).
#pragma once

#include <QRgb>
#include <cstdint>

#include "cipher/strip.h"

namespace quorvel::picture {

// A pixel's colour packed as 0x00BBGGRR.
constexpr std::int32_t PackedColour(QRgb c) {
  return static_cast<std::int32_t>(
      Packed(Rgb{static_cast<std::uint8_t>(qRed(c)), static_cast<std::uint8_t>(qGreen(c)),
                 static_cast<std::uint8_t>(qBlue(c))}));
}

// A packed colour (its top byte ignored) as an opaque pixel.
constexpr QRgb PixelColour(std::uint32_t packed) {
  return qRgb(static_cast<int>(packed & 0xFF), static_cast<int>((packed >> 8) & 0xFF),
              static_cast<int>((packed >> 16) & 0xFF));
}

}  // namespace quorvel::picture
