// The current local date.
#pragma once

#include <QDate>

namespace quorvel::os {

// Today's local date, or the date a test set (clock_testing.h).
QDate Today();

}  // namespace quorvel::os
