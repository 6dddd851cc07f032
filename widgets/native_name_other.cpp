#include "widgets/native_name.h"

namespace quorvel::widgets {

// Only an X11 window has a native name of its own to clear; elsewhere the
// title stays as Qt sets it.
void ClearNativeName(QWidget*) {}

}  // namespace quorvel::widgets
