#include <csignal>

#include "platform/process.h"

namespace quorvel::platform {

void IgnoreFileSizeLimitSignal() { std::signal(SIGXFSZ, SIG_IGN); }

void ReachStartingConsole() {}

}  // namespace quorvel::platform
