// The floor of `quorvel-strip encode TEXTFILE -o PICTURE` in plain C++,
// without Qt: the same text file in, the same BMP bytes out (code page
// 1252, the default keys, 8 rows), saved as durably: a new file written and
// synced, renamed over the old one, and its folder synced.
//
// Usage: quorvel_strip_encode_floor TEXTFILE PICTURE
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "bench/strip_floor.h"

namespace {

using quorvel::bench::CodeOf1252;
using quorvel::bench::kFloorKey;

constexpr std::size_t kMaxCharacters = 98301;
constexpr int kHeight = 8;

// The text's character codes: UTF-8 decoded, a leading byte order mark
// dropped, each LF not after a CR stored as CR LF. False for bytes that are
// not UTF-8 or a character the page does not have.
bool Codes(const quorvel::bench::Bytes& utf8, std::vector<std::uint8_t>& codes) {
  const auto* b = reinterpret_cast<const unsigned char*>(utf8.data.get());
  const std::size_t n = utf8.size;
  std::size_t i = n >= 3 && std::memcmp(b, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
  codes.reserve(n);
  while (i < n) {
    char32_t c = b[i];
    int more = 0;
    if (c >= 0xF0) return false;  // outside the basic plane: no code in 1252
    if (c >= 0xE0) {
      c &= 0x0F;
      more = 2;
    } else if (c >= 0xC2) {
      c &= 0x1F;
      more = 1;
    } else if (c >= 0x80) {
      return false;
    }
    if (i + more >= n && more > 0) return false;  // cut by the end
    for (int k = 1; k <= more; ++k) {
      if ((b[i + k] & 0xC0) != 0x80) return false;
      c = c << 6 | (b[i + k] & 0x3F);
    }
    if (more == 2 && (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))) return false;
    i += 1 + static_cast<std::size_t>(more);
    if (c == u'\n' && (codes.empty() || codes.back() != u'\r')) codes.push_back(u'\r');
    const int code = CodeOf1252(c);
    if (code < 0) return false;
    codes.push_back(static_cast<std::uint8_t>(code));
  }
  return !codes.empty() && codes.size() <= kMaxCharacters;
}

// A 24-bit bottom-up BMP of the strip: each column's three codes XOR the
// keys as its red, green and blue, on every row.
quorvel::bench::Bytes Bitmap(std::vector<std::uint8_t> codes) {
  codes.resize(codes.size() + (2 * codes.size()) % 3, ' ');
  const std::size_t width = codes.size() / 3;
  const std::size_t row = (3 * width + 3) & ~std::size_t{3};
  const std::size_t size = 54 + row * kHeight;
  quorvel::bench::Bytes file(size);
  char* bmp = file.data.get();
  std::memset(bmp, 0, 54);
  const auto le = [bmp](std::size_t at, std::uint32_t v, int bytes) {
    for (int k = 0; k < bytes; ++k) bmp[at + std::size_t(k)] = static_cast<char>(v >> (8 * k));
  };
  bmp[0] = 'B';
  bmp[1] = 'M';
  le(2, static_cast<std::uint32_t>(size), 4);
  le(10, 54, 4);
  le(14, 40, 4);
  le(18, static_cast<std::uint32_t>(width), 4);
  le(22, kHeight, 4);
  le(26, 1, 2);
  le(28, 24, 2);
  le(34, static_cast<std::uint32_t>(row * kHeight), 4);
  le(38, 3780, 4);
  le(42, 3780, 4);
  char* first = bmp + 54;
  std::memset(first + 3 * width, 0, row - 3 * width);  // the row's padding
  for (std::size_t x = 0; x < width; ++x) {
    first[3 * x] = static_cast<char>(codes[3 * x + 2] ^ kFloorKey);  // blue, green, red
    first[3 * x + 1] = static_cast<char>(codes[3 * x + 1] ^ kFloorKey);
    first[3 * x + 2] = static_cast<char>(codes[3 * x] ^ kFloorKey);
  }
  for (int y = 1; y < kHeight; ++y) std::memcpy(first + row * y, first, row);
  return file;
}

bool SaveDurably(const std::string& path, const quorvel::bench::Bytes& bytes) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const std::string temporary = path + ".new";
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  std::size_t done = 0;
  while (done < bytes.size) {
    const ssize_t n = ::write(fd, bytes.data.get() + done, bytes.size - done);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  const bool written = done == bytes.size && ::fsync(fd) == 0;
  if (::close(fd) != 0 || !written || ::rename(temporary.c_str(), path.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const bool synced = dir >= 0 && ::fsync(dir) == 0;
  if (dir >= 0) ::close(dir);
  return synced;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 3) {
    std::fputs("usage: quorvel_strip_encode_floor TEXTFILE PICTURE\n", stderr);
    return 2;
  }
  quorvel::bench::Bytes text;
  std::vector<std::uint8_t> codes;
  if (!quorvel::bench::ReadWholeFile(argv[1], text) || !Codes(text, codes)) {
    std::fputs("quorvel_strip_encode_floor: the text does not make a strip\n", stderr);
    return 1;
  }
  return SaveDurably(argv[2], Bitmap(std::move(codes))) ? 0 : 3;
}
