// Single-byte code pages: the mapping between a character and its code
// 0 to 255 that the strip picture stores.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

namespace quorvel {

// One single-byte code page. Every code 0 to 255 maps to a distinct
// character: codes the page leaves undefined map to the C1 control of the
// same value (U+0080 to U+009F) or, outside that range, to a private-use
// character, so decoding never fails and re-encoding a decoded text gives
// back the same codes.
class CodePage {
 public:
  CodePage(int number, const std::array<char16_t, 256>& table);

  int Number() const { return number_; }

  // The character of a code.
  char16_t Char(std::uint8_t code) const { return to_unicode_[code]; }

  // The code of a character, or -1 when the page has none for it.
  int Code(char16_t c) const { return Codes()[c]; }
  // The code of every character, 65536 entries, -1 for none: made the first
  // time a code is asked for, so that a page that only decodes never fills it.
  const std::int16_t* Codes() const;

 private:
  int number_;
  std::array<char16_t, 256> to_unicode_;
  mutable std::once_flag codes_made_;
  mutable std::vector<std::int16_t> from_unicode_;
};

// The pages Quorvel knows: 874, 1250 to 1258. Returns nullptr for any other
// number. The page objects live for the whole run.
const CodePage* FindCodePage(int number);

// The numbers of all known pages, ascending.
std::vector<int> KnownCodePages();

// The ANSI code page Windows would use for the language of a POSIX locale
// name such as "ru_RU.UTF-8", "el_GR", "C" or "" (1252 for anything not
// listed: Arabic 1256, Cyrillic 1251, Greek 1253, Turkish 1254, Hebrew
// 1255, Central European 1250, Baltic 1257, Vietnamese 1258, Thai 874).
int CodePageForLocale(std::string_view locale_name);

}  // namespace quorvel
