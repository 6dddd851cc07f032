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

std::vector<std::int32_t> Pixels(const EncodeResult& r) {
  std::vector<std::int32_t> p;
  for (const Rgb c : r.columns) p.push_back(static_cast<std::int32_t>(Packed(c)));
  return p;
}

TEST(StripTest, EachColumnHoldsThreeCodesXorTheirKeys) {
  // 'H' 0x48, 'i' 0x69, '!' 0x21 under keys 42, 0, 255; then "ab" padded
  // with a space; a line break is CR LF, the euro sign 0x80 in 1252.
  auto r = EncodeStrip(u"Hi!ab\r\n\u20ac", KeyTriple{{42, 0, 255}}, Page1252());
  ASSERT_TRUE(r.ok());
  const std::vector<Rgb> expected = {
      {0x62, 0x69, 0xDE}, {'a' ^ 42, 'b', 13 ^ 255}, {0x0A ^ 42, 0x80, ' ' ^ 255}};
  EXPECT_EQ(r.columns, expected);
  for (auto [length, columns] : {std::pair{1, 1}, {2, 1}, {3, 1}, {4, 2}, {5, 2}, {7, 3}}) {
    EXPECT_EQ(EncodeStrip(std::u16string(length, u'x'), {}, Page1252()).columns.size(),
              std::size_t(columns));
  }
}

TEST(StripTest, RefusesWhatItCannotHold) {
  EXPECT_EQ(EncodeStrip(u"", {}, Page1252()).failure->error, EncodeError::kEmpty);
  EXPECT_EQ(EncodeStrip(std::u16string(98301, u'a'), {}, Page1252()).columns.size(), 32767u);
  EXPECT_EQ(EncodeStrip(std::u16string(98302, u'a'), {}, Page1252()).failure->error,
            EncodeError::kTooLong);
  // A character without a code is named whole, with its 1-based position.
  for (auto [text, position, character] :
       {std::tuple{u"abc\u0416", 4u, U'\u0416'}, {u"x\U0001F600", 2u, U'\U0001F600'}}) {
    const auto r = EncodeStrip(text, {}, Page1252());
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.failure->error, EncodeError::kNoCode);
    EXPECT_EQ(r.failure->position, position);
    EXPECT_EQ(r.failure->character, character);
    EXPECT_TRUE(r.columns.empty());
  }
}

TEST(StripTest, TextsComeBackLessTrailingSpaces) {
  const KeyTriple keys{{42, 17, 200}};
  using P = std::pair<std::u16string, std::u16string>;
  const P cases[] = {P{u"a", u"a"},          P{u"abcd", u"abcd"}, P{u" x ", u" x"},
                     P{u"tail   ", u"tail"}, P{u"   ", u""},      P{u"a\r\nb", u"a\r\nb"},
                     P{u"\u20ac", u"\u20ac"}};
  for (const auto& [text, back] : cases) {
    const auto pixels = Pixels(EncodeStrip(text, keys, Page1252()));
    const auto r = Decode(pixels, static_cast<float>(pixels.size()), keys);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.text, back);
  }
  // A column equal to the keys is three code-0 characters, kept; other keys
  // give other characters without failing.
  EXPECT_EQ(Decode({0x00030201}, 1, KeyTriple{{1, 2, 3}}).text, std::u16string(3, u'\0'));
  EXPECT_EQ(Decode({0x00636261}, 1, {}).text, u"abc");
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
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.failure->column, 1);
    EXPECT_TRUE(r.text.empty());
  }
}

}  // namespace
}  // namespace quorvel
