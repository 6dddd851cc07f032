#include "cipher/keys.h"

#include <charconv>
#include <cmath>
#include <string>

namespace quorvel {

namespace {

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

}  // namespace

std::optional<double> ConvertNumber(std::u16string_view text) {
  // Spaces around the number are allowed.
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && text[begin] == u' ') ++begin;
  while (end > begin && text[end - 1] == u' ') --end;
  std::u16string_view body = text.substr(begin, end - begin);

  // Syntax: [sign] digits [ '.' digits ], with at least one digit in all.
  std::size_t pos = 0;
  bool negative = false;
  if (pos < body.size() && (body[pos] == u'+' || body[pos] == u'-')) {
    negative = body[pos] == u'-';
    ++pos;
  }
  std::size_t digits = 0;
  while (pos < body.size() && IsDigit(body[pos])) ++pos, ++digits;
  if (pos < body.size() && body[pos] == u'.') {
    ++pos;
    while (pos < body.size() && IsDigit(body[pos])) ++pos, ++digits;
  }
  if (digits == 0 || pos != body.size()) return std::nullopt;

  std::string ascii;
  ascii.reserve(body.size());
  for (char16_t c : body.substr(negative || body[0] == u'+' ? 1 : 0)) {
    ascii.push_back(static_cast<char>(c));
  }
  double value = 0;
  auto [ptr, ec] =
      std::from_chars(ascii.data(), ascii.data() + ascii.size(), value, std::chars_format::fixed);
  if (ec != std::errc() || ptr != ascii.data() + ascii.size()) {
    // Only a number too large for a double gets here.
    return std::nullopt;
  }
  return negative ? -value : value;
}

std::optional<std::uint8_t> ConvertKey(std::u16string_view text) {
  const std::optional<double> value = ConvertNumber(text);
  if (!value) return std::nullopt;
  const double rounded = std::nearbyint(*value);  // default rounding: halves to even
  if (!(rounded >= 0.0 && rounded <= 255.0)) return std::nullopt;
  return static_cast<std::uint8_t>(rounded);
}

KeyConversion ConvertKeys(std::u16string_view k0, std::u16string_view k1, std::u16string_view k2) {
  KeyConversion result;
  KeyTriple keys;
  const std::u16string_view texts[3] = {k0, k1, k2};
  for (int i = 0; i < 3; ++i) {
    auto byte = ConvertKey(texts[i]);
    if (!byte) {
      result.failed_index = i;
      return result;
    }
    keys.k[static_cast<std::size_t>(i)] = *byte;
  }
  result.keys = keys;
  return result;
}

}  // namespace quorvel
