// The current local date.
#pragma once

#include <QDate>
#include <optional>

namespace quorvel::os {

// Today's local date, or the date set for a test.
QDate Today();

// Fixes the date that Today() gives; nullopt returns to the real clock.
void SetTodayForTesting(std::optional<QDate> date);

}  // namespace quorvel::os
