#include "widgets/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>
#include <optional>

#include "widgets/twips_testing.h"

namespace quorvel::widgets {

namespace {

constexpr double kTwipsPerInch = 1440.0;
// The resolution taken when there is no screen to ask.
constexpr double kStandardDotsPerInch = 96.0;
std::optional<double>& Override() {
  static std::optional<double> value;
  return value;
}
}  // namespace

double TwipsPerPixel() {
  if (Override()) return *Override();
  const QScreen* screen = QGuiApplication::primaryScreen();
  const double dpi = screen ? screen->logicalDotsPerInchX() : kStandardDotsPerInch;
  return kTwipsPerInch / (dpi > 0 ? dpi : kStandardDotsPerInch);
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
