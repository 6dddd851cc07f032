#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <QCoreApplication>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "cli/console.h"
#include "os/win32_error.h"

namespace quorvel::cli {

namespace {
// The most characters handed to the console in one write.
constexpr qsizetype kConsoleChunk = 8192;
}  // namespace

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

// _isatty also holds for NUL and other character devices; only a console
// has a console mode.
bool IsTerminal(std::FILE* stream) {
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

// The console's own names, in any case, in any folder.
bool NamesStandardStream(const QString& name) {
  const QString last = name.mid(std::max(name.lastIndexOf(u'/'), name.lastIndexOf(u'\\')) + 1);
  return last.compare(QStringLiteral("CON"), Qt::CaseInsensitive) == 0 ||
         last.compare(QStringLiteral("CONOUT$"), Qt::CaseInsensitive) == 0;
}

// A console shows UTF-8 bytes in its own code page: it is given characters.
bool WriteText(std::FILE* stream, const QString& text) {
  const auto console = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode = 0;
  if (console == INVALID_HANDLE_VALUE || !GetConsoleMode(console, &mode)) {
    const QByteArray bytes = text.toUtf8();
    const auto size = static_cast<std::size_t>(bytes.size());
    const bool written = std::fwrite(bytes.constData(), 1, size, stream) == size;
    return std::fflush(stream) == 0 && written;
  }
  std::fflush(stream);
  for (qsizetype done = 0; done < text.size();) {
    const auto chunk = static_cast<DWORD>(std::min<qsizetype>(text.size() - done, kConsoleChunk));
    DWORD written = 0;
    if (!WriteConsoleW(console, text.utf16() + done, chunk, &written, nullptr) || written == 0) {
      _doserrno = GetLastError();  // for WriteErrorText
      return false;
    }
    done += written;
  }
  return true;
}

QString EndOfInputKeys() { return QStringLiteral("Ctrl+Z and Enter"); }

// The C library keeps the Windows error of a failed write apart from errno.
QString WriteErrorText() {
  if (_doserrno != 0) return os::WindowsErrorText(_doserrno);
  return QString::fromLocal8Bit(std::strerror(errno));
}

QString CodePageSource() { return QStringLiteral("the system's ANSI code page"); }

QString PicturePathsHelp(const QString& picture_path) {
  return QStringLiteral("Picture files: FILE is any path; the default is the window's %1.\n")
      .arg(picture_path);
}

}  // namespace quorvel::cli
