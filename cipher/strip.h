// The strip picture: one pixel column per three characters, each
// character's code XOR its key byte in one colour channel (red, green,
// blue). The picture's width is its only length information.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cipher/codepage.h"
#include "cipher/keys.h"

namespace quorvel {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

// The packed form in which colours are drawn and read: red in bits 0 to 7,
// green in 8 to 15, blue in 16 to 23, the top byte zero (0x00BBGGRR).
constexpr std::uint32_t Packed(Rgb c) {
  return static_cast<std::uint32_t>(c.r) | static_cast<std::uint32_t>(c.g) << 8 |
         static_cast<std::uint32_t>(c.b) << 16;
}

// The decoder counts columns with a signed 16-bit index, so a strip holds
// at most 32,767 columns, which is 98,301 characters.
inline constexpr std::size_t kMaxColumns = 32767;
inline constexpr std::size_t kMaxTextLength = 3 * kMaxColumns;

// Number of spaces appended to a text of `length` characters so that it
// fills whole columns: (2 x length) mod 3, which is 0, 2 or 1.
constexpr int PaddingCount(std::size_t length) { return static_cast<int>((2 * length) % 3); }

// The text followed by its padding spaces.
std::u16string PadText(std::u16string_view text);

// The colour of one column from the codes of its three characters.
constexpr Rgb ColumnColour(std::uint8_t c1, std::uint8_t c2, std::uint8_t c3,
                           const KeyTriple& keys) {
  return Rgb{static_cast<std::uint8_t>(c1 ^ keys[0]), static_cast<std::uint8_t>(c2 ^ keys[1]),
             static_cast<std::uint8_t>(c3 ^ keys[2])};
}

enum class EncodeError {
  kEmpty,    // nothing to encode
  kTooLong,  // more than kMaxTextLength characters
  kNoCode,   // a character the code page has no code for
};

struct EncodeFailure {
  EncodeError error;
  std::size_t position = 0;  // kNoCode: 1-based position of the character
  char32_t character = 0;    // kNoCode: the character (a whole surrogate pair)
};

struct EncodeResult {
  std::vector<Rgb> columns;  // column 0 first
  std::optional<EncodeFailure> failure;
  bool ok() const { return !failure.has_value(); }
};

// Pads the text and computes the colour of every column.
EncodeResult EncodeStrip(std::u16string_view text, const KeyTriple& keys, const CodePage& page);

enum class DecodeError {
  kWidthOverflow,   // width - 1 does not fit a signed 16-bit index
  kBadColour,       // a channel gives a code outside 0 to 255 (or the point is unreadable, -1)
  kColumnOverflow,  // the column index would step past 32767
};

struct DecodeFailure {
  DecodeError error;
  int column = -1;  // the column being read, where there is one
};

struct DecodeResult {
  std::u16string text;
  std::optional<DecodeFailure> failure;
  bool ok() const { return !failure.has_value(); }
};

// The last column index for an inner width: width - 1 in single precision,
// rounded to the nearest whole number (halves to even) as a signed 16-bit
// integer. No value when it overflows or the width is not a finite number.
std::optional<std::int16_t> LastColumnIndex(float width);

// Removes every trailing space (code 32) and nothing else.
void TrimTrailingSpaces(std::u16string& text);

// Reads the strip column by column: `read_pixel(x)` gives the packed colour
// of point (x, 0) as a signed 32-bit value, or -1 where it cannot be read.
template <typename PixelRead>
DecodeResult DecodeStrip(const KeyTriple& keys, float width, PixelRead&& read_pixel,
                         const CodePage& page) {
  DecodeResult result;
  const std::optional<std::int16_t> last = LastColumnIndex(width);
  if (!last) {
    result.failure = DecodeFailure{DecodeError::kWidthOverflow};
    return result;
  }
  const std::int32_t columns = std::int32_t{*last} + 1;  // 0 or less: nothing to read
  if (columns <= 0) return result;

  // The character of every channel value under its key, once per decode.
  std::array<std::array<char16_t, 256>, 3> chars;
  for (std::size_t i = 0; i < 3; ++i) {
    for (unsigned v = 0; v < 256; ++v) {
      chars[i][v] = page.Char(static_cast<std::uint8_t>(v ^ keys[static_cast<int>(i)]));
    }
  }

  result.text.resize(3 * static_cast<std::size_t>(columns));
  char16_t* out = result.text.data();
  for (std::int32_t x = 0; x < columns; ++x) {
    const std::int32_t p = read_pixel(x);
    if (p < 0 || p > 0xFFFFFF) {
      // A set top byte or a negative value (-1: the point cannot be read)
      // always leaves a channel outside 0 to 255.
      result.text.clear();
      result.failure = DecodeFailure{DecodeError::kBadColour, x};
      return result;
    }
    out[0] = chars[0][static_cast<std::size_t>(p & 0xFF)];
    out[1] = chars[1][static_cast<std::size_t>((p >> 8) & 0xFF)];
    out[2] = chars[2][static_cast<std::size_t>(p >> 16)];
    out += 3;
  }
  // The index is a signed 16-bit value: reading column 32767 leaves it no
  // step to the next one.
  if (*last == INT16_MAX) {
    result.text.clear();
    result.failure = DecodeFailure{DecodeError::kColumnOverflow, INT16_MAX};
    return result;
  }
  TrimTrailingSpaces(result.text);
  return result;
}

}  // namespace quorvel
