// How the strip decoder reads a width. What each column holds, and what
// the encoder refuses, are checked through quorvel-strip (cli_test): its
// pixels and its messages.
#include "cipher/strip.h"

#include <gtest/gtest.h>

#include <vector>

namespace quorvel {
namespace {

const CodePage& Page1252() { return *FindCodePage(1252); }

DecodeResult Decode(const std::vector<std::int32_t>& pixels, float width, const KeyTriple& keys) {
  return DecodeStrip(
      keys, width,
      [&](std::int32_t x) { return x < std::ssize(pixels) ? pixels[std::size_t(x)] : 0x414141; },
      Page1252());
}

// The width is held in single precision; its last index, width - 1 rounded
// (halves to even), must fit a signed 16-bit counter that steps past it.
TEST(StripTest, WidthsDecideTheColumnsRead) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  using P = std::pair<float, int>;
  const P cases[] = {P{0, 0},         P{0.5f, 1},   P{2.5f, 3},   P{3.5f, 3},   P{-3, 0},
                     P{32767, 32767}, P{32768, -1}, P{32769, -1}, P{1e30f, -1}, P{nan, -1}};
  for (const auto& [width, columns] : cases) {
    const auto r = Decode({}, width, {});
    EXPECT_EQ(r.ok(), columns >= 0) << width;
    EXPECT_EQ(r.text.size(), std::size_t(std::max(columns, 0) * 3)) << width;
  }
  for (const std::int32_t bad : {-1, 0x01000000, INT32_MIN}) {
    const auto r = Decode({0x414141, bad}, 2, {});
    EXPECT_TRUE(r.failure && r.failure->column == 1 && r.text.empty()) << bad;
  }
}

}  // namespace
}  // namespace quorvel
