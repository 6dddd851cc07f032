// The code page the program uses for character codes.
#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "cipher/codepage.h"

namespace quorvel::os {

// On Windows the system's ANSI code page when it is one of the known
// single-byte pages (1252 otherwise). Elsewhere the page Windows would use
// for the language of the user's locale, taken from LC_ALL, then LC_CTYPE,
// then LANG (the first one set and not empty).
const CodePage& ActiveCodePage();

// The number of the page the system asks for, known or not: the ANSI code
// page on Windows (932, 936, 949, 950 or 65001 among those ActiveCodePage
// falls back from), the locale's language's page elsewhere.
int SystemCodePageNumber();

// How the user makes the page of a language the active one, for messages:
// on Windows, "make Windows use Russian as the language for non-Unicode
// programs"; elsewhere, "start Quorvel under a matching locale, such as
// LANG=ru_RU.UTF-8".
QString CodePageAdvice(QLatin1StringView language, QLatin1StringView locale);

// Program text and the cipher's UTF-16 text.
inline std::u16string ToU16(const QString& s) { return s.toStdU16String(); }
// The same text without a copy, valid while `s` lives unchanged.
inline std::u16string_view U16View(const QString& s) {
  return {reinterpret_cast<const char16_t*>(s.utf16()), static_cast<std::size_t>(s.size())};
}
inline QString FromU16(const std::u16string& s) { return QString::fromStdU16String(s); }

}  // namespace quorvel::os
