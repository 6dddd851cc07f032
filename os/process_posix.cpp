#include <csignal>

#include "os/process.h"

namespace quorvel::os {

void IgnoreFileSizeLimitSignal() { std::signal(SIGXFSZ, SIG_IGN); }

void ReachStartingConsole() {}

}  // namespace quorvel::os
