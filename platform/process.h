// Process-wide settings both programs start with.
#pragma once

namespace quorvel::platform {

// A write past the process's file size limit then fails like a full disk,
// and the save reports it, instead of the program being killed mid-save.
// (Windows sends no signal for it: there, this does nothing.)
void IgnoreFileSizeLimitSignal();

}  // namespace quorvel::platform
