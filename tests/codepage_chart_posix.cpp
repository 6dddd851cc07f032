#include <iconv.h>

#include <string>

namespace quorvel {

// A fresh converter for every byte, flushed after it: the 1255 and 1258 converters hold a letter
// back in case a combining mark follows.
int SystemChar(int page, int code) {
  // The one character Windows, whose pages these are, has where the C library has none.
  if (page == 1255 && code == 0xCA) return 0x05BA;
  const iconv_t cd = iconv_open("UTF-16LE", ("CP" + std::to_string(page)).c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return -2;
  char in[1] = {static_cast<char>(code)};
  unsigned char out[8];
  char *in_at = in, *out_at = reinterpret_cast<char*>(out);
  std::size_t in_left = 1, out_left = sizeof out;
  const bool ok = iconv(cd, &in_at, &in_left, &out_at, &out_left) != static_cast<std::size_t>(-1) &&
                  iconv(cd, nullptr, nullptr, &out_at, &out_left) != static_cast<std::size_t>(-1);
  iconv_close(cd);
  return ok && out_left == sizeof out - 2 ? out[0] | out[1] << 8 : -1;
}

}  // namespace quorvel
