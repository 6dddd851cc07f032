// Colours as strips are drawn and read: packed as 0x00BBGGRR, red in the
// low byte, which is the cipher's own packing (Packed).
#pragma once

#include <cstdint>

#include "cipher/strip.h"

namespace quorvel::picture {

// A pixel's red, green and blue bytes packed as 0x00BBGGRR.
constexpr std::int32_t PackedColour(const std::uint8_t* rgb) {
  return static_cast<std::int32_t>(Packed(Rgb{rgb[0], rgb[1], rgb[2]}));
}

// A packed colour (its top byte ignored) as red, green and blue bytes.
constexpr Rgb PixelColour(std::uint32_t packed) {
  return Rgb{static_cast<std::uint8_t>(packed & 0xFF), static_cast<std::uint8_t>(packed >> 8),
             static_cast<std::uint8_t>(packed >> 16)};
}

}  // namespace quorvel::picture
