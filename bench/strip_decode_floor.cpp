// The floor of `quorvel-strip decode PICTURE` in plain C++, without Qt: the
// same BMP file read whole, the XOR of its top row undone with the default
// keys, the characters of code page 1252 written to standard output as
// UTF-8, less trailing spaces, each CR LF as LF.
//
// Usage: quorvel_strip_decode_floor PICTURE
#include <cstdio>
#include <cstring>
#include <string>

#include "bench/strip_floor.h"

namespace {

using quorvel::bench::CharOf1252;
using quorvel::bench::kFloorKey;

std::uint32_t Le32(const quorvel::bench::Bytes& b, std::size_t at) {
  std::uint32_t v = 0;
  for (int k = 3; k >= 0; --k) v = v << 8 | b[at + std::size_t(k)];
  return v;
}

void PutUtf8(char16_t c, std::string& out) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | c >> 6));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | c >> 12));
    out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::fputs("usage: quorvel_strip_decode_floor PICTURE\n", stderr);
    return 2;
  }
  quorvel::bench::Bytes bmp;
  if (!quorvel::bench::ReadWholeFile(argv[1], bmp) || bmp.size < 54 || bmp[0] != 'B' ||
      bmp[1] != 'M' || (Le32(bmp, 28) & 0xFFFF) != 24 || Le32(bmp, 30) != 0) {
    std::fputs("quorvel_strip_decode_floor: not an uncompressed 24-bit BMP\n", stderr);
    return 1;
  }
  const std::size_t at = Le32(bmp, 10), width = Le32(bmp, 18);
  const auto height = static_cast<std::int32_t>(Le32(bmp, 22));
  const std::size_t row = (3 * width + 3) & ~std::size_t{3};
  // The top row: stored last, unless the rows are stored from the top down.
  const std::size_t top = at + (height > 0 ? row * static_cast<std::size_t>(height - 1) : 0);
  if (height == 0 || width > 32767 || top + 3 * width > bmp.size) {
    std::fputs("quorvel_strip_decode_floor: not a strip\n", stderr);
    return 1;
  }
  std::u16string text(3 * width, u' ');
  for (std::size_t x = 0; x < width; ++x) {
    const auto* p = reinterpret_cast<const unsigned char*>(bmp.data.get() + top + 3 * x);
    text[3 * x] = CharOf1252(p[2] ^ kFloorKey);  // red, green, blue
    text[3 * x + 1] = CharOf1252(p[1] ^ kFloorKey);
    text[3 * x + 2] = CharOf1252(p[0] ^ kFloorKey);
  }
  text.erase(text.find_last_not_of(u' ') + 1);
  std::string out;
  out.reserve(3 * text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') continue;
    PutUtf8(text[i], out);
  }
  return std::fwrite(out.data(), 1, out.size(), stdout) == out.size() && std::fflush(stdout) == 0
             ? 0
             : 3;
}
