#include "os/win32_error.h"

#include <windows.h>

namespace quorvel::os {

QString WindowsErrorText(unsigned long code) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  QString message = length > 0 ? QString::fromWCharArray(text, length).trimmed() : QString();
  LocalFree(text);
  if (message.endsWith(u'.')) message.chop(1);
  return message.isEmpty() ? QStringLiteral("Windows error %1").arg(QString::number(code))
                           : message;
}

Failure FromWindowsError(unsigned long code) {
  return {Failure::Kind::kFile, WindowsErrorText(code)};
}

}  // namespace quorvel::os
