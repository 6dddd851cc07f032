// quorvel-strip: hides a text in a strip picture, or reads one back, from
// the command line. A core application is enough: pictures are drawn and
// read in memory, with no window and no display.
#include <QCoreApplication>

#include "cli/console.h"
#include "cli/strip_tool.h"
#include "os/process.h"

int main(int argc, char* argv[]) {
  quorvel::os::IgnoreFileSizeLimitSignal();
  // Each problem is one line of this program's own on standard error; Qt's
  // warnings (from the image decoders, for one) stay out of it.
  qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
  QCoreApplication app(argc, argv);
  // Strips are BMP or PNG files, both read by Qt itself: no plugin is needed,
  // and none is looked for.
  QCoreApplication::setLibraryPaths({});
  QCoreApplication::setApplicationName(QStringLiteral("quorvel-strip"));
  QCoreApplication::setApplicationVersion(QStringLiteral(QUORVEL_VERSION));
  const QStringList args = quorvel::cli::Arguments(argc, argv);
  return quorvel::cli::RunStripTool(args, quorvel::cli::SetUpStreams());
}
