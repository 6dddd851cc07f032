// What each system's half of the paths service supplies to the part that
// every system shares (paths.cpp).
#pragma once

#include <QString>

#include "os/result.h"

namespace quorvel::os::detail {

enum class EntryKind { kNone, kFile, kFolder };

// What is at a host path, following links.
EntryKind KindAt(const QString& host);

// Makes the folder at a host path, with the folders above it that are
// missing: the reason, in the system's words, when one cannot be made.
Result<void> MakeFolders(const QString& host);

}  // namespace quorvel::os::detail
