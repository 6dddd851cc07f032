#include "platform/codepage_host.h"

#include <QByteArray>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace quorvel::platform {

namespace {

int HostCodePageNumber() {
#ifdef Q_OS_WIN
  const int acp = static_cast<int>(GetACP());
  return FindCodePage(acp) ? acp : 1252;
#else
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const QByteArray value = qgetenv(name);
    if (!value.isEmpty()) return CodePageForLocale(value.toStdString());
  }
  return CodePageForLocale("");
#endif
}

}  // namespace

const CodePage& ActiveCodePage() {
  const CodePage* page = FindCodePage(HostCodePageNumber());
  return page ? *page : *FindCodePage(1252);
}

}  // namespace quorvel::platform
