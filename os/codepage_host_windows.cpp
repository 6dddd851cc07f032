#include <windows.h>

#include "os/codepage_host.h"
#include "os/codepage_host_system.h"

namespace quorvel::os {

QString CodePageAdvice(QLatin1StringView language, QLatin1StringView) {
  return QStringLiteral("make Windows use %1 as the language for non-Unicode programs")
      .arg(language);
}

namespace detail {

int SystemPage() { return static_cast<int>(GetACP()); }

}  // namespace detail

}  // namespace quorvel::os
