// What tests may change in the POSIX file layer beyond files.h.
#pragma once

#include <chrono>

namespace quorvel::os::detail {

// While `pause` is not zero, replacements make their new files as they do
// where the file system has no unnamed files (NFS, some FUSE ones): with a
// name from the start, and a pause of `pause` between making and locking
// each one.
void SetNamedNewFilesForTesting(std::chrono::microseconds pause);

}  // namespace quorvel::os::detail
