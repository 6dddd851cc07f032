#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QRegularExpression>

#include "cli/console.h"
#include "os/files.h"
#include "os/paths.h"
#include "os/shown_name.h"
#include "os/utf8.h"

namespace quorvel::cli {

QStringList Arguments(int argc, char* argv[]) {
  // The arguments as given: a file name that is not UTF-8 names that file.
  QStringList args;
  for (int i = 1; i < argc; ++i) args << quorvel::os::FileNameFromBytes(argv[i]);
  return args;
}

// Standard error becomes /dev/null; this program's own lines go to a copy
// of the real one.
std::FILE* SetUpStreams() {
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

bool IsTerminal(std::FILE* stream) { return ::isatty(::fileno(stream)); }

bool NamesStandardStream(const QString& name) {
  const QString path = QDir::cleanPath(name);
  static const QRegularExpression kStream(QStringLiteral(
      "^/dev/(stdin|stdout|stderr|fd/\\d+)$|^/proc/(self|thread-self|\\d+)/fd/\\d+$"));
  return kStream.match(path).hasMatch();
}

// A terminal takes UTF-8 too.
os::Result<void> WriteText(std::FILE* stream, const QString& text) {
  return os::WriteToStream(stream, os::FileNameBytes(text));
}

QString EndOfInputKeys() { return QStringLiteral("Ctrl+D"); }

QString CodePageSource() {
  return QStringLiteral("the page of the locale (LC_ALL, LC_CTYPE, LANG)");
}

QString PicturePathsHelp(const QString& picture_path) {
  return QStringLiteral(
             "Picture files: FILE is either a path like the window's %1, where\n"
             "a drive letter X: stands for $XDG_DATA_HOME/quorvel/drive_x (with\n"
             "~/.local/share when XDG_DATA_HOME is unset) and each backslash for a folder,\n"
             "or an ordinary path, used as it is. The default, %1, is\n"
             "  %2\n")
      .arg(picture_path, os::ShownName(os::HostPath(picture_path)));
}

}  // namespace quorvel::cli
