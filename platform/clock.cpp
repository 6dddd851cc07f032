#include "platform/clock.h"

namespace quorvel::platform {

namespace {
std::optional<QDate>& FixedDate() {
  static std::optional<QDate> date;
  return date;
}
}  // namespace

QDate Today() { return FixedDate() ? *FixedDate() : QDate::currentDate(); }

void SetTodayForTesting(std::optional<QDate> date) { FixedDate() = date; }

}  // namespace quorvel::platform
