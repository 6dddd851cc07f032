#include "cipher/keys.h"

#include <gtest/gtest.h>

#include <string>

namespace quorvel {
namespace {

// A key text and the key it gives; -1: refused. Of three, the first refused
// one is named.
TEST(KeyTest, KeyTextsGiveTheirByteOrAreRefused) {
  const std::pair<std::u16string_view, int> cases[] = {
      {u"0", 0},       {u"042", 42},   {u"255", 255}, {u"256", -1},  {u"  7  ", 7},  {u"+9", 9},
      {u"-0", 0},      {u"-1", -1},    {u"- 1", -1},  {u"1 2", -1},  {u"\t7", -1},   {u"1.5", 2},
      {u"2.5", 2},     {u"3.5", 4},    {u"2.51", 3},  {u"2.7", 3},   {u".5", 0},     {u"7.", 7},
      {u"255.4", 255}, {u"255.5", -1}, {u"-0.5", 0},  {u"-0.6", -1}, {u"", -1},      {u"   ", -1},
      {u"12a", -1},    {u".", -1},     {u"1e2", -1},  {u"0x10", -1}, {u"1,000", -1}, {u"inf", -1},
      {u"1..2", -1},   {u"--1", -1}};
  for (const auto& [text, key] : cases) {
    const auto got = ConvertKey(text);
    EXPECT_EQ(got ? int{*got} : -1, key) << std::string(text.begin(), text.end());
  }
  EXPECT_FALSE(ConvertKey(std::u16string(400, u'9')) || ConvertKey(u"\u0664\u0662"));
  EXPECT_EQ(ConvertKey(std::u16string(10000, u'0') + u"17"), 17);
  EXPECT_EQ(ConvertNumber(u" -12.25 "), -12.25);
  EXPECT_EQ(ConvertKeys(u"1", u"2", u"3").keys, (KeyTriple{{1, 2, 3}}));
  EXPECT_EQ(ConvertKeys(u"1", u"2", u"x").failed_index, 2);
}

}  // namespace
}  // namespace quorvel
