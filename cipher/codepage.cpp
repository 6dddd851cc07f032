#include "cipher/codepage.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

namespace quorvel {
namespace {

#include "cipher/codepage_tables.inc"

constexpr std::size_t kPageCount = std::size(kCodePageTables);

// Each page is built the first time it is asked for and then kept, and its
// 65536-entry reverse table the first time it encodes: pages nobody uses
// cost nothing.
template <std::size_t I>
const CodePage& PageAt() {
  static const CodePage page(kCodePageTables[I].number, kCodePageTables[I].table);
  return page;
}

using PageGetter = const CodePage& (*)();

template <std::size_t... I>
constexpr std::array<PageGetter, sizeof...(I)> MakePageGetters(std::index_sequence<I...>) {
  return {&PageAt<I>...};
}

constexpr std::array<PageGetter, kPageCount> kPageGetters =
    MakePageGetters(std::make_index_sequence<kPageCount>());

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Lowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

// The ANSI page Windows gives a language, by ISO 639 code, when the
// language's usual script decides it. Languages written in more than one
// script are settled in CodePageForLocale from the locale's modifier.
struct LanguagePage {
  std::string_view language;
  int page;
};

constexpr LanguagePage kLanguagePages[] = {
    // Arabic script.
    {"ar", 1256},
    {"fa", 1256},
    {"ug", 1256},
    {"ur", 1256},
    // Cyrillic.
    {"ba", 1251},
    {"be", 1251},
    {"bg", 1251},
    {"cv", 1251},
    {"kk", 1251},
    {"ky", 1251},
    {"mk", 1251},
    {"mn", 1251},
    {"os", 1251},
    {"ru", 1251},
    {"sah", 1251},
    {"tg", 1251},
    {"tt", 1251},
    {"uk", 1251},
    // Greek.
    {"el", 1253},
    // Turkish.
    {"tr", 1254},
    // Hebrew.
    {"he", 1255},
    {"iw", 1255},
    {"yi", 1255},
    // Central European, and Turkmen, which Windows also puts here. The Sorbian
    // languages are not listed: Windows keeps them on the Western page.
    {"cs", 1250},
    {"hr", 1250},
    {"hu", 1250},
    {"pl", 1250},
    {"ro", 1250},
    {"sk", 1250},
    {"sl", 1250},
    {"sq", 1250},
    {"tk", 1250},
    // Baltic.
    {"et", 1257},
    {"lt", 1257},
    {"lv", 1257},
    // Vietnamese.
    {"vi", 1258},
    // Thai.
    {"th", 874},
};

constexpr int kDefaultPage = 1252;

}  // namespace

CodePage::CodePage(int number, const std::array<char16_t, 256>& table)
    : number_(number), to_unicode_(table) {}

const std::int16_t* CodePage::Codes() const {
  std::call_once(codes_made_, [this] {
    from_unicode_.assign(65536, std::int16_t{-1});
    for (int code = 0; code < 256; ++code) {
      from_unicode_[to_unicode_[code]] = static_cast<std::int16_t>(code);
    }
  });
  return from_unicode_.data();
}

const CodePage* FindCodePage(int number) {
  for (std::size_t i = 0; i < kPageCount; ++i) {
    if (kCodePageTables[i].number == number) return &kPageGetters[i]();
  }
  return nullptr;
}

std::vector<int> KnownCodePages() {
  std::vector<int> numbers;
  numbers.reserve(kPageCount);
  for (const CodePageTable& entry : kCodePageTables) numbers.push_back(entry.number);
  return numbers;
}

int CodePageForLocale(std::string_view locale_name) {
  // language[_territory][.codeset][@modifier]
  const std::size_t language_end = locale_name.find_first_of("_.@");
  const std::string language = Lowered(locale_name.substr(0, language_end));
  const std::size_t at = locale_name.find('@');
  const std::string modifier =
      at == std::string_view::npos ? std::string() : Lowered(locale_name.substr(at + 1));

  // Languages whose page follows the script the locale is written in.
  if (language == "sr") return modifier == "latin" ? 1250 : 1251;
  if (language == "bs") return modifier == "cyrillic" ? 1251 : 1250;
  if (language == "az") return modifier == "cyrillic" ? 1251 : 1254;
  if (language == "uz") return modifier == "cyrillic" ? 1251 : 1254;

  for (const LanguagePage& entry : kLanguagePages) {
    if (entry.language == language) return entry.page;
  }
  return kDefaultPage;
}

}  // namespace quorvel
