#include "cipher/strip.h"

#include <cmath>

namespace quorvel {

std::u16string PadText(std::u16string_view text) {
  std::u16string padded(text);
  padded.append(static_cast<std::size_t>(PaddingCount(text.size())), u' ');
  return padded;
}

EncodeResult EncodeStrip(std::u16string_view text, const KeyTriple& keys, const CodePage& page) {
  EncodeResult result;
  if (text.empty()) {
    result.failure = EncodeFailure{EncodeError::kEmpty};
    return result;
  }
  if (text.size() > kMaxTextLength) {
    result.failure = EncodeFailure{EncodeError::kTooLong};
    return result;
  }
  const std::size_t length = text.size();
  const std::size_t columns = (length + static_cast<std::size_t>(PaddingCount(length))) / 3;
  result.columns.resize(columns);

  const std::int16_t* codes_of = page.Codes();
  auto code_at = [&](std::size_t i, int& code) {
    if (i >= length) {
      code = u' ';  // padding
      return true;
    }
    code = codes_of[text[i]];
    return code >= 0;
  };

  for (std::size_t x = 0; x < columns; ++x) {
    int codes[3];
    for (std::size_t j = 0; j < 3; ++j) {
      const std::size_t i = 3 * x + j;
      if (!code_at(i, codes[j])) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
          c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
        }
        result.columns.clear();
        result.failure = EncodeFailure{EncodeError::kNoCode, i + 1, c};
        return result;
      }
    }
    result.columns[x] =
        ColumnColour(static_cast<std::uint8_t>(codes[0]), static_cast<std::uint8_t>(codes[1]),
                     static_cast<std::uint8_t>(codes[2]), keys);
  }
  return result;
}

std::optional<std::int16_t> LastColumnIndex(float width) {
  const float last = width - 1.0f;  // single precision, as the width is held
  if (!std::isfinite(last)) return std::nullopt;
  const float rounded = std::nearbyint(last);  // halves to even
  if (rounded < -32768.0f || rounded > 32767.0f) return std::nullopt;
  return static_cast<std::int16_t>(rounded);
}

void TrimTrailingSpaces(std::u16string& text) {
  const std::size_t keep = text.find_last_not_of(u' ');
  text.erase(keep == std::u16string::npos ? 0 : keep + 1);
}

}  // namespace quorvel
