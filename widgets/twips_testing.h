// What tests may change in the twips: the screen's resolution. Only tests
// include this header.
#pragma once

#include <optional>

namespace quorvel::widgets {

// Fixes the twips per pixel for a test; nullopt returns to the screen's.
void SetTwipsPerPixelForTesting(std::optional<double> twips_per_pixel);

}  // namespace quorvel::widgets
