#include "cipher/codepage.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace quorvel {
namespace {

const std::vector<int> kAllPages = {874, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258};

TEST(CodePageTest, KnownPagesAreTheTenAnsiPagesAscending) {
  EXPECT_EQ(KnownCodePages(), kAllPages);
}

TEST(CodePageTest, FindsEveryKnownPageUnderItsOwnNumber) {
  for (int number : kAllPages) {
    SCOPED_TRACE(number);
    const CodePage* page = FindCodePage(number);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->Number(), number);
    EXPECT_EQ(FindCodePage(number), page) << "a second look-up must give the same object";
  }
}

TEST(CodePageTest, UnknownNumbersFindNothing) {
  for (int number : {437, 850, 0, -1, 1249, 1259, 65001, 20127, 28591}) {
    SCOPED_TRACE(number);
    EXPECT_EQ(FindCodePage(number), nullptr);
  }
}

TEST(CodePageTest, ConcurrentFirstLookUpsAgree) {
  // Every thread asks for every page at once; all must see one object per page.
  constexpr int kThreads = 8;
  std::vector<std::vector<const CodePage*>> seen(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&seen, t] {
      for (int number : kAllPages) seen[t].push_back(FindCodePage(number));
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 1; t < kThreads; ++t) EXPECT_EQ(seen[t], seen[0]);
  for (const CodePage* page : seen[0]) ASSERT_NE(page, nullptr);
}

TEST(CodePageTest, EveryPageHas256DistinctCharacters) {
  for (int number : kAllPages) {
    SCOPED_TRACE(number);
    const CodePage* page = FindCodePage(number);
    ASSERT_NE(page, nullptr);
    std::set<char16_t> chars;
    for (int code = 0; code < 256; ++code)
      chars.insert(page->Char(static_cast<std::uint8_t>(code)));
    EXPECT_EQ(chars.size(), 256u);
  }
}

TEST(CodePageTest, EveryCodeRoundTrips) {
  for (int number : kAllPages) {
    SCOPED_TRACE(number);
    const CodePage* page = FindCodePage(number);
    ASSERT_NE(page, nullptr);
    for (int code = 0; code < 256; ++code) {
      ASSERT_EQ(page->Code(page->Char(static_cast<std::uint8_t>(code))), code) << "code " << code;
    }
  }
}

TEST(CodePageTest, EveryCharacterWithACodeRoundTrips) {
  for (int number : kAllPages) {
    SCOPED_TRACE(number);
    const CodePage* page = FindCodePage(number);
    ASSERT_NE(page, nullptr);
    int with_code = 0;
    for (int u = 0; u <= 0xFFFF; ++u) {
      const char16_t c = static_cast<char16_t>(u);
      const int code = page->Code(c);
      if (code == -1) continue;
      ASSERT_GE(code, 0) << "U+" << std::hex << u;
      ASSERT_LT(code, 256) << "U+" << std::hex << u;
      ASSERT_EQ(page->Char(static_cast<std::uint8_t>(code)), c) << "U+" << std::hex << u;
      ++with_code;
    }
    EXPECT_EQ(with_code, 256);
  }
}

TEST(CodePageTest, LowerHalfIsAsciiOnEveryPage) {
  for (int number : kAllPages) {
    SCOPED_TRACE(number);
    const CodePage* page = FindCodePage(number);
    ASSERT_NE(page, nullptr);
    for (int code = 0; code < 0x80; ++code) {
      EXPECT_EQ(page->Char(static_cast<std::uint8_t>(code)), static_cast<char16_t>(code));
    }
  }
}

struct KnownCode {
  int page;
  int code;
  char16_t ch;
};

// Values from the published Windows code page charts.
const KnownCode kKnownCodes[] = {
    // Thai.
    {874, 0x80, u'\u20AC'},  // euro sign
    {874, 0x85, u'\u2026'},  // horizontal ellipsis
    {874, 0xA0, u'\u00A0'},  // no-break space
    {874, 0xA1, u'\u0E01'},  // ko kai
    {874, 0xDF, u'\u0E3F'},  // baht sign
    {874, 0xE0, u'\u0E40'},  // sara e
    {874, 0xFB, u'\u0E5B'},  // khomut
    // Central European.
    {1250, 0x8A, u'\u0160'},  // S with caron
    {1250, 0x8D, u'\u0164'},  // T with caron
    {1250, 0xA5, u'\u0104'},  // A with ogonek
    {1250, 0xB9, u'\u0105'},  // a with ogonek
    {1250, 0xC8, u'\u010C'},  // C with caron
    {1250, 0xF8, u'\u0159'},  // r with caron
    {1250, 0xFF, u'\u02D9'},  // dot above
    // Cyrillic.
    {1251, 0x80, u'\u0402'},  // DJE
    {1251, 0x88, u'\u20AC'},  // euro sign
    {1251, 0xA8, u'\u0401'},  // IO
    {1251, 0xB9, u'\u2116'},  // numero sign
    {1251, 0xC0, u'\u0410'},  // A
    {1251, 0xDF, u'\u042F'},  // YA
    {1251, 0xFF, u'\u044F'},  // ya
    // Western.
    {1252, 0x80, u'\u20AC'},  // euro sign
    {1252, 0x8A, u'\u0160'},  // S with caron
    {1252, 0x9F, u'\u0178'},  // Y with diaeresis
    {1252, 0xA0, u'\u00A0'},  // no-break space
    {1252, 0xE9, u'\u00E9'},  // e with acute
    {1252, 0xFF, u'\u00FF'},  // y with diaeresis
    // Greek.
    {1253, 0xA2, u'\u0386'},  // ALPHA with tonos
    {1253, 0xC1, u'\u0391'},  // ALPHA
    {1253, 0xD3, u'\u03A3'},  // SIGMA
    {1253, 0xE1, u'\u03B1'},  // alpha
    {1253, 0xF2, u'\u03C2'},  // final sigma
    // Turkish.
    {1254, 0xD0, u'\u011E'},  // G with breve
    {1254, 0xDD, u'\u0130'},  // I with dot above
    {1254, 0xDE, u'\u015E'},  // S with cedilla
    {1254, 0xF0, u'\u011F'},  // g with breve
    {1254, 0xFD, u'\u0131'},  // dotless i
    {1254, 0xFE, u'\u015F'},  // s with cedilla
    // Hebrew.
    {1255, 0xA4, u'\u20AA'},  // new sheqel sign
    {1255, 0xC0, u'\u05B0'},  // sheva
    {1255, 0xE0, u'\u05D0'},  // alef
    {1255, 0xFA, u'\u05EA'},  // tav
    {1255, 0xFD, u'\u200E'},  // left-to-right mark
    {1255, 0xFE, u'\u200F'},  // right-to-left mark
    // Arabic.
    {1256, 0x81, u'\u067E'},  // peh
    {1256, 0xC1, u'\u0621'},  // hamza
    {1256, 0xC7, u'\u0627'},  // alef
    {1256, 0xE1, u'\u0644'},  // lam
    {1256, 0xFF, u'\u06D2'},  // yeh barree
    // Baltic.
    {1257, 0xA8, u'\u00D8'},  // O with stroke
    {1257, 0xC0, u'\u0104'},  // A with ogonek
    {1257, 0xD0, u'\u0160'},  // S with caron
    {1257, 0xE0, u'\u0105'},  // a with ogonek
    {1257, 0xFF, u'\u02D9'},  // dot above
    // Vietnamese.
    {1258, 0xC3, u'\u0102'},  // A with breve
    {1258, 0xCC, u'\u0300'},  // combining grave
    {1258, 0xD0, u'\u0110'},  // D with stroke
    {1258, 0xD5, u'\u01A0'},  // O with horn
    {1258, 0xDD, u'\u01AF'},  // U with horn
    {1258, 0xF0, u'\u0111'},  // d with stroke
    {1258, 0xFE, u'\u20AB'},  // dong sign
};

// Codes the pages leave undefined: C1 controls in 0x80-0x9F, private use
// U+F700 + code elsewhere.
const KnownCode kUndefinedCodes[] = {
    {874, 0x81, u'\u0081'},  {874, 0x9F, u'\u009F'},  {874, 0xDB, u'\uF7DB'},
    {874, 0xFF, u'\uF7FF'},  {1250, 0x81, u'\u0081'}, {1250, 0x98, u'\u0098'},
    {1251, 0x98, u'\u0098'}, {1252, 0x81, u'\u0081'}, {1252, 0x8D, u'\u008D'},
    {1252, 0x8F, u'\u008F'}, {1252, 0x90, u'\u0090'}, {1252, 0x9D, u'\u009D'},
    {1253, 0xAA, u'\uF7AA'}, {1253, 0xD2, u'\uF7D2'}, {1253, 0xFF, u'\uF7FF'},
    {1254, 0x8E, u'\u008E'}, {1255, 0xD9, u'\uF7D9'}, {1255, 0xFF, u'\uF7FF'},
    {1257, 0xA1, u'\uF7A1'}, {1257, 0xA5, u'\uF7A5'}, {1258, 0x8A, u'\u008A'},
};

void CheckKnownCodes(const KnownCode* begin, const KnownCode* end) {
  for (const KnownCode* known = begin; known != end; ++known) {
    SCOPED_TRACE(testing::Message()
                 << "page " << known->page << " code 0x" << std::hex << known->code);
    const CodePage* page = FindCodePage(known->page);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(static_cast<int>(page->Char(static_cast<std::uint8_t>(known->code))),
              static_cast<int>(known->ch));
    EXPECT_EQ(page->Code(known->ch), known->code);
  }
}

TEST(CodePageTest, KnownCharacters) {
  CheckKnownCodes(std::begin(kKnownCodes), std::end(kKnownCodes));
}

TEST(CodePageTest, UndefinedCodesGetStandInCharacters) {
  CheckKnownCodes(std::begin(kUndefinedCodes), std::end(kUndefinedCodes));
}

TEST(CodePageTest, CharactersOutsideAPageHaveNoCode) {
  struct Missing {
    int page;
    char16_t ch;
  };
  const Missing kMissing[] = {
      {1252, u'\u0410'},  // Cyrillic A
      {1251, u'\u00E9'},  // e with acute
      {1253, u'\u05D0'},  // alef
      {1250, u'\u00C6'},  // AE
      {1257, u'\u0E01'},  // ko kai
      {874, u'\uFFFD'},   // replacement character
      {1256, u'\uF7DB'},  // stand-in for a code 1256 does define
      {1252, u'\u0080'},  // 1252 defines 0x80 as the euro sign
  };
  for (const Missing& missing : kMissing) {
    SCOPED_TRACE(testing::Message()
                 << "page " << missing.page << " U+" << std::hex << static_cast<int>(missing.ch));
    const CodePage* page = FindCodePage(missing.page);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->Code(missing.ch), -1);
  }
}

TEST(CodePageTest, EncodesAWordCodeByCode) {
  // "Привет" in 1251.
  const CodePage* page = FindCodePage(1251);
  ASSERT_NE(page, nullptr);
  const std::u16string word = u"\u041F\u0440\u0438\u0432\u0435\u0442";
  const std::vector<int> expected = {0xCF, 0xF0, 0xE8, 0xE2, 0xE5, 0xF2};
  std::vector<int> codes;
  for (char16_t c : word) codes.push_back(page->Code(c));
  EXPECT_EQ(codes, expected);
}

TEST(CodePageTest, ConstructorBuildsReverseTableFromAnyTable) {
  std::array<char16_t, 256> table{};
  for (int code = 0; code < 256; ++code) table[code] = static_cast<char16_t>(0xFF00 + code);
  const CodePage page(42, table);
  EXPECT_EQ(page.Number(), 42);
  EXPECT_EQ(page.Code(u'\uFF00'), 0);
  EXPECT_EQ(page.Code(u'\uFF7F'), 0x7F);
  EXPECT_EQ(page.Code(u'\uFFFF'), 0xFF);
  EXPECT_EQ(page.Code(u'A'), -1);
  EXPECT_EQ(page.Code(u'\u0000'), -1);
  EXPECT_EQ(page.Code(u'\uFEFF'), -1);
  EXPECT_EQ(static_cast<int>(page.Char(0xAB)), 0xFFAB);
}

struct LocaleCase {
  std::string_view name;
  int page;
};

const LocaleCase kLocaleCases[] = {
    {"ru_RU.UTF-8", 1251},
    {"el_GR", 1253},
    {"tr_TR.UTF-8", 1254},
    {"he_IL", 1255},
    {"ar_EG.UTF-8", 1256},
    {"pl_PL", 1250},
    {"lt_LT", 1257},
    {"vi_VN", 1258},
    {"th_TH.UTF-8", 874},
    {"sr_RS@latin", 1250},
    {"sr_RS", 1251},
    {"de_DE@euro", 1252},
    {"C", 1252},
    {"POSIX", 1252},
    {"", 1252},
    {"en_US.UTF-8", 1252},
    {"RU_ru", 1251},
    // More languages and forms.
    {"ru", 1251},
    {"ru.KOI8-R", 1251},
    {"uk_UA.UTF-8", 1251},
    {"be_BY", 1251},
    {"bg_BG.CP1251", 1251},
    {"mk_MK", 1251},
    {"kk_KZ", 1251},
    {"sr_ME", 1251},
    {"sr_RS.UTF-8@latin", 1250},
    {"SR_RS@LATIN", 1250},
    {"fa_IR", 1256},
    {"ur_PK", 1256},
    {"iw_IL", 1255},
    {"yi_US", 1255},
    {"el_GR@euro", 1253},
    {"el@euro", 1253},
    {"sr@latin", 1250},
    {"uz@cyrillic", 1251},
    {"az_AZ", 1254},
    {"uz_UZ", 1254},
    {"uz_UZ@cyrillic", 1251},
    {"cs_CZ.ISO-8859-2", 1250},
    {"hu_HU", 1250},
    {"ro_RO", 1250},
    {"hr_HR", 1250},
    {"bs_BA", 1250},
    {"bs_BA@cyrillic", 1251},
    {"az_AZ@cyrillic", 1251},
    {"sq_AL", 1250},
    {"et_EE", 1257},
    {"lv_LV", 1257},
    {"C.UTF-8", 1252},
    {"fr_FR", 1252},
    {"ja_JP.UTF-8", 1252},
    {"hsb_DE", 1252},
    {"ka_GE", 1252},
    // Only the whole language part counts.
    {"rus", 1252},
    {"r", 1252},
    {"_RU", 1252},
    {"thai", 1252},
};

TEST(CodePageForLocaleTest, PicksTheWindowsPageOfTheLanguage) {
  for (const LocaleCase& c : kLocaleCases) {
    EXPECT_EQ(CodePageForLocale(c.name), c.page) << '"' << c.name << '"';
  }
}

TEST(CodePageForLocaleTest, AlwaysPicksAKnownPage) {
  for (const LocaleCase& c : kLocaleCases) {
    EXPECT_NE(FindCodePage(CodePageForLocale(c.name)), nullptr) << '"' << c.name << '"';
  }
}

}  // namespace
}  // namespace quorvel
