// The program's start-up as platform/main.cpp runs it, ending once the
// main window is on the screen; bench/startup.sh times whole runs of it.
// Keep the sequence the same as main.cpp's.
#include <QApplication>

#include "bench/shown_probe.h"
#include "forms/frmmain.h"
#include "platform/windows.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quorvel"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/quorvel.png")));

  quorvel::frmmain window;
  if (!window.Form_Load()) return 1;
  quorvel::platform::CenterOnScreen(&window);
  quorvel::bench::ShownProbe probe(&window);
  window.show();
  return QApplication::exec();
}
