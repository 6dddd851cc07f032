// quorvel-strip: hides a text in a strip picture, or reads one back, from
// the command line. A core application is enough: pictures are drawn and
// read in memory, with no window and no display.
#include <QCoreApplication>
#include <cstdio>

#include "cli/strip_tool.h"
#include "platform/paths.h"
#include "platform/process.h"

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <unistd.h>

namespace {

// Some libraries write to standard error themselves (libpng reports a
// damaged file there before Qt hears of it). Standard error becomes
// /dev/null for them; this program's own lines go to the stream returned, a
// copy of the real standard error.
std::FILE* OwnErrorStream() {
  const int own = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
  if (own < 0) return stderr;
  std::FILE* errors = ::fdopen(own, "w");
  const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  const bool moved = errors && null >= 0 && ::dup2(null, STDERR_FILENO) >= 0;
  if (null >= 0) ::close(null);
  if (moved) return errors;
  if (errors) std::fclose(errors);
  return stderr;
}

}  // namespace
#endif

int main(int argc, char* argv[]) {
  quorvel::platform::IgnoreFileSizeLimitSignal();
  // Each problem is one line of this program's own on standard error; Qt's
  // warnings (from the image decoders, for one) stay out of it.
  qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
  QCoreApplication app(argc, argv);
  // Strips are BMP or PNG files, both read by Qt itself: no plugin is needed,
  // and none is looked for.
  QCoreApplication::setLibraryPaths({});
  QCoreApplication::setApplicationName(QStringLiteral("quorvel-strip"));
  QCoreApplication::setApplicationVersion(QStringLiteral(QUORVEL_VERSION));
#ifdef Q_OS_WIN
  const QStringList args = QCoreApplication::arguments().mid(1);
  std::FILE* const errors = stderr;
#else
  // The arguments as given: a file name that is not UTF-8 names that file.
  QStringList args;
  for (int i = 1; i < argc; ++i) args << quorvel::platform::FileNameFromBytes(argv[i]);
  std::FILE* const errors = OwnErrorStream();
#endif
  return quorvel::cli::RunStripTool(args, errors);
}
