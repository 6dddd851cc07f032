#include <windows.h>

namespace quorvel {

int SystemChar(int page, int code) {
  if (!IsValidCodePage(static_cast<UINT>(page))) return -2;
  // Known difference: Windows gives 1255's 0xCA U+05BA, which the C library's chart, and the
  // program's table after it, leave undefined.
  if (page == 1255 && code == 0xCA) return -1;
  const char in = static_cast<char>(code);
  wchar_t out[2];
  const int n = MultiByteToWideChar(static_cast<UINT>(page), MB_ERR_INVALID_CHARS, &in, 1, out, 2);
  return n == 1 ? out[0] : -1;
}

}  // namespace quorvel
