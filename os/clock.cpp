#include "os/clock.h"

#include <optional>

#include "os/clock_testing.h"

namespace quorvel::os {

namespace {
std::optional<QDate>& FixedDate() {
  static std::optional<QDate> date;
  return date;
}
}  // namespace

QDate Today() { return FixedDate() ? *FixedDate() : QDate::currentDate(); }

void SetTodayForTesting(std::optional<QDate> date) { FixedDate() = date; }

}  // namespace quorvel::os
