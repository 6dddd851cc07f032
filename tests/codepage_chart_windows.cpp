#include <windows.h>

namespace quorvel {

int SystemChar(int page, int code) {
  if (!IsValidCodePage(static_cast<UINT>(page))) return -2;
  const char in = static_cast<char>(code);
  wchar_t out[2];
  const int n = MultiByteToWideChar(static_cast<UINT>(page), MB_ERR_INVALID_CHARS, &in, 1, out, 2);
  return n == 1 ? out[0] : -1;
}

}  // namespace quorvel
