#include "forms/program_info.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QString>

#include "os/files.h"
#include "os/paths.h"
#include "os/process.h"
#include "os/shown_name.h"
#include "os/utf8.h"
#include "picture/strip_picture.h"

namespace quorvel {

namespace {

QString HelpText() {
  return QStringLiteral(
             "Usage: quorvel [Qt options]\n"
             "       quorvel --help | --version\n"
             "\n"
             "Opens the Quorvel window, which hides a short text in a strip picture and\n"
             "reads it back: type a text, set the three keys (0 to 255) and press\n"
             "Encrypt; press Load and Decrypt to read the strip back.\n"
             "\n"
             "Options:\n"
             "  -h, --help  Shows this help.\n"
             "  --version   Shows the version.\n"
             "Qt's own options, such as -platform NAME, are taken too; other arguments\n"
             "are ignored.\n"
             "\n"
             "The picture: %1\n"
             "quorvel-strip makes and reads the same strips on the command line.\n")
      .arg(os::ShownName(os::HostPath(picture::PicturePath())));
}

}  // namespace

void SetProgramIdentity() {
  QGuiApplication::setApplicationName(QStringLiteral("Quorvel"));
  QGuiApplication::setApplicationVersion(QStringLiteral(QUORVEL_VERSION));
  QGuiApplication::setDesktopFileName(QStringLiteral(QUORVEL_APP_ID));
}

std::optional<int> AnswerInformationRequest(int argc, const char* const argv[], std::FILE* out,
                                            std::FILE* errors) {
  QString answer;
  for (int i = 1; i < argc && answer.isEmpty(); ++i) {
    const QByteArray arg(argv[i]);
    if (arg == "--") break;  // what follows is not an option
    if (arg == "--help" || arg == "-h") answer = HelpText();
    if (arg == "--version") answer = QStringLiteral("quorvel " QUORVEL_VERSION "\n");
  }
  if (answer.isEmpty()) return std::nullopt;
  os::ReachStartingConsole();
  // The picture's path as the system has it.
  const os::Result<void> written = os::WriteToStream(out, os::FileNameBytes(answer));
  if (written.ok()) return 0;
  (void)os::WriteToStream(errors,
                          QStringLiteral("quorvel: standard output could not be written: %1.\n")
                              .arg(written.failure().sentence)
                              .toLocal8Bit());
  return 1;
}

}  // namespace quorvel
