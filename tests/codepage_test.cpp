#include "cipher/codepage.h"

#include <gtest/gtest.h>

namespace quorvel {

// The system's character for a byte of a page, -1 for none, -2 for no page.
int SystemChar(int page, int code);

namespace {

// Every code of every page against the system's chart; codes it leaves
// undefined are C1 controls in 0x80-0x9F and U+F700 + code elsewhere. Each
// character's code is found again.
TEST(CodePageTest, EveryTableIsTheChartWhole) {
  for (int number : KnownCodePages()) {
    const CodePage* page = FindCodePage(number);
    ASSERT_NE(page, nullptr);
    for (int code = 0; code < 256; ++code) {
      int expected = SystemChar(number, code);
      ASSERT_NE(expected, -2) << "no converter for CP" << number;
      if (expected < 0) expected = code >= 0x80 && code <= 0x9F ? code : 0xF700 + code;
      const char16_t c = page->Char(static_cast<std::uint8_t>(code));
      EXPECT_EQ(static_cast<int>(c), expected) << "CP" << number << " code 0x" << std::hex << code;
      EXPECT_EQ(page->Code(c), code) << "CP" << number << " code 0x" << std::hex << code;
    }
    EXPECT_EQ(page->Code(u'\uFFFD'), -1);
  }
  EXPECT_EQ(FindCodePage(1251)->Code(u'\u00E9'), -1);
  EXPECT_EQ(FindCodePage(437), nullptr);
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

}  // namespace
}  // namespace quorvel
