// The program's icon for its windows and the task bar.
#pragma once

#include <QIcon>

namespace quorvel {

// The icon at every size it is drawn at, so that Qt picks the one that fits
// the window's scale instead of stretching one picture.
QIcon AppIcon();

}  // namespace quorvel
