// quorvel-strip run as the built program, with the test's private data folder and no display.
#ifndef _WIN32
#include <sys/resource.h>
const rlimit kOneGiB{1 << 30, 1 << 30};
#endif

#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <filesystem>

#include "cipher/codepage.h"
#include "cli/text_io.h"
#include "picture/picture_files.h"
#include "picture/png_file.h"
#include "tests/test_support.h"

namespace quorvel {
namespace {

using testing::ReadFile, testing::WriteFile;

struct Outcome {
  int status = -1;  // -1: did not start, crashed or hung
  QByteArray out, err;
};

class CliTest : public testing::FrmMainTest {
 protected:
  // Runs `program` in the data folder, `input` on its standard input and `out` its standard output.
  Outcome Strip(const QStringList& args, const QByteArray& input = {}, const QString& out = {},
                const QString& program = QStringLiteral(QUORVEL_STRIP)) const {
    QProcess process;
#if !defined(QUORVEL_UNDER_ASAN) && !defined(_WIN32)  // ASan's shadow memory takes terabytes
    process.setChildProcessModifier([] { setrlimit(RLIMIT_DATA, &kOneGiB); });
#endif
    if (!out.isEmpty()) process.setStandardOutputFile(out);
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) qunsetenv(name);
    process.setWorkingDirectory(data_home_);
    process.start(program, args);
    if (!process.waitForStarted(30000)) return {};
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000)) process.kill();  // and the status stays -1
    process.waitForFinished();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
  }
  QString Local(const QString& name) const { return data_home_ + u'/' + name; }
};

// Each column holds three characters' codes XOR the keys (red, green, blue), in every row, a line
// feed read as CR LF; at the height of 8 the file is the window's. Decoded, the text comes back
// less its trailing spaces, CR LF as LF (as CR LF in the window, which says "Done.").
TEST_F(CliTest, StripsHoldTheCodesXorTheKeysAsTheWindowsDo) {
  QString codes;  // every character with a code in page 1252, in code order
  for (int c = 0; c < 256; ++c) codes.append(QChar(FindCodePage(1252)->Char(std::uint8_t(c))));
  const QString euros(98301, QChar(0x20AC));  // the most bytes a text that fits can take
  const std::tuple<QString, QStringList, int, QByteArray, QString> cases[] = {
      {"Hi!ab\n\u20ac", {"42", "0", "255"}, 8, "6269de4b62f22080df", {}},
      {"\nhid\n\nden", {}, 8, "272042434e272027204e4f44", {}},  // the default keys
      {"a\r\nb\rc", {" 7.5 ", "+2.5", "-0.4"}, 8, "690f0a6a0f63", "a\nb\rc"},
      {"x   ", {"9", "99", "199"}, 1024, "7143e72943e7", "x"},
      {"z", {"0", "128", "255"}, 1, "7aa0df", {}},
      {"   ", {"42", "0", "255"}, 8, "0a20df", ""},
      {"  lead, trail   \n", {"7", "250", "42"}, 8, "27da46629b4e2bda5e759b436bda0a27f720", {}},
      {codes, {"7", "250", "42"}, 8, {}, {}},
      {QString(49150, u'y') + u'\n' + QString(49149, u'y'), {"1", "2", "3"}, 8, {}, {}},
      {QChar(0xFEFF) + euros, {"1", "2", "3"}, 2, {}, euros}};
  const QRegularExpression lone_lf("(?<!\r)\n");  // the window's line breaks are CR LF
  for (const auto& [text, keys, height, row, back] : cases) {
    SCOPED_TRACE(text.left(20).toStdString());
    QStringList with, tall;
    if (!keys.isEmpty()) with << "--keys=" + keys.join(u',');
    if (height != 8) tall << "--height" << QString::number(height);
    const QByteArray expected = (back.isNull() ? text : back).toUtf8();
    // Through pipes, options before and after the command word.
    const Outcome run = Strip(with + QStringList{"encode", "-o", "-"} + tall, text.toUtf8());
    ASSERT_TRUE(run.status == 0 && run.err.isEmpty()) << run.err.toStdString();
    EXPECT_EQ(Strip(QStringList{"decode"} + with + QStringList{"--", "-"}, run.out).out, expected);
    const QImage image = QImage::fromData(run.out, "BMP").convertToFormat(QImage::Format_RGB888);
    EXPECT_EQ(image.height(), height);
    const qsizetype bytes = row.isEmpty() ? 0 : 3 * image.width();  // red, green, blue
    for (const int y : {0, height - 1})
      EXPECT_EQ(QByteArrayView(image.constScanLine(y), bytes).toByteArray().toHex(), row);
    if (height != 8) continue;
    SetKeys(keys.isEmpty() ? QStringList(3, "042") : keys);
    ClearMessages();
    Encrypt(QString(text).replace(lone_lf, "\r\n"));
    Load();
    Decrypt();
    EXPECT_EQ(run.out, ReadFile(PicPath()));
    EXPECT_EQ(form_->txtDecrypt->Text(), QString::fromUtf8(expected).replace(lone_lf, "\r\n"));
    const auto& [title, prompt, buttons] = Messages().at(0);  // throws if there is none
    EXPECT_EQ(std::tuple(Messages().size(), prompt, title, buttons),
              std::tuple(1u, QString("Done."), QString("Quorvel"), 0));
    EXPECT_FALSE(form_->pEncrypt->isVisibleTo(form_.get()));
  }
}

// A picture name means the same file to encode and decode, in quorvel-strip and in the window's
// save and load. Its extension is its last part's, in any case; none is a BMP. One that ends in a
// folder's name is refused both ways in one sentence, with nothing written, and a path longer than
// the system takes whole works both ways. The window's folder is made when missing, and decode
// reads its picture by default; a save over a file that has other names says so.
TEST_F(CliTest, PictureNamesAndCodePages) {
  QStringList names = {
      "d/x.jpg/.", "d/new/.",    "d/",    "d/..",  ".",       "C:\\dpics\\pic.bmp\\.",
      "c:/dpics/", "\u20ac.bmp", "X.PNG", "Y.Bmp", ".hidden", "d.v2/s"};
#ifndef _WIN32
  const QString deep = "d" + QString("/" + QString(200, u'd')).repeated(25);
  ASSERT_EQ(Strip({"-p", deep}, {}, {}, "mkdir").status, 0);
  names << deep + "/x.bmp";
#endif
  ASSERT_TRUE(QDir().mkpath(Local("d")) && QDir().mkpath(Local("d.v2")));
  for (const QString& name : names) {
    SCOPED_TRACE(name.left(40).toStdString());
    const bool works = !name.endsWith(u'.') && !name.endsWith(u'/');
    const QString window = name.contains(u':') ? name : Local(name);
    EXPECT_EQ(picture::SavePicture(testing::Sample(3, 8), window).ok(), works);
    EXPECT_EQ(picture::LoadPicture(window).ok(), works);
    const Outcome made = Strip({"encode", "-o", name}, "same"), read = Strip({"decode", name});
    EXPECT_EQ(std::tuple(made.status, read.status, read.out),
              std::tuple(works ? 0 : 3, works ? 0 : 3, QByteArray(works ? "same" : "")));
    for (const QByteArray& err : {made.err, read.err})
      EXPECT_EQ(err.contains("\", which names a folder, not a picture file."), !works);
  }
  // Nothing but the deep folders; quorvel-strip's pictures in the formats their names ask for.
  EXPECT_EQ(std::tuple(QFile::exists(PicPath()),
                       QDir(Local("d")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(),
                       ReadFile(Local("X.PNG")).left(4), ReadFile(Local("d.v2/s")).left(2)),
            std::tuple(false, names.size() - 12, QByteArray("\x89PNG"), QByteArray("BM")));
#ifndef _WIN32
  Strip({"-rf", "d"}, {}, {}, "rm");  // too deep for the temporary folder's removal
#endif
  ASSERT_TRUE(QDir(Drive("dpics")).removeRecursively());
  EXPECT_EQ(Strip({"encode"}, "abc").status, 0);
  for (const char* name : {"other.bmp", "third.bmp"})
    std::filesystem::create_hard_link(PicPath().toStdString(), Local(name).toStdString());
  const Outcome run = Strip({"encode"}, "new");
  EXPECT_EQ(std::pair(run.status, run.err.trimmed()),
            std::pair(0, "quorvel-strip: The picture was saved to " + PicPath().toUtf8() +
                             ", but the file had 2 other names, which still show the old file."));
  EXPECT_EQ(Strip({"decode"}).out + Strip({"decode", "c:\\dpics\\pic.bmp"}).out +
                Strip({"decode", "other.bmp"}).out,
            "newnewabc");
  // The code page from the option, else from the locale, LC_ALL first.
  const QByteArray text = "\u041f\u0440\u0438\u0432\u0435\u0442, \u0451";
  ASSERT_EQ(Strip({"encode", "--codepage", "1251", "-o", "n.bmp"}, text).status, 0);
#ifndef _WIN32  // Windows' page is its ANSI code page, whatever the locale (windows_test)
  for (const char* all : {"ru_RU.UTF-8", ""}) {  // an empty one does not count
    qputenv("LC_ALL", all);
    qputenv("LC_CTYPE", *all ? "C" : "ru_RU.UTF-8");
    EXPECT_EQ(Strip({"decode", "n.bmp"}).out, text) << all;
  }
#endif
}

// The offset of the first byte that belongs to no well-formed UTF-8 character.
TEST(CliText, Utf8CheckFindsTheFirstBadByte) {
  // Well-formed; overlong, surrogates, past U+10FFFF, cut short, a continuation byte alone.
  EXPECT_FALSE(cli::FirstInvalidUtf8(
      "a\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"));
  const std::pair<QByteArray, int> cases[] = {
      {"ab\xC0\xAF", 2},  {"\xC1\xBF", 0},  {"x\xED\xA0\x80", 1}, {"\xF0\x8F\xBF\xBF", 0},
      {"1234567\xC3", 7}, {"a\xE2\x82", 1}, {"\xE0\x9F\xBF", 0},  {"\xF4\x90\x80\x80", 0},
      {"\xE2\x82x", 0},   {"\x80", 0},      {"\xC3\xA9\xBF", 2},  {"\xF5\x80\x80\x80", 0}};
  for (const auto& [bytes, bad] : cases)
    EXPECT_EQ(cli::FirstInvalidUtf8(bytes).value_or(-1), bad) << bytes.toHex().toStdString();
}

TEST_F(CliTest, ControlsShowAsEscapesAndNamesAreTheirBytes) {
#ifndef _WIN32
  // At a terminal, decode shows a text's control characters as escapes and ends its last line,
  // unless --raw; no picture is written to or read from it.
  const QByteArray text = "a\x1b]0;T\ab\r\x7f\tc\xC2\x81\n\x1b[31m";  // U+0081 is code 0x81
  ASSERT_EQ(Strip({"encode", "-o", "t.bmp"}, text).status, 0);
  const QString commands = "q='" QUORVEL_STRIP
                           "'; \"$q\" decode t.bmp; \"$q\" decode --raw t.bmp; echo; \"$q\" encode "
                           "-o - < t.bmp 2>&-; echo $?; \"$q\" decode - 2>&-; echo $?";
  const Outcome run = Strip({"-qc", commands, "/dev/null"}, {}, {}, "script");
  EXPECT_EQ(QByteArray(run.out).replace("\r\n", "\n").toStdString(),
            ("a\\x1B]0;T\\x07b\\r\\x7F\tc\\x81\n\\x1B[31m\n" + text + "\n2\n2\n").toStdString());
  // Names given as bytes that are not UTF-8 each name their own file (a FIFO, a picture); a name's
  // 8-bit CSI, OSC and ST (0x9B, 0x9D, 0x9C) and U+202E are escaped on standard error.
  const QString script =
      R"x(n=$(printf 'caf\351.txt'); o=$(printf '\200\376.bmp'); mkfifo "$n"; printf latin >"$n" & "$0" encode)x"
      R"x( -o "$o" "$n" && test -f "$o" && "$0" decode "$o"; s=$?; rm "$n" "$o"; "$0" decode)x"
      R"x( "$(printf '\233\235\234\342\200\256')"; exit $s)x";
  const Outcome sh = Strip({"-c", script, QUORVEL_STRIP}, {}, {}, "/bin/sh");
  EXPECT_EQ(std::tuple(sh.status, sh.out, sh.err),
            std::tuple(0, "latin",
                       "quorvel-strip: \\x9B\\x9D\\x9C\\u202E could not be read: No such file or "
                       "directory.\n"));
#endif
  const Outcome help = Strip({"decode", "x.bmp", "-h"});
  EXPECT_TRUE(help.status == 0 && help.out.contains(PicPath().toUtf8())) << help.out.toStdString();
  EXPECT_EQ(Strip({"--version"}).out, QByteArray("quorvel-strip " QUORVEL_VERSION "\n"));
}

// Heights and code pages are plain decimal numbers, keys three numbers typed as in the window; keys
// come from --keys, else a private keys file's first line, else QUORVEL_KEYS. Refused command lines
// leave the window's picture as it was and say what is wrong on one line: 1 refused input, 2 bad
// usage, 3 a file problem.
TEST_F(CliTest, OptionsKeysAndRefusedCommands) {
  const std::pair<QStringList, int> options[] = {
      {{"--height", "+8"}, 0},    {{"--height", "0"}, 2},       {{"--height", " 8"}, 2},
      {{"--height", "0x8"}, 2},   {{"--codepage", "01251"}, 0}, {{"--codepage", "-1251"}, 2},
      {{"--keys", "1,2,3,"}, 2},  {{"--keys", "1,,2,3"}, 2},    {{"--keys", ",1,2"}, 1},
      {{"--keys", "1,2,0x3"}, 1}, {{"--keys", "\t1,2,3"}, 1},   {{"--keys", "1,2,3e0"}, 1}};
  for (const auto& [option, status] : options)
    EXPECT_EQ(Strip(QStringList{"encode"} + option, "x").status, status) << qPrintable(option[1]);
  ASSERT_TRUE(QDir().mkpath(Local("folder.txt")) && QDir().mkpath(Local("folder.bmp")));
  ASSERT_TRUE(WriteFile(Local("wide.bmp"), picture::EncodeBmp24(picture::Pixels(32768, 1))));
  ASSERT_TRUE(WriteFile(Local("bad.png"),  // damaged:
                        picture::WritePng(testing::Sample(4, 2)).replace("IDAT", "IDATx")));
  for (const auto& [name, keys, mode] :
       {std::tuple{"open", "7,8,9", QFile::ReadOwner | QFile::ReadGroup},
        {"k", "7,8,9\r\nmore", QFile::ReadOwner},
        {"bad", "7,x,9", QFile::ReadOwner}})
    ASSERT_TRUE(WriteFile(Local(name), keys) && QFile::setPermissions(Local(name), mode));
  qputenv("QUORVEL_KEYS", "7,8,9");  // the keys when neither --keys nor a keys file gives them
  ASSERT_EQ(Strip({"encode"}, "kept").status, 0);
  const QByteArray existing = ReadFile(PicPath());
  const QByteArray euros = "\xEF\xBB\xBF" + QString(98301, QChar(0x20AC)).toUtf8();
  const auto refused = [&](const QStringList& args, const QByteArray& input, int status,
                           const char* message) {
    SCOPED_TRACE(args.join(u' ').toStdString());
    const Outcome run = Strip(args, input, args.value(0).startsWith(u'-') ? "/dev/full" : "");
    EXPECT_TRUE(run.status == status && run.out.isEmpty() && run.err.contains(message) &&
                run.err.startsWith("quorvel-strip: ") &&
                run.err.indexOf('\n') == run.err.size() - 1)
        << run.status << ": " << run.err.toStdString();
    EXPECT_EQ(ReadFile(PicPath()), existing);
  };
  const std::tuple<QStringList, QByteArray, int, const char*> cases[] = {
      {{"encode", "--keys", "1,abc,1"}, "a", 1, "Key 2 \"abc\""},
      {{"decode", "--keys", "-1,2,3", "none.bmp"}, "", 1, ": none.bmp: Key 1 \"-1\" is not"},
      {{"encode", "--codepage", "1251"}, "ab\r\ncd\nx\u00e9y", 1, "line 3, column 2 has no"},
      {{"encode", "--codepage", "1252"}, "\u0416", 1, "Code page 1251 (Cyrillic) has it: "},
      {{"encode"}, "ab\U0001F600", 1, "picture. No code page Quorvel knows has it. Nothing"},
      {{"encode"}, "ab\U0001F600c", 1, "\"\U0001F600\" U+1F600 at line 1, column 3 has no"},
      {{"encode"}, "\u20ac\u0080", 1, "character U+0080 at line 1, column 2"},
      {{"encode"}, "a\u202e", 1, "The character U+202E at line 1, column 2"},
      {{"encode"}, "\xEF\xBB\xBF", 1, "empty"},
      {{"encode"}, QByteArray(98300, 'z') + '\n', 1, "98302 characters"},
      {{"encode"}, euros + "\xE2", 1, "at least 98302 characters"},  // where reading stops
      {{"encode"}, QByteArray(10 << 20, 'z'), 1, "it has at least 294907 characters"},
      {{"encode"}, "abc\n\xc3", 1, "byte 5 (line 2)"},
      {{"decode", "bad"}, "", 1, "bad is not a BMP or PNG"},
      {{"decode", "bad.png"}, "", 1, "bad.png is damaged: the checksum"},
      {{"decode", "wide.bmp"}, "", 1, "32768 pixels wide"},
      {{"decode", "--keys-file", "bad"}, "", 1, "Key 2 \"x\" from the keys file bad is not a"},
      {{"decode", "--keys-file", "none"}, "", 3, "The keys file none could not be read: "},
      {{}, "", 2, "No command given."},
      {{"hide"}, "", 2, "Unknown command \"hide\""},
      {{"encode", "--frob"}, "a", 2, "\"--frob\""},
      {{"encode", "--keys", "%2"}, "a", 2, "\"%2\" has 1."},
      {{"encode", "--height", "1025"}, "a", 2, "The height \"1025\""},
      {{"encode", "--codepage", "437"}, "a", 2, "code page \"437\""},
      {{"encode", "a.txt", "b.txt"}, "a", 2, "More than one"},
      {{"encode", "-o", ""}, "a", 2, "-o takes the picture file's name"},
      {{"encode", "-o", "note.Jpg"}, "a", 2, "\"note.Jpg\" ends in \".Jpg\"; pictures are"},
      {{"encode", "--raw"}, "a", 2, "--raw is an option of decode only"},
      {{"-o", "-", "encode"}, "a", 3, "The picture could not be written to standard output: "},
      {{"decode", "-"}, QByteArray(135266304, 'j'), 1, "input is not a BMP or PNG picture"},
      {{"decode", "-"}, QByteArray(135266305, '\0'), 1, "Standard input holds more than 135266304"},
      {{"decode", "--height", "8"}, "", 2, "--height is an option of encode only"},
      {{"encode", "miss\ning.txt"}, "", 3, "miss\\ning.txt could not be read"},
      {{"encode", "-o", "folder.bmp"}, "a", 3, "not a regular file"},
#ifdef _WIN32
      {{"encode", "folder.txt"}, "", 3, "folder.txt could not be read: it is a folder"},
      {{"encode", "-o", "CONOUT$"}, "a", 2, "write it to standard output with -o -"},
#else
      {{"encode", "/dev/zero"}, "", 1, ": /dev/zero: The text is too long to hide in one"},
      {{"--keys", "1,1,1", "decode"}, "", 3, "The text could not be written to standard output.\n"},
      {{"encode", "folder.txt"}, "", 3, "folder.txt could not be read: Is a directory"},
      {{"encode", "-o", "nowhere/s.bmp"}, "a", 3, "nowhere/s.bmp: No such file"},
      {{"encode", "-o", "x\nquorvel-strip: forged\n/nonexist/y.bmp"}, "a", 3, "forged\\n/nonexist"},
      {{"encode", "-o", "C:\\dpics\\..\\..\\x.bmp"}, "a", 3, "outside"},
      {{"encode", "-o", "/dev/fd/1"}, "a", 2, "\"/dev/fd/1\" is a standard stream"},
      {{"encode", "--codepage", "1253"}, "\u05d0", 1, "he_IL.UTF-8, or use quorvel-strip"},
      {{"decode", "--keys-file", "open"}, "", 3, "others may read or write it (its mode is 0440)"},
      {{"--help"}, "", 3, "No space left on device"},
#endif
      {{"decode", "p%2q/big%3.bmp"}, "", 3, "p%2q/big%3.bmp could"}};
  for (const auto& row : cases) std::apply(refused, row);
  qputenv("QUORVEL_KEYS", "7,9");
  refused({"decode"}, "", 2,
          "QUORVEL_KEYS takes three keys separated by commas, as in QUORVEL_KEYS=42,42,42");
  qputenv("QUORVEL_KEYS", "1,1,1");  // a keys file comes first, and --keys before that
  EXPECT_EQ(Strip({"decode", "--keys-file", "k"}).out +
                Strip({"decode", "--keys", "7,8,9", "--keys-file", "bad"}).out,
            "keptkept");
  qunsetenv("QUORVEL_KEYS");
  EXPECT_EQ(QDir(Drive("dpics")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList{"pic.bmp"});
}

}  // namespace
}  // namespace quorvel
