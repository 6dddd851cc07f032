// The cipher: code pages against the system's charts, key texts, and how the strip decoder reads a
// width. What each column holds, and what the encoder refuses, are checked through quorvel-strip
// (cli_test): its pixels and its messages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cipher/codepage.h"
#include "cipher/keys.h"
#include "cipher/strip.h"

namespace quorvel {

// The system's character for a byte of a page, -1 for none, -2 for no page.
int SystemChar(int page, int code);

namespace {

// Every code of every page against the system's chart; codes it leaves undefined are C1 controls in
// 0x80-0x9F and U+F700 + code elsewhere. Each character's code is found again.
TEST(CodePageTest, EveryTableIsTheChartWhole) {
  for (int number : KnownCodePages()) {
    const CodePage* page = FindCodePage(number);
    ASSERT_NE(page, nullptr);
    for (int code = 0; code < 256; ++code) {
      int expected = SystemChar(number, code);
      ASSERT_NE(expected, -2) << "no converter for CP" << number;
      if (expected < 0) expected = code >= 0x80 && code <= 0x9F ? code : 0xF700 + code;
      const char16_t c = page->Char(static_cast<std::uint8_t>(code));
      EXPECT_EQ(std::pair(int{c}, page->Code(c)), std::pair(expected, code))
          << "CP" << number << " code 0x" << std::hex << code;
    }
    EXPECT_EQ(page->Code(u'\uFFFD'), -1);
  }
  EXPECT_TRUE(FindCodePage(1251)->Code(u'\u00E9') == -1 && !FindCodePage(437));
}

TEST(CodePageTest, LocalesGetTheirLanguagesPage) {
  const std::pair<const char*, int> cases[] = {
      {"ru_RU.UTF-8", 1251}, {"RU_ru", 1251}, {"el_GR@euro", 1253},
      {"tr_TR", 1254},       {"he_IL", 1255}, {"ar_EG", 1256},
      {"pl_PL", 1250},       {"lt_LT", 1257}, {"vi_VN", 1258},
      {"th_TH", 874},        {"sr_RS", 1251}, {"SR_RS@LATIN", 1250},
      {"bs_BA", 1250},       {"az_AZ", 1254}, {"uz@cyrillic", 1251},
      {"C", 1252},           {"", 1252},      {"en_US", 1252},
      {"rus", 1252},         {"fr_FR", 1252}};
  for (const auto& [locale, page] : cases) EXPECT_EQ(CodePageForLocale(locale), page) << locale;
}

// A key text and the key it gives; -1: refused. Of three, the first refused one is named.
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

const CodePage& Page1252() { return *FindCodePage(1252); }

DecodeResult Decode(const std::vector<std::int32_t>& pixels, float width, const KeyTriple& keys) {
  return DecodeStrip(
      keys, width,
      [&](std::int32_t x) { return x < std::ssize(pixels) ? pixels[std::size_t(x)] : 0x414141; },
      Page1252());
}

// The width is held in single precision; its last index, width - 1 rounded (halves to even), must
// fit a signed 16-bit counter that steps past it.
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
