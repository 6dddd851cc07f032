// Quorvel's start: the application object and the start-up window.
#include <QApplication>

#include "forms/frmmain.h"
#include "platform/process.h"
#include "platform/windows.h"

int main(int argc, char* argv[]) {
  quorvel::platform::IgnoreFileSizeLimitSignal();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quorvel"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/quorvel.png")));

  quorvel::frmmain window;
  if (!window.Form_Load()) return 1;
  quorvel::platform::CenterOnScreen(&window);
  window.show();
  return QApplication::exec();
}
