#include "widgets/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>
#include <optional>

#include "widgets/twips_testing.h"

namespace quorvel::widgets {

namespace {
std::optional<double>& Override() {
  static std::optional<double> value;
  return value;
}
}  // namespace

double TwipsPerPixel() {
  if (Override()) return *Override();
  const QScreen* screen = QGuiApplication::primaryScreen();
  const double dpi = screen ? screen->logicalDotsPerInchX() : 96.0;
  return dpi > 0 ? 1440.0 / dpi : 15.0;
}

int TwipsToPixels(double twips) { return static_cast<int>(std::lround(twips / TwipsPerPixel())); }

QRect TwipsRect(double left, double top, double width, double height) {
  return QRect(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width),
               TwipsToPixels(height));
}

void SetTwipsPerPixelForTesting(std::optional<double> twips_per_pixel) {
  Override() = twips_per_pixel;
}

}  // namespace quorvel::widgets
