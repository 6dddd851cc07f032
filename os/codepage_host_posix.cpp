#include <QByteArray>

#include "os/codepage_host.h"
#include "os/codepage_host_system.h"

namespace quorvel::os {

QString CodePageAdvice(QLatin1StringView, QLatin1StringView locale) {
  return QStringLiteral("start Quorvel under a matching locale, such as LANG=%1").arg(locale);
}

namespace detail {

int SystemPage() {
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const QByteArray value = qgetenv(name);
    if (!value.isEmpty()) return CodePageForLocale(value.toStdString());
  }
  return CodePageForLocale("");
}

}  // namespace detail

}  // namespace quorvel::os
