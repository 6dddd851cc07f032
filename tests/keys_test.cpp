#include "cipher/keys.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace quorvel {
namespace {

struct KeyCase {
  std::u16string text;
  int expected;  // -1: the conversion fails
};

// Shown in test names and failures as the key text and what it gives.
void PrintTo(const KeyCase& c, std::ostream* out) {
  *out << '"';
  for (char16_t ch : c.text) {
    if (ch >= 0x20 && ch < 0x7F) {
      *out << static_cast<char>(ch);
    } else {
      *out << "\\u" << std::hex << static_cast<int>(ch) << std::dec;
    }
  }
  *out << "\" gives " << (c.expected < 0 ? std::string("no key") : std::to_string(c.expected));
}

class ConvertKeyTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(ConvertKeyTest, Converts) {
  const auto& c = GetParam();
  const auto got = ConvertKey(c.text);
  if (c.expected < 0) {
    EXPECT_FALSE(got.has_value()) << "got " << int(got.value_or(0));
  } else {
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(*got, c.expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ConvertKeyTest,
    ::testing::Values(
        // Plain numbers, the design-time text, the byte's limits.
        KeyCase{u"0", 0}, KeyCase{u"042", 42}, KeyCase{u"255", 255}, KeyCase{u"256", -1},
        KeyCase{u"000000000000255", 255},
        // Spaces around the number; a sign.
        KeyCase{u"  7  ", 7}, KeyCase{u"+9", 9}, KeyCase{u"-0", 0}, KeyCase{u"-1", -1},
        KeyCase{u"- 1", -1}, KeyCase{u"1 2", -1}, KeyCase{u"\t7", -1},
        // Fractions round to the nearest whole number, halves to the even one.
        KeyCase{u"1.5", 2}, KeyCase{u"2.5", 2}, KeyCase{u"3.5", 4}, KeyCase{u"0.5", 0},
        KeyCase{u"2.51", 3}, KeyCase{u"2.49", 2}, KeyCase{u".5", 0}, KeyCase{u"7.", 7},
        KeyCase{u"254.5", 254}, KeyCase{u"255.4", 255}, KeyCase{u"255.5", -1}, KeyCase{u"-0.4", 0},
        KeyCase{u"-0.5", 0}, KeyCase{u"-0.6", -1},
        // Not numbers.
        KeyCase{u"", -1}, KeyCase{u"   ", -1}, KeyCase{u"abc", -1}, KeyCase{u"12a", -1},
        KeyCase{u".", -1}, KeyCase{u"+", -1}, KeyCase{u"1e2", -1}, KeyCase{u"0x10", -1},
        KeyCase{u"1,000", -1}, KeyCase{u"1_0", -1}, KeyCase{u"inf", -1}, KeyCase{u"nan", -1},
        KeyCase{u"\u0664\u0662", -1} /* Arabic-Indic digits */, KeyCase{u"\uff14\uff12", -1},
        KeyCase{u"1..2", -1}, KeyCase{u"--1", -1}));

TEST(ConvertKey, HugeAndLongTextsFail) {
  EXPECT_FALSE(ConvertKey(std::u16string(400, u'9')).has_value());
  EXPECT_FALSE(ConvertKey(std::u16string(10000, u'1')).has_value());
  // Many leading zeros still make a small number.
  EXPECT_EQ(ConvertKey(std::u16string(10000, u'0') + u"17"), 17);
  EXPECT_EQ(ConvertKey(u"17." + std::u16string(10000, u'0')), 17);
}

TEST(ConvertNumber, KeepsSignAndFraction) {
  EXPECT_EQ(ConvertNumber(u" -12.25 "), -12.25);
  EXPECT_EQ(ConvertNumber(u"1"), 1.0);
  EXPECT_EQ(ConvertNumber(u"0"), 0.0);
  EXPECT_FALSE(ConvertNumber(u"one").has_value());
}

TEST(ConvertKeys, StopsAtTheFirstFailure) {
  auto ok = ConvertKeys(u"1", u"2", u"3");
  ASSERT_TRUE(ok.keys.has_value());
  EXPECT_EQ(*ok.keys, (KeyTriple{{1, 2, 3}}));
  EXPECT_EQ(ok.failed_index, -1);

  for (int bad = 0; bad < 3; ++bad) {
    std::u16string t[3] = {u"1", u"2", u"3"};
    t[bad] = u"x";
    const auto r = ConvertKeys(t[0], t[1], t[2]);
    EXPECT_FALSE(r.keys.has_value());
    EXPECT_EQ(r.failed_index, bad);
  }
  EXPECT_EQ(ConvertKeys(u"", u"", u"").failed_index, 0);
}

}  // namespace
}  // namespace quorvel
