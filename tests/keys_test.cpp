#include "cipher/keys.h"

#include <gtest/gtest.h>

#include <string>

namespace quorvel {
namespace {

// A key text and the key it gives; -1: refused.
TEST(KeyTest, KeyTextsGiveTheirByteOrAreRefused) {
  using K = std::pair<std::u16string, int>;
  const K cases[] = {K{u"0", 0},      K{u"042", 42},  K{u"255", 255},   K{u"256", -1},
                     K{u"  7  ", 7},  K{u"+9", 9},    K{u"-0", 0},      K{u"-1", -1},
                     K{u"- 1", -1},   K{u"1 2", -1},  K{u"\t7", -1},    K{u"1.5", 2},
                     K{u"2.5", 2},    K{u"3.5", 4},   K{u"2.51", 3},    K{u"2.7", 3},
                     K{u".5", 0},     K{u"7.", 7},    K{u"255.4", 255}, K{u"255.5", -1},
                     K{u"-0.5", 0},   K{u"-0.6", -1}, K{u"", -1},       K{u"   ", -1},
                     K{u"12a", -1},   K{u".", -1},    K{u"1e2", -1},    K{u"0x10", -1},
                     K{u"1,000", -1}, K{u"inf", -1},  K{u"1..2", -1},   K{u"--1", -1}};
  for (const auto& [text, key] : cases) {
    const auto got = ConvertKey(text);
    EXPECT_EQ(got ? int{*got} : -1, key) << std::string(text.begin(), text.end()).substr(0, 20);
  }
  EXPECT_FALSE(ConvertKey(std::u16string(400, u'9')) || ConvertKey(u"\u0664\u0662"));
  EXPECT_EQ(ConvertKey(std::u16string(10000, u'0') + u"17"), 17);
  EXPECT_EQ(ConvertNumber(u" -12.25 "), -12.25);
  // The first refused key of three is named.
  EXPECT_EQ(ConvertKeys(u"1", u"2", u"3").keys, (KeyTriple{{1, 2, 3}}));
  for (int bad = 0; bad < 3; ++bad) {
    std::u16string_view t[3] = {u"1", u"2", u"3"};
    t[bad] = u"x";
    const auto r = ConvertKeys(t[0], t[1], t[2]);
    EXPECT_FALSE(r.keys.has_value());
    EXPECT_EQ(r.failed_index, bad);
  }
}

}  // namespace
}  // namespace quorvel
