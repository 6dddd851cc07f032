// The text the benchmarks hide: prose-like lines of letters, digits,
// punctuation and some accented letters, every character with a code in
// code page 1252, line breaks as CR LF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quorvel::bench {

inline std::u16string SampleText(std::size_t length) {
  static constexpr char16_t kAlphabet[] =
      u"etaoin shrdlu cmfwyp ETAOIN vbgkqjxz 0123456789 .,;:!?'-() \u00e9\u00e8\u00e0\u00fc\u00f6"
      u"\u00df\u00e7\u00f1\u20ac";
  constexpr std::size_t kAlphabetSize = std::size(kAlphabet) - 1;
  std::u16string text;
  text.reserve(length);
  std::uint32_t state = 12345;
  std::size_t column = 0;
  while (text.size() < length) {
    state = state * 1664525u + 1013904223u;  // a fixed sequence, the same every run
    if (column >= 60 && length - text.size() >= 2) {
      text += u"\r\n";
      column = 0;
      continue;
    }
    text.push_back(kAlphabet[(state >> 8) % kAlphabetSize]);
    ++column;
  }
  return text;
}

}  // namespace quorvel::bench
