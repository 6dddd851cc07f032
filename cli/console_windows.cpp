#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <QCoreApplication>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "cipher/codepage.h"
#include "cli/console.h"
#include "os/codepage_host.h"
#include "os/files.h"
#include "os/paths.h"
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
  _doserrno = 0;  // what a failed write finds there is this run's
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
  const QString last = os::LastName(name);
  return last.compare(QStringLiteral("CON"), Qt::CaseInsensitive) == 0 ||
         last.compare(QStringLiteral("CONOUT$"), Qt::CaseInsensitive) == 0;
}

// A console shows UTF-8 bytes in its own code page: it is given characters.
os::Result<void> WriteText(std::FILE* stream, const QString& text) {
  const auto console = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode = 0;
  if (console == INVALID_HANDLE_VALUE || !GetConsoleMode(console, &mode))
    return os::WriteToStream(stream, text.toUtf8());
  std::fflush(stream);
  for (qsizetype done = 0; done < text.size();) {
    const auto chunk = static_cast<DWORD>(std::min<qsizetype>(text.size() - done, kConsoleChunk));
    DWORD written = 0;
    if (!WriteConsoleW(console, text.utf16() + done, chunk, &written, nullptr))
      return os::FromWindowsError(GetLastError());
    if (written == 0) return os::FromWindowsError(ERROR_WRITE_FAULT);
    done += written;
  }
  return {};
}

QString EndOfInputKeys() { return QStringLiteral("Ctrl+Z and Enter"); }

QString CodePageSource() {
  const int system = os::SystemCodePageNumber();
  if (FindCodePage(system)) return QStringLiteral("the system's ANSI code page");
  return QStringLiteral(
             "the system's ANSI code page when it is one of these; this system's, %1, is not, so "
             "1252 is used unless --codepage gives another")
      .arg(QString::number(system));
}

QString PicturePathsHelp(const QString& picture_path) {
  return QStringLiteral("Picture files: FILE is any path; the default is the window's %1.\n")
      .arg(picture_path);
}

}  // namespace quorvel::cli
