// Twips (1/1440 inch), the unit the windows are laid out in, and screen
// pixels: 15 twips per pixel at 96 dots per inch, 12 at 120.
#pragma once

#include <QRect>
#include <optional>

namespace quorvel::widgets {

// Twips per pixel at the primary screen's logical resolution.
double TwipsPerPixel();

// A length in twips as whole pixels, rounded to the nearest.
int TwipsToPixels(double twips);

// A rectangle given in twips (left, top, width, height) in pixels.
QRect TwipsRect(double left, double top, double width, double height);

// Fixes the twips per pixel for a test; nullopt returns to the screen's.
void SetTwipsPerPixelForTesting(std::optional<double> twips_per_pixel);

}  // namespace quorvel::widgets
