#include <csignal>

#include "platform/process.h"

namespace quorvel::platform {

void IgnoreFileSizeLimitSignal() { std::signal(SIGXFSZ, SIG_IGN); }

}  // namespace quorvel::platform
