#include "platform/process.h"

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <csignal>
#endif

namespace quorvel::platform {

void IgnoreFileSizeLimitSignal() {
#ifdef Q_OS_UNIX
  std::signal(SIGXFSZ, SIG_IGN);
#endif
}

}  // namespace quorvel::platform
