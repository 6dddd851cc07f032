// The like-for-like floor for start-up: a bare Qt program that shows one
// window of the main window's size at 96 dpi with one label of text in the
// main window's font, so that it pays for finding and loading a font (most
// of it fontconfig's first load) as any window with text does; it ends once
// the window is on the screen.
#include <QApplication>
#include <QLabel>
#include <QWidget>

#include "bench/shown_probe.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QWidget window;
  window.resize(544, 377);
  QFont font(QStringLiteral("Arial"));
  font.setPointSizeF(9.6);
  font.setBold(true);
  QLabel label(QStringLiteral("Enter or paste the text:"), &window);
  label.setFont(font);
  label.move(9, 140);
  quorvel::bench::ShownProbe probe(&window);
  window.show();
  return QApplication::exec();
}
