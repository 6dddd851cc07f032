// The three key bytes and the conversion of a key field's text into one.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace quorvel {

// Key 0 mixes the red channel, key 1 green, key 2 blue.
struct KeyTriple {
  std::array<std::uint8_t, 3> k{0, 0, 0};

  constexpr std::uint8_t operator[](int i) const { return k[static_cast<std::size_t>(i)]; }
  bool operator==(const KeyTriple&) const = default;
};

// Converts a text to a number: a decimal number with optional spaces around
// it, an optional sign and an optional fraction, taken as a double. Anything
// else (empty text, exponents, hexadecimal, separators, other digits) gives
// no value.
std::optional<double> ConvertNumber(std::u16string_view text);

// Converts one key text to a key byte: a decimal number with optional
// spaces around it, an optional sign and an optional fraction; fractions
// are rounded to the nearest whole number, halves to the even one. The
// result must lie in 0 to 255. Anything else (empty text, exponents,
// hexadecimal, separators, other digits) gives no value.
std::optional<std::uint8_t> ConvertKey(std::u16string_view text);

// Converts three key texts in index order; stops at the first one that
// fails and returns its index in `failed_index`.
struct KeyConversion {
  std::optional<KeyTriple> keys;
  int failed_index = -1;
};
KeyConversion ConvertKeys(std::u16string_view k0, std::u16string_view k1, std::u16string_view k2);

}  // namespace quorvel
