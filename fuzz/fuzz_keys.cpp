// Key texts of every shape: the conversion must never crash, and a key it
// accepts must be the rounded number it reads.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cipher/keys.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Half of the inputs as UTF-16 code units, half as Latin-1 bytes, so that
  // short ASCII-looking texts are found quickly.
  std::u16string text;
  if (size > 0 && (data[0] & 1)) {
    for (std::size_t i = 1; i + 1 < size; i += 2) {
      text.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
    }
  } else {
    for (std::size_t i = 1; i < size; ++i) text.push_back(data[i]);
  }
  const auto number = quorvel::ConvertNumber(text);
  const auto key = quorvel::ConvertKey(text);
  if (key) {
    if (!number) std::abort();
    if (std::nearbyint(*number) != *key) std::abort();
  } else if (number && std::nearbyint(*number) >= 0 && std::nearbyint(*number) <= 255) {
    std::abort();
  }
  return 0;
}
