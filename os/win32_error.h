// Windows' own words for its error codes, for the Windows halves of the
// OS services and the command line.
#pragma once

#include <QString>

#include "os/result.h"

namespace quorvel::os {

// The system's message for a Windows error code (as GetLastError() gives
// it), in the user's language, without the full stop and line break it ends
// with: "The system cannot find the path specified". A code the system has
// no message for is named by its number.
QString WindowsErrorText(unsigned long code);

// A Windows error, at the edge where it becomes a failure: told in the
// system's words.
Failure FromWindowsError(unsigned long code);

}  // namespace quorvel::os
