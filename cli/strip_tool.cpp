#include "cli/strip_tool.h"

#include <QFile>
#include <QFileInfo>
#include <QSize>
#include <QString>
#include <cstdio>
#include <optional>
#include <variant>

#include "cipher/codepage.h"
#include "cipher/keys.h"
#include "cipher/strip.h"
#include "cli/text_io.h"
#include "platform/codepage_host.h"
#include "platform/paths.h"
#include "platform/persistent_image.h"
#include "platform/pictures.h"
#include "platform/strip_picture.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace quorvel::cli {

namespace {

enum class Command { kEncode, kDecode, kHelp, kVersion };

struct Options {
  Command command = Command::kHelp;
  QString keys[3] = {QStringLiteral("042"), QStringLiteral("042"), QStringLiteral("042")};
  std::optional<int> code_page;
  int height = 8;
  std::optional<QString> output;
  std::optional<QString> file;
};

// A command line that cannot be run: what is wrong with it.
struct UsageProblem {
  QString text;
};

inline constexpr int kMinHeight = 1;
// The tallest strip whose widest form (32,767 columns) the picture loader
// still accepts, so that every strip written can be read back.
inline constexpr int kMaxHeight = 1024;
static_assert(static_cast<qint64>(kMaxColumns) * kMaxHeight <= platform::kMaxPicturePixels);

// Writes the text as UTF-8 (file names in it as their bytes); false when
// it could not be written.
bool Write(std::FILE* stream, const QString& text) {
  const QByteArray bytes = platform::FileNameBytes(text);
  const auto size = static_cast<std::size_t>(bytes.size());
  const bool written = std::fwrite(bytes.constData(), 1, size, stream) == size;
  return std::fflush(stream) == 0 && written;
}

void WriteLine(std::FILE* stream, const QString& text) { Write(stream, text + u'\n'); }

std::FILE* error_stream = stderr;

int Fail(int status, const QString& message) {
  WriteLine(error_stream, QStringLiteral("quorvel-strip: ") + message);
  return status;
}

int FailUsage(const QString& problem) {
  return Fail(kExitUsage, problem + QStringLiteral(" See quorvel-strip --help."));
}

QString Quoted(const QString& text) { return u'"' + text + u'"'; }

QString DefaultPicture() { return QString::fromUtf16(kDefaultPicture); }

QString KnownPagesList() {
  QStringList numbers;
  for (const int n : KnownCodePages()) numbers << QString::number(n);
  return numbers.join(QStringLiteral(", "));
}

std::optional<int> ParseWhole(const QString& text) {
  bool ok = false;
  const int value = text.toInt(&ok, 10);
  if (!ok || text.trimmed() != text) return std::nullopt;
  return value;
}

std::variant<Options, UsageProblem> Parse(const QStringList& args) {
  Options o;
  if (args.isEmpty()) return UsageProblem{QStringLiteral("No command given.")};
  const QString& first = args[0];
  if (first == QStringLiteral("--help") || first == QStringLiteral("-h")) return o;
  if (first == QStringLiteral("--version")) {
    o.command = Command::kVersion;
    return o;
  }
  if (first == QStringLiteral("encode")) {
    o.command = Command::kEncode;
  } else if (first == QStringLiteral("decode")) {
    o.command = Command::kDecode;
  } else {
    return UsageProblem{QStringLiteral("Unknown command %1.").arg(Quoted(first))};
  }
  const bool encode = o.command == Command::kEncode;

  bool options_done = false;
  for (qsizetype i = 1; i < args.size(); ++i) {
    const QString& arg = args[i];
    if (options_done || arg == QStringLiteral("-") || !arg.startsWith(u'-')) {
      if (o.file) return UsageProblem{QStringLiteral("More than one file given.")};
      o.file = arg;
      continue;
    }
    if (arg == QStringLiteral("--")) {
      options_done = true;
      continue;
    }
    if (arg == QStringLiteral("--help") || arg == QStringLiteral("-h")) {
      o.command = Command::kHelp;
      return o;
    }
    // --name value, or --name=value.
    QString name = arg;
    std::optional<QString> value;
    if (const qsizetype eq = arg.indexOf(u'='); arg.startsWith(QStringLiteral("--")) && eq > 0) {
      name = arg.left(eq);
      value = arg.mid(eq + 1);
    }
    const bool known = name == QStringLiteral("--keys") || name == QStringLiteral("--codepage") ||
                       name == QStringLiteral("--height") || name == QStringLiteral("--output") ||
                       name == QStringLiteral("-o");
    if (!known) return UsageProblem{QStringLiteral("Unknown option %1.").arg(Quoted(arg))};
    if (!value) {
      if (i + 1 >= args.size()) {
        return UsageProblem{QStringLiteral("The option %1 needs a value.").arg(name)};
      }
      value = args[++i];
    }

    if (name == QStringLiteral("--keys")) {
      const QStringList keys = value->split(u',');
      if (keys.size() != 3) {
        return UsageProblem{
            QStringLiteral("--keys takes three keys separated by commas, as in --keys 42,42,42; "
                           "%1 has %2.")
                .arg(Quoted(*value))
                .arg(keys.size())};
      }
      for (int k = 0; k < 3; ++k) o.keys[k] = keys[k];
    } else if (name == QStringLiteral("--codepage")) {
      const std::optional<int> number = ParseWhole(*value);
      if (!number || !FindCodePage(*number)) {
        return UsageProblem{QStringLiteral("Unknown code page %1; the known ones are %2.")
                                .arg(Quoted(*value), KnownPagesList())};
      }
      o.code_page = *number;
    } else if (name == QStringLiteral("--height")) {
      if (!encode) return UsageProblem{QStringLiteral("--height is an option of encode only.")};
      const std::optional<int> height = ParseWhole(*value);
      if (!height || *height < kMinHeight || *height > kMaxHeight) {
        return UsageProblem{QStringLiteral("The height %1 is not a whole number from %2 to %3.")
                                .arg(Quoted(*value))
                                .arg(kMinHeight)
                                .arg(kMaxHeight)};
      }
      o.height = *height;
    } else {
      if (!encode) return UsageProblem{QStringLiteral("%1 is an option of encode only.").arg(name)};
      if (value->isEmpty() || *value == QStringLiteral("-")) {
        return UsageProblem{QStringLiteral("The picture is written to a file; give its name.")};
      }
      o.output = *value;
    }
  }
  if (!encode && o.file && (o.file->isEmpty() || *o.file == QStringLiteral("-"))) {
    return UsageProblem{QStringLiteral("The picture is read from a file; give its name.")};
  }
  return o;
}

QString HelpText() {
  const QString host_default = platform::HostPath(DefaultPicture());
  return QStringLiteral(
             "Usage:\n"
             "  quorvel-strip encode [--keys K1,K2,K3] [--codepage N] [--height H] [-o FILE] "
             "[TEXTFILE]\n"
             "  quorvel-strip decode [--keys K1,K2,K3] [--codepage N] [FILE]\n"
             "  quorvel-strip --help | --version\n"
             "\n"
             "Hides a short text in a strip picture, or reads it back, exactly as the Quorvel\n"
             "window does: every three characters become one pixel column, and each\n"
             "character's code in the code page, XOR its key, is stored in the column's red,\n"
             "green or blue channel. Pictures are written as 24-bit BMP files.\n"
             "\n"
             "encode  Reads the text from TEXTFILE, or from standard input when TEXTFILE is\n"
             "        absent or \"-\", as UTF-8 (a leading byte order mark is dropped), and\n"
             "        saves its strip to FILE, replacing the file only once the new one is\n"
             "        complete. A line feed not preceded by a carriage return is stored as\n"
             "        CR LF, as the window stores a line break. Prints nothing on success.\n"
             "decode  Reads the strip in FILE (BMP, PNG or any picture format Qt reads,\n"
             "        recognised by its content) and writes its text to standard output as\n"
             "        UTF-8, each CR LF turned back into LF. Trailing spaces are not kept in\n"
             "        a strip, so \"encode | decode\" gives the text back less its trailing\n"
             "        spaces. Wrong keys give other characters, not an error.\n"
             "\n"
             "Options:\n"
             "  --keys K1,K2,K3  The keys of the red, green and blue channel, as typed in the\n"
             "                   window's key fields: a number from 0 to 255 with optional\n"
             "                   spaces around it, an optional sign and an optional fraction,\n"
             "                   rounded to the nearest whole number (halves to even).\n"
             "                   Default: 042,042,042.\n"
             "  --codepage N     The code page of the character codes: %1.\n"
             "                   Default: the page of the locale (LC_ALL, LC_CTYPE, LANG),\n"
             "                   here %2.\n"
             "  --height H       encode: the picture's height in pixels, %3 to %4. Default: 8.\n"
             "  -o, --output FILE\n"
             "                   encode: the picture file to write. Default: the window's.\n"
             "  FILE             decode: the picture file to read. Default: the window's.\n"
             "  -h, --help       Shows this help.\n"
             "  --version        Shows the version.\n"
             "\n"
             "Picture files: FILE is either a path like the window's C:\\dpics\\pic.bmp, where\n"
             "a drive letter X: stands for $XDG_DATA_HOME/quorvel/drive_x (with\n"
             "~/.local/share when XDG_DATA_HOME is unset) and each backslash for a folder,\n"
             "or an ordinary path, used as it is. The default, C:\\dpics\\pic.bmp, is\n"
             "  %5\n"
             "encode creates its folder when it is missing, as the window does at start-up;\n"
             "any other folder must exist.\n"
             "\n"
             "A text holds 1 to %6 characters, a line break counting as two, and each\n"
             "character needs a code in the code page.\n"
             "\n"
             "Exit status:\n"
             "  0  Success.\n"
             "  1  Input refused, nothing written: a key that does not convert; a text that\n"
             "     is empty, too long, not valid UTF-8, or has a character with no code.\n"
             "     Or a picture that was read but does not decode: a file that is not a\n"
             "     picture, or a picture too wide for a strip.\n"
             "  2  Usage error: an unknown command or option, a missing or bad option value,\n"
             "     an unknown code page.\n"
             "  3  A file that cannot be read or written: a missing text file, a picture file\n"
             "     that cannot be opened, a picture that cannot be saved, or a missing\n"
             "     default folder that cannot be created.\n")
      .arg(KnownPagesList())
      .arg(platform::ActiveCodePage().Number())
      .arg(kMinHeight)
      .arg(kMaxHeight)
      .arg(host_default)
      .arg(kMaxTextLength);
}

// The first key that does not convert, described, or no value when all do.
std::optional<KeyTriple> ConvertOptionKeys(const Options& o, QString* problem) {
  const KeyConversion keys = ConvertKeys(platform::ToU16(o.keys[0]), platform::ToU16(o.keys[1]),
                                         platform::ToU16(o.keys[2]));
  if (!keys.keys) {
    *problem = QStringLiteral("Key %1 %2 is not a number from 0 to 255.")
                   .arg(keys.failed_index + 1)
                   .arg(Quoted(o.keys[keys.failed_index]));
  }
  return keys.keys;
}

// How a character is shown in a message: itself in quotes, followed by its
// code point; control characters by their code point alone.
QString DescribeCharacter(char32_t c) {
  const QString hex = QString::number(static_cast<uint>(c), 16).toUpper().rightJustified(4, u'0');
  if (c < 0x20 || (c >= 0x7F && c < 0xA0)) return QStringLiteral("U+") + hex;
  const char32_t one[1] = {c};
  return Quoted(QString::fromUcs4(one, 1)) + QStringLiteral(" U+") + hex;
}

// The most bytes a text that fits in a picture can take: three for each
// UTF-16 unit (a line feed is one byte for the two units of CR LF, a
// character outside the basic plane four bytes for two units), and a byte
// order mark. A text of more bytes is too long; no more than one byte past
// this is read.
inline constexpr qsizetype kMaxTextBytes = 3 * static_cast<qsizetype>(kMaxTextLength) + 3;

struct ReadText {
  QByteArray bytes;  // at most kMaxTextBytes + 1: more means too long
  QString name;      // "standard input" or the file name, for messages
  QString error;     // set when the text could not be read
};

ReadText ReadTextInput(const std::optional<QString>& file) {
  ReadText text;
  int fd = 0;
  const bool from_stdin = !file || *file == QStringLiteral("-");
  const QString what = from_stdin
                           ? QStringLiteral("Standard input")
                           : QStringLiteral("The text file %1").arg(file.value_or(QString()));
  if (from_stdin) {
    text.name = QStringLiteral("standard input");
#ifdef Q_OS_WIN
    _setmode(_fileno(stdin), _O_BINARY);
#endif
  } else {
    text.name = *file;
#ifdef Q_OS_WIN
    fd = _wopen(reinterpret_cast<const wchar_t*>(file->utf16()), _O_RDONLY | _O_BINARY);
#else
    fd = ::open(platform::FileNameBytes(*file).constData(), O_RDONLY | O_CLOEXEC);
#endif
    if (fd < 0) {
      text.error = QStringLiteral("%1 could not be read: %2.").arg(what, qt_error_string(errno));
      return text;
    }
  }
  // In pieces, up to one byte past the limit: an endless input (a device, a
  // pipe that never ends) is cut there.
  constexpr qsizetype kPiece = 1 << 16;
  while (text.bytes.size() <= kMaxTextBytes) {
    const qsizetype have = text.bytes.size();
    const qsizetype want = std::min(kPiece, kMaxTextBytes + 1 - have);
    text.bytes.resize(have + want);
#ifdef Q_OS_WIN
    const qsizetype got = _read(fd, text.bytes.data() + have, static_cast<unsigned>(want));
#else
    const qsizetype got = ::read(fd, text.bytes.data() + have, static_cast<std::size_t>(want));
#endif
    const int error = errno;
    text.bytes.resize(have + std::max<qsizetype>(got, 0));
    if (got == 0) break;
    if (got < 0 && error != EINTR) {
      text.error = QStringLiteral("%1 could not be read: %2.").arg(what, qt_error_string(error));
      break;
    }
  }
#ifdef Q_OS_WIN
  if (fd != 0) _close(fd);
#else
  if (fd != 0) ::close(fd);
#endif
  return text;
}

int Encode(const Options& o, const CodePage& page) {
  const QString nothing_saved = QStringLiteral(" Nothing was saved.");
  QString problem;
  const std::optional<KeyTriple> keys = ConvertOptionKeys(o, &problem);
  if (!keys) return Fail(kExitRefused, problem + nothing_saved);

  ReadText input = ReadTextInput(o.file);
  if (!input.error.isEmpty()) return Fail(kExitFile, input.error + nothing_saved);
  // More bytes than a text that fits can take: too long, though its length
  // is not known. A character cut by the end of what was read still counts.
  const bool cut = input.bytes.size() > kMaxTextBytes;
  std::optional<qsizetype> bad = FirstInvalidUtf8(input.bytes);
  qsizetype cut_character = 0;
  if (cut && bad && *bad + 4 > input.bytes.size()) {
    input.bytes.truncate(*bad);
    bad.reset();
    cut_character = 1;
  }
  if (bad) {
    const qsizetype line = input.bytes.left(*bad).count('\n') + 1;
    return Fail(kExitRefused,
                QStringLiteral("The text in %1 is not valid UTF-8: byte %2 (line %3) does not "
                               "belong to a character.")
                        .arg(input.name, QString::number(*bad + 1), QString::number(line)) +
                    nothing_saved);
  }
  if (input.bytes.startsWith("\xEF\xBB\xBF")) input.bytes.remove(0, 3);
  const QString text = ToProgramLineBreaks(QString::fromUtf8(input.bytes));
  if (cut) {
    return Fail(kExitRefused,
                QStringLiteral("The text is too long to hide in one picture: it has at least %1 "
                               "characters, a line break counting as two, and a picture holds at "
                               "most %2.")
                        .arg(QString::number(text.size() + cut_character),
                             QString::number(kMaxTextLength)) +
                    nothing_saved);
  }

  const EncodeResult strip = EncodeStrip(platform::ToU16(text), *keys, page);
  if (!strip.ok()) {
    const EncodeFailure& failure = *strip.failure;
    switch (failure.error) {
      case EncodeError::kEmpty:
        return Fail(kExitRefused,
                    QStringLiteral("The text is empty: there is nothing to hide.") + nothing_saved);
      case EncodeError::kTooLong:
        return Fail(kExitRefused, QStringLiteral("The text is too long to hide in one picture: it "
                                                 "has %1 characters, a line break counting as "
                                                 "two, and a picture holds at most %2.")
                                          .arg(text.size())
                                          .arg(kMaxTextLength) +
                                      nothing_saved);
      case EncodeError::kNoCode: {
        const LineColumn at = LineColumnAt(text, static_cast<qsizetype>(failure.position) - 1);
        return Fail(kExitRefused,
                    QStringLiteral("The character %1 at line %2, column %3 has no code in code "
                                   "page %4, so it cannot be hidden in the picture.")
                            .arg(DescribeCharacter(failure.character))
                            .arg(at.line)
                            .arg(at.column)
                            .arg(page.Number()) +
                        nothing_saved);
      }
    }
  }

  const QString output = o.output.value_or(DefaultPicture());
  if (platform::HostPath(output) == platform::HostPath(DefaultPicture())) {
    const QString error = platform::MakePictureFolder();
    if (!error.isEmpty()) return Fail(kExitFile, error + nothing_saved);
  }
  const platform::SaveResult saved =
      platform::SavePicture(platform::StripImage(strip.columns, o.height), output);
  if (!saved.ok) return Fail(kExitFile, saved.error);
  return kExitOk;
}

int Decode(const Options& o, const CodePage& page) {
  const QString nothing_decoded = QStringLiteral(" Nothing was decoded.");
  QString problem;
  const std::optional<KeyTriple> keys = ConvertOptionKeys(o, &problem);
  if (!keys) return Fail(kExitRefused, problem + nothing_decoded);

  // A file that cannot be read is a file problem; one that is read but does
  // not load as a strip picture is a refused input.
  const QString path = o.file.value_or(DefaultPicture());
  const QString host = platform::HostPath(path);
  const platform::PictureResult picture = platform::LoadPicture(path);
  if (!picture.ok()) {
    return Fail(picture.failure == platform::PictureFailure::kFile ? kExitFile : kExitRefused,
                picture.error);
  }

  platform::PersistentImage image;
  image.SetPicture(picture.image);
  const int width = image.Size().width();
  const DecodeResult text = platform::DecodePicture(*keys, static_cast<float>(width), image, page);
  if (!text.ok()) return Fail(kExitRefused, platform::DecodeRefusal(*text.failure, host, width));

#ifdef Q_OS_WIN
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  const QByteArray out = ToHostLineBreaks(platform::FromU16(text.text)).toUtf8();
  const std::size_t size = static_cast<std::size_t>(out.size());
  if (std::fwrite(out.constData(), 1, size, stdout) != size || std::fflush(stdout) != 0) {
    return Fail(kExitFile, QStringLiteral("The text could not be written to standard output."));
  }
  return kExitOk;
}

}  // namespace

int RunStripTool(const QStringList& args, std::FILE* errors) {
  error_stream = errors;
  const auto parsed = Parse(args);
  if (const auto* problem = std::get_if<UsageProblem>(&parsed)) return FailUsage(problem->text);
  const Options& o = std::get<Options>(parsed);

  switch (o.command) {
    case Command::kHelp:
    case Command::kVersion: {
      const QString shown = o.command == Command::kHelp
                                ? HelpText()
                                : QStringLiteral("quorvel-strip " QUORVEL_VERSION "\n");
      if (!Write(stdout, shown)) {
        return Fail(kExitFile, QStringLiteral("Standard output could not be written: %1.")
                                   .arg(qt_error_string(errno)));
      }
      return kExitOk;
    }
    case Command::kEncode:
    case Command::kDecode:
      break;
  }
  const CodePage& page = o.code_page ? *FindCodePage(*o.code_page) : platform::ActiveCodePage();
  return o.command == Command::kEncode ? Encode(o, page) : Decode(o, page);
}

}  // namespace quorvel::cli
