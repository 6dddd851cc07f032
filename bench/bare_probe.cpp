// The floor for start-up: a bare Qt program that shows one empty window of
// the main window's size at 96 dpi and ends once it is on the screen.
#include <QApplication>
#include <QWidget>

#include "bench/shown_probe.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QWidget window;
  window.resize(544, 377);
  quorvel::bench::ShownProbe probe(&window);
  window.show();
  return QApplication::exec();
}
