// A picture as plain pixels: what the picture files hold once read, and what
// is written back, with no graphics library in between.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quorvel::picture {

struct Pixels {
  int width = 0;
  int height = 0;
  // Red, green and blue, 8 bits each, pixel after pixel, rows from the top.
  std::vector<std::uint8_t> rgb;

  Pixels() = default;
  Pixels(int w, int h) : width(w), height(h), rgb(std::size_t(w) * std::size_t(h) * 3) {}

  std::uint8_t* At(int x, int y) {
    return rgb.data() + (std::size_t(y) * std::size_t(width) + std::size_t(x)) * 3;
  }
  const std::uint8_t* At(int x, int y) const {
    return rgb.data() + (std::size_t(y) * std::size_t(width) + std::size_t(x)) * 3;
  }
  bool operator==(const Pixels&) const = default;
};

// How much of a picture a reader keeps: every row, or the top row alone,
// which is all a strip's reader looks at.
enum class Rows { kAll, kTop };

}  // namespace quorvel::picture
