#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <QCoreApplication>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "cli/console.h"
#include "platform/win32_error.h"

namespace quorvel::cli {

// Windows hands the command line over as UTF-16, which Qt reads.
QStringList Arguments(int, char*[]) { return QCoreApplication::arguments().mid(1); }

// Standard error becomes NUL; this program's own lines go to a copy of the
// real one.
std::FILE* SetUpStreams() {
  _doserrno = 0;  // what WriteErrorText finds is this run's
  _setmode(_fileno(stdout), _O_BINARY);
  const int real = _fileno(stderr);
  const int own = real >= 0 ? _dup(real) : -1;
  if (own < 0) return stderr;
  std::FILE* errors = _fdopen(own, "wb");
  const int null = _open("NUL", _O_WRONLY | _O_BINARY);
  // _dup2 also makes NUL the process's standard error handle.
  const bool moved = errors && null >= 0 && _dup2(null, real) == 0;
  if (null >= 0) _close(null);
  if (moved) return errors;
  if (errors) std::fclose(errors);
  return stderr;
}

bool IsTerminal(std::FILE* stream) { return _isatty(_fileno(stream)); }

QString EndOfInputKeys() { return QStringLiteral("Ctrl+Z and Enter"); }

// The C library keeps the Windows error of a failed write apart from errno.
QString WriteErrorText() {
  if (_doserrno != 0) return platform::WindowsErrorText(_doserrno);
  return QString::fromLocal8Bit(std::strerror(errno));
}

QString CodePageSource() { return QStringLiteral("the system's ANSI code page"); }

QString PicturePathsHelp(const QString& picture_path) {
  return QStringLiteral("Picture files: FILE is any path; the default is the window's %1.\n")
      .arg(picture_path);
}

}  // namespace quorvel::cli
