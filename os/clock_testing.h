// What tests may change in the clock: the date it gives. Only tests include
// this header.
#pragma once

#include <QDate>
#include <optional>

namespace quorvel::os {

// Fixes the date that Today() gives; nullopt returns to the real clock.
void SetTodayForTesting(std::optional<QDate> date);

}  // namespace quorvel::os
