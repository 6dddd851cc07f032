#include "platform/process.h"

namespace quorvel::platform {

// Windows has no such signal: a write past a limit fails and says so.
void IgnoreFileSizeLimitSignal() {}

}  // namespace quorvel::platform
