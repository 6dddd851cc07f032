// Twips (1/1440 inch), the unit the windows are laid out in, and screen
// pixels: 15 twips per pixel at 96 dots per inch, 12 at 120.
#pragma once

#include <QRect>

namespace quorvel::widgets {

// Twips per pixel at the primary screen's logical resolution, or the value a
// test set (twips_testing.h).
double TwipsPerPixel();

// A length in twips as whole pixels, rounded to the nearest.
int TwipsToPixels(double twips);

// A rectangle given in twips (left, top, width, height) in pixels.
QRect TwipsRect(double left, double top, double width, double height);

}  // namespace quorvel::widgets
