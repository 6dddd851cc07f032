#include "cli/strip_tool.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <optional>

#include "cipher/codepage.h"
#include "cipher/keys.h"
#include "cipher/strip.h"
#include "cli/console.h"
#include "cli/text_io.h"
#include "os/codepage_host.h"
#include "os/files.h"
#include "os/line_breaks.h"
#include "os/paths.h"
#include "os/process.h"
#include "os/shown_name.h"
#include "picture/picture_files.h"
#include "picture/strip_picture.h"

namespace quorvel::cli {

namespace {

inline constexpr int kDefaultHeight = 8;
inline constexpr int kMinHeight = 1;
// The tallest strip whose widest form (32,767 columns) the picture loader
// still accepts, so that every strip written can be read back.
inline constexpr int kMaxHeight = 1024;
static_assert(static_cast<qint64>(kMaxColumns) * kMaxHeight <= picture::kMaxPicturePixels);

// The most bytes a text that fits in a picture can take: three for each
// UTF-16 unit (a line feed is one byte for the two units of CR LF, a
// character outside the basic plane four bytes for two units), and a byte
// order mark. A text of more bytes is too long; no more than one byte past
// this is read.
inline constexpr qsizetype kMaxTextBytes = 3 * static_cast<qsizetype>(kMaxTextLength) + 3;
// A keys file is read whole, and only its first line counts.
inline constexpr qint64 kMaxKeysFileBytes = 64 * 1024;

std::FILE* error_stream = stderr;

// One line, whatever names and values from the command line, the
// environment or a file the message repeats: their control characters are
// shown as escapes.
int Fail(int status, const QString& message) {
  // Where even this cannot be written, nothing more can be told.
  (void)WriteText(error_stream, QStringLiteral("quorvel-strip: %1\n").arg(os::ShownName(message)));
  return status;
}

// The exit status of a failure of each kind.
int ExitStatus(os::Failure::Kind kind) {
  switch (kind) {
    case os::Failure::Kind::kUsage:
      return kExitUsage;
    case os::Failure::Kind::kContent:
    case os::Failure::Kind::kTooLarge:
      return kExitRefused;
    case os::Failure::Kind::kFile:
      break;
  }
  return kExitFile;
}

int Fail(const os::Failure& failure) { return Fail(ExitStatus(failure.kind), failure.sentence); }

// A refusal of what came from a file given on the command line starts with
// that file's name, so that a batch tells which file it was.
int Refuse(const std::optional<QString>& source, const QString& message) {
  return Fail(kExitRefused, source ? QStringLiteral("%1: %2").arg(*source, message) : message);
}

QString Quoted(const QString& text) { return QStringLiteral("\"%1\"").arg(text); }

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

// What a command line asks for, once it has been checked.
struct Request {
  bool encode = true;
  KeyTriple keys;
  const CodePage* page = nullptr;
  int height = kDefaultHeight;
  QString picture;               // a program path, mapped as HostPath does
  std::optional<QString> input;  // encode: the text file; decode: the picture file
  bool standard = false;         // the picture: encode's on standard output, decode's on input
  bool raw = false;              // decode: the text exactly as it is, to a terminal too
};

// The command line's options; the help is made from them.
struct Options {
  QCommandLineOption keys{QStringLiteral("keys"),
                          QStringLiteral("The keys of the red, green and blue channel, each as "
                                         "typed in the window's key fields: a number from 0 to "
                                         "255, rounded (halves to even). Default: %1,%1,%1.")
                              .arg(picture::DefaultKey()),
                          QStringLiteral("K1,K2,K3"),
                          QStringLiteral("%1,%1,%1").arg(picture::DefaultKey())};
  QCommandLineOption keys_file{
      QStringLiteral("keys-file"),
      QStringLiteral("The keys from the first line of FILE, written as for --keys; FILE must be "
                     "readable by its owner alone (chmod 600). Without --keys or --keys-file, "
                     "the keys come from the environment variable QUORVEL_KEYS when it is set. "
                     "Keys given with --keys are seen by every user of the computer (in its "
                     "list of processes, and in the shell's history): give secret keys with "
                     "--keys-file or QUORVEL_KEYS."),
      QStringLiteral("FILE")};
  QCommandLineOption codepage{
      QStringLiteral("codepage"),
      QStringLiteral("The code page of the character codes: %1. Default: %2, here %3.")
          .arg(KnownPagesList(), CodePageSource(), QString::number(os::ActiveCodePage().Number())),
      QStringLiteral("N")};
  QCommandLineOption height{
      QStringLiteral("height"),
      QStringLiteral("encode: the picture's height in pixels, %1 to %2. Default: %3.")
          .arg(QString::number(kMinHeight), QString::number(kMaxHeight),
               QString::number(kDefaultHeight)),
      QStringLiteral("H"), QString::number(kDefaultHeight)};
  QCommandLineOption output{
      {QStringLiteral("o"), QStringLiteral("output")},
      QStringLiteral("encode: the picture file to write, PNG when its name ends in .png, BMP when "
                     "it ends in .bmp or has no extension; - writes a BMP picture to standard "
                     "output (not to a terminal). Default: the window's, %1.")
          .arg(picture::PicturePath()),
      QStringLiteral("FILE")};
  QCommandLineOption raw{QStringLiteral("raw"),
                         QStringLiteral("decode: writes the text exactly as decoded to a terminal "
                                        "too, control characters and all.")};
  QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                          QStringLiteral("Shows this help.")};
  QCommandLineOption version{QStringLiteral("version"), QStringLiteral("Shows the version.")};
};

QString HelpText(QCommandLineParser& parser) {
  // Qt's usage line names the program by the path it was started with.
  const QString help = parser.helpText();
  return QStringLiteral(
             "Usage: quorvel-strip [options] encode [TEXTFILE]\n"
             "       quorvel-strip [options] decode [FILE | -]\n"
             "       quorvel-strip --help | --version\n") +
         help.mid(help.indexOf(u'\n') + 1) + u'\n' + PicturePathsHelp(picture::PicturePath()) +
         QStringLiteral(
             "encode creates its folder when it is missing, as the window does at start-up;\n"
             "any other folder must exist. Strips are read from BMP and PNG files. A FILE of\n"
             "- is standard input for decode, and -o - standard output for encode; decode\n"
             "without FILE reads the default picture, not standard input. A round trip\n"
             "through a pipe:\n"
             "  quorvel-strip encode -o - < note.txt | quorvel-strip decode -\n"
             "\n"
             "When standard output is a terminal, decode shows control characters other than\n"
             "line feeds and tabs as escapes (\\xHH, \\r, and \\uHHHH for U+2028, U+2029 and\n"
             "the bidirectional controls U+202A-U+202E, U+2066-U+2069), and ends the text\n"
             "with a line feed when it has none; --raw writes the text exactly. Into a file\n"
             "or a pipe the text is always written exactly.\n"
             "\n"
             "A text holds 1 to %1 characters, a line break counting as two, and each\n"
             "character needs a code in the code page.\n"
             "\n"
             "Exit status:\n"
             "  0  Success.\n"
             "  1  Input refused, nothing written: a key that does not convert; a text that\n"
             "     is empty, too long, not valid UTF-8, or has a character with no code.\n"
             "     Or a picture that was read but does not decode: a file or standard\n"
             "     input that is not a BMP or PNG picture or is over 129 MiB, or a picture\n"
             "     too wide for a strip.\n"
             "  2  Usage error: an unknown command or option, a missing or bad option value,\n"
             "     an unknown code page, a picture name ending in other than .bmp or .png,\n"
             "     a picture to or from a terminal.\n"
             "  3  A file that cannot be read or written: a missing text file, a picture file\n"
             "     that cannot be read or is not a regular file, a picture name ending in /,\n"
             "     /. or /.. (a folder's, refused both ways), a picture that cannot be\n"
             "     saved (a link another user made in a shared folder, a link to nothing, a\n"
             "     read-only file, a folder of a drive path that is not the user's own), or\n"
             "     a missing default folder that cannot be created.\n")
             .arg(QString::number(kMaxTextLength));
}

// Checks the parsed command line: what it asks for, or the sentence saying
// what is wrong with it: bad usage, or a key refused.
os::Result<Request> Check(const QCommandLineParser& parser, const Options& o) {
  const QStringList words = parser.positionalArguments();
  QString problem;
  const auto usage = [&problem] {
    return os::Failure{os::Failure::Kind::kUsage,
                       problem + QStringLiteral(" See quorvel-strip --help.")};
  };
  Request r;
  if (words.isEmpty()) {
    problem = QStringLiteral("No command given.");
  } else if (words[0] != QStringLiteral("encode") && words[0] != QStringLiteral("decode")) {
    problem = QStringLiteral("Unknown command %1.").arg(Quoted(words[0]));
  } else if (words.size() > 2) {
    problem = QStringLiteral("More than one file given.");
  }
  if (!problem.isEmpty()) return usage();
  r.encode = words[0] == QStringLiteral("encode");
  if (words.size() == 2 && words[1] != QStringLiteral("-")) r.input = words[1];
  r.standard = r.encode ? parser.value(o.output) == QStringLiteral("-")
                        : words.size() == 2 && words[1] == QStringLiteral("-");
  r.raw = parser.isSet(o.raw);
  const std::optional<QString> extension = picture::Extension(parser.value(o.output));

  // The keys: --keys, else the first line of --keys-file, else QUORVEL_KEYS, each named in its
  // refusals.
  QString key_text = parser.value(o.keys), from;
  QString takes = QStringLiteral("--keys takes"), as_in = QStringLiteral("--keys 42,42,42");
  if (!parser.isSet(o.keys) && parser.isSet(o.keys_file)) {
    const QString file = parser.value(o.keys_file);
    const os::Result<QByteArray> read = os::ReadPrivateFile(file, kMaxKeysFileBytes);
    if (!read.ok()) {
      return os::Failure{os::Failure::Kind::kFile,
                         picture::ReadRefusal(QStringLiteral("The keys file %1").arg(file),
                                              read.failure().sentence)};
    }
    key_text = QString::fromUtf8(read.value()).section(u'\n', 0, 0);  // its first line
    if (key_text.endsWith(u'\r')) key_text.chop(1);
    from = QStringLiteral("the keys file %1").arg(file);
    takes = QStringLiteral("The first line of %1 takes").arg(from);
    as_in = QStringLiteral("42,42,42");
  } else if (!parser.isSet(o.keys) && !qEnvironmentVariableIsEmpty("QUORVEL_KEYS")) {
    key_text = qEnvironmentVariable("QUORVEL_KEYS");
    from = QStringLiteral("QUORVEL_KEYS");
    takes = QStringLiteral("QUORVEL_KEYS takes");
    as_in = QStringLiteral("QUORVEL_KEYS=42,42,42");
  }
  const QStringList keys = key_text.split(u',');
  const KeyConversion converted =
      keys.size() == 3 ? ConvertKeys(os::ToU16(keys[0]), os::ToU16(keys[1]), os::ToU16(keys[2]))
                       : KeyConversion{};
  const std::optional<int> page = ParseWhole(parser.value(o.codepage));
  const std::optional<int> height = ParseWhole(parser.value(o.height));
  if (keys.size() != 3) {
    problem = QStringLiteral("%1 three keys separated by commas, as in %2; %3 has %4.")
                  .arg(takes, as_in, Quoted(key_text), QString::number(keys.size()));
  } else if (parser.isSet(o.codepage) && !(page && FindCodePage(*page))) {
    problem = QStringLiteral("Unknown code page %1; the known ones are %2.")
                  .arg(Quoted(parser.value(o.codepage)), KnownPagesList());
  } else if (!r.encode && (parser.isSet(o.height) || parser.isSet(o.output))) {
    problem = QStringLiteral("%1 is an option of encode only.")
                  .arg(parser.isSet(o.height) ? QStringLiteral("--height") : QStringLiteral("-o"));
  } else if (r.encode && r.raw) {
    problem = QStringLiteral("--raw is an option of decode only.");
  } else if (!height || *height < kMinHeight || *height > kMaxHeight) {
    problem = QStringLiteral("The height %1 is not a whole number from %2 to %3.")
                  .arg(Quoted(parser.value(o.height)), QString::number(kMinHeight),
                       QString::number(kMaxHeight));
  } else if (parser.isSet(o.output) && parser.value(o.output).isEmpty()) {
    problem = QStringLiteral("-o takes the picture file's name, or - for standard output.");
  } else if (!r.encode && words.size() == 2 && words[1].isEmpty()) {
    problem = QStringLiteral("The picture file's name is empty; give it, or - for standard input.");
  } else if (r.encode && !r.standard && NamesStandardStream(parser.value(o.output))) {
    problem = QStringLiteral(
                  "%1 is a standard stream, and a picture is saved by replacing its "
                  "file; write it to standard output with -o -.")
                  .arg(Quoted(parser.value(o.output)));
  } else if (r.encode && !r.standard &&
             picture::FormatOfName(parser.value(o.output)) == picture::PictureFormat::kNone) {
    problem = QStringLiteral(
                  "The picture name %1 ends in \".%2\"; pictures are written as BMP "
                  "(a name ending in .bmp, or with no extension) or PNG (.png).")
                  .arg(Quoted(parser.value(o.output)), *extension);
  } else if (r.standard && IsTerminal(r.encode ? stdout : stdin)) {
    problem = r.encode ? QStringLiteral(
                             "Standard output is a terminal, and a picture is binary "
                             "data; redirect it to a file or a pipe.")
                       : QStringLiteral(
                             "Standard input is a terminal; pipe the picture in, as "
                             "in quorvel-strip encode -o - | quorvel-strip decode -.");
  }
  if (!problem.isEmpty()) return usage();
  if (!converted.keys) {
    // Keys are checked last: a bad key is refused input, not bad usage.
    QString refusal =
        picture::KeyRefusal(converted.failed_index + 1, keys[converted.failed_index], from) + u' ' +
        (r.encode ? picture::NothingSaved() : QStringLiteral("Nothing was decoded."));
    if (r.input) refusal = QStringLiteral("%1: %2").arg(*r.input, refusal);
    return os::Failure{os::Failure::Kind::kContent, refusal};
  }
  r.keys = *converted.keys;
  r.page = parser.isSet(o.codepage) ? FindCodePage(*page) : &os::ActiveCodePage();
  r.height = *height;
  r.picture = r.encode ? parser.value(o.output) : r.input.value_or(picture::PicturePath());
  if (r.picture.isEmpty()) r.picture = picture::PicturePath();
  return r;
}

int Encode(const Request& r) {
  const QString nothing_saved = u' ' + picture::NothingSaved();
  if (!r.input && IsTerminal(stdin)) {
    Fail(0, QStringLiteral("reading the text to hide until %1.").arg(EndOfInputKeys()));
  }
  os::Result<QByteArray> input = os::ReadInput(r.input.value_or(QString()), kMaxTextBytes);
  const QString what =
      r.input ? QStringLiteral("The text file %1").arg(*r.input) : QStringLiteral("Standard input");
  if (!input.ok()) {
    return Fail(kExitFile, picture::ReadRefusal(what, input.failure().sentence) + nothing_saved);
  }
  QByteArray& bytes = input.value();
  // Too long, though its length is not known: what was read, a character
  // cut by the end of it counted as one, already holds too many.
  const bool too_long = bytes.size() > kMaxTextBytes;
  const bool cut = too_long && DropCutCharacter(bytes);
  if (const std::optional<qsizetype> bad = FirstInvalidUtf8(bytes)) {
    const qsizetype line = bytes.left(*bad).count('\n') + 1;
    return Refuse(r.input,
                  QStringLiteral("The text is not valid UTF-8: byte %1 (line %2) does not belong "
                                 "to a character.%3")
                      .arg(QString::number(*bad + 1), QString::number(line), nothing_saved));
  }
  const QString text = os::ToProgramLineBreaks(bytes);
  if (too_long) return Refuse(r.input, picture::TooLongRefusal(text.size() + (cut ? 1 : 0), true));
  const EncodeResult strip = EncodeStrip(os::U16View(text), r.keys, *r.page);
  if (!strip.ok()) return Refuse(r.input, picture::EncodeRefusal(*strip.failure, text, *r.page));

  const picture::Pixels picture = picture::StripImage(strip.columns, r.height);
  if (r.standard) {
    // A BMP, the strip format; every byte of it written, or a failure.
    if (const os::Result<void> written = os::WriteToStream(stdout, picture::EncodeBmp24(picture));
        !written.ok()) {
      return Fail(kExitFile, QStringLiteral("The picture could not be written to standard "
                                            "output: %1.")
                                 .arg(written.failure().sentence));
    }
    return kExitOk;
  }
  if (os::HostPath(r.picture) == os::HostPath(picture::PicturePath())) {
    const os::Result<void> made = picture::MakePictureFolder();
    if (!made.ok()) return Fail(kExitFile, made.failure().sentence + nothing_saved);
  }
  const os::Result<os::Replaced> saved = picture::SavePicture(picture, r.picture);
  if (!saved.ok()) return Fail(saved.failure());
  return saved.value().note.isEmpty() ? kExitOk : Fail(kExitOk, saved.value().note);
}

// The picture that decode reads, from its file or standard input.
os::Result<picture::Pixels> ReadPicture(const Request& r) {
  // Only the top row holds the strip.
  if (!r.standard) return picture::LoadPicture(r.picture, picture::Rows::kTop);
  const os::Result<QByteArray> input = os::ReadInput(QString(), picture::kMaxPictureFileBytes);
  if (!input.ok()) {
    return os::Failure{
        os::Failure::Kind::kFile,
        picture::ReadRefusal(QStringLiteral("Standard input"), input.failure().sentence)};
  }
  if (input.value().size() > picture::kMaxPictureFileBytes) {
    return os::Failure{
        os::Failure::Kind::kContent,
        QStringLiteral("Standard input holds more than %1 bytes, too many for a strip picture.")
            .arg(QString::number(picture::kMaxPictureFileBytes))};
  }
  return picture::LoadPictureData(input.value(), QStringLiteral("Standard input"),
                                  picture::kMaxPicturePixels, picture::Rows::kTop);
}

int Decode(const Request& r) {
  const os::Result<picture::Pixels> picture = ReadPicture(r);
  if (!picture.ok()) return Fail(picture.failure());
  const int width = picture.value().width;
  const DecodeResult text =
      picture::DecodePicture(r.keys, static_cast<float>(width), picture.value(), *r.page);
  if (!text.ok()) {
    return Fail(
        kExitRefused,
        picture::DecodeRefusal(
            *text.failure,
            r.standard ? QStringLiteral("on standard input") : os::HostPath(r.picture), width));
  }
  QString shown = os::ToHostLineBreaks(os::FromU16(text.text));
  if (!r.raw && IsTerminal(stdout)) {
    // Seen, not obeyed: a terminal would act on the controls that a wrong
    // key or a crafted strip gives, and the prompt would follow a last line
    // that has no end.
    shown = os::EscapeControls(shown, os::Escaping::kText);
    if (!shown.endsWith(u'\n')) shown += u'\n';
  }
  if (!WriteText(stdout, shown).ok()) {
    return Fail(kExitFile, QStringLiteral("The text could not be written to standard output."));
  }
  return kExitOk;
}

}  // namespace

int RunStripTool(const QStringList& args, std::FILE* errors) {
  error_stream = errors;
  const Options o;
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral(
      "Hides a short text in a strip picture, or reads it back, exactly as the Quorvel\n"
      "window does: every three characters become one pixel column, and each\n"
      "character's code in the code page, XOR its key, is stored in the column's red,\n"
      "green or blue channel.\n"
      "\n"
      "encode  Reads the text as UTF-8 from TEXTFILE, or from standard input when\n"
      "        TEXTFILE is absent or \"-\", and saves its strip to the picture file,\n"
      "        replacing the file only once the new one is on the disk. A line feed\n"
      "        not preceded by a carriage return is stored as CR LF, as the window\n"
      "        stores a line break. Prints nothing on success, but a note when the\n"
      "        picture had other names (hard links), which keep the old picture.\n"
      "decode  Reads the strip in FILE, or from standard input when FILE is \"-\",\n"
      "        and writes its text to standard output as UTF-8, each CR LF turned\n"
      "        back into LF. Trailing spaces are not kept in a strip, so\n"
      "        \"encode -o - | decode -\" gives the text back less its trailing\n"
      "        spaces. Wrong keys give other characters, not an error."));
  parser.addOptions(
      {o.keys, o.keys_file, o.codepage, o.height, o.output, o.raw, o.help, o.version});
  parser.addPositionalArgument(QStringLiteral("encode"), QStringLiteral("Hides a text."),
                               QStringLiteral("encode [TEXTFILE] |"));
  parser.addPositionalArgument(QStringLiteral("decode"), QStringLiteral("Reads one back."),
                               QStringLiteral("decode [FILE]"));
  if (!parser.parse(QStringList{QStringLiteral("quorvel-strip")} + args)) {
    QString problem = parser.errorText();
    if (const QStringList unknown = parser.unknownOptionNames(); !unknown.isEmpty()) {
      const QString dashes =
          unknown.first().size() == 1 ? QStringLiteral("-") : QStringLiteral("--");
      problem = QStringLiteral("Unknown option %1.").arg(Quoted(dashes + unknown.first()));
    }
    return Fail(kExitUsage, problem + QStringLiteral(" See quorvel-strip --help."));
  }
  if (parser.isSet(o.help) || parser.isSet(o.version)) {
    const QString shown = parser.isSet(o.help)
                              ? HelpText(parser)
                              : QStringLiteral("quorvel-strip " QUORVEL_VERSION "\n");
    if (const os::Result<void> written = WriteText(stdout, shown); !written.ok()) {
      return Fail(kExitFile, QStringLiteral("Standard output could not be written: %1.")
                                 .arg(written.failure().sentence));
    }
    return kExitOk;
  }
  const os::Result<Request> request = Check(parser, o);
  if (!request.ok()) return Fail(request.failure());
  return request.value().encode ? Encode(request.value()) : Decode(request.value());
}

int StripToolMain(int argc, char* argv[]) {
  os::IgnoreFileSizeLimitSignal();
  // Each problem is one line of this program's own on standard error; Qt's
  // warnings (from the image decoders, for one) stay out of it.
  qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
  QCoreApplication app(argc, argv);
  // Strips are BMP or PNG files, both read by Qt itself: no plugin is needed,
  // and none is looked for.
  QCoreApplication::setLibraryPaths({});
  QCoreApplication::setApplicationName(QStringLiteral("quorvel-strip"));
  QCoreApplication::setApplicationVersion(QStringLiteral(QUORVEL_VERSION));
  return RunStripTool(Arguments(argc, argv), SetUpStreams());
}

}  // namespace quorvel::cli
