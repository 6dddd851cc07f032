// quorvel-strip, the command-line companion, run as the real built program
// with the test's private data folder and no display. Strips it makes must
// be the window's strips, and the other way round.
#include <sys/resource.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>

#include "cipher/codepage.h"
#include "tests/frmmain_fixture.h"

namespace quorvel {
namespace {

using testing::MakeBmp;
using testing::ReadFile;
using testing::WriteFile;

QByteArray Utf8(const QString& s) { return s.toUtf8(); }

struct Outcome {
  int status = -1;  // -1: did not start, crashed or hung
  QByteArray out;
  QByteArray err;
};

class CliTest : public testing::FrmMainTest {
 protected:
  // Runs quorvel-strip in the data folder, without a display, with `input`
  // on its standard input, in at most 1 GB of data.
  // `in` and `out`, when given, are files in place of the standard streams;
  // `program` runs in place of quorvel-strip.
  Outcome Strip(const QStringList& args, const QByteArray& input = {}, const QString& in = {},
                const QString& out = {},
                const QString& program = QStringLiteral(QUORVEL_STRIP)) const {
    QProcess process;
#ifndef QUORVEL_UNDER_ASAN  // its shadow memory alone takes terabytes of address space
    process.setChildProcessModifier([] {
      const rlimit limit{1 << 30, 1 << 30};
      setrlimit(RLIMIT_DATA, &limit);
    });
#endif
    if (!in.isEmpty()) process.setStandardInputFile(in);
    if (!out.isEmpty()) process.setStandardOutputFile(out);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
      env.remove(QString::fromLatin1(name));
    }
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(data_home_);
    process.start(program, args);
    Outcome run;
    if (!process.waitForStarted(30000)) return run;
    if (in.isEmpty()) process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000)) {
      process.kill();
      process.waitForFinished();
      return run;
    }
    if (process.exitStatus() == QProcess::NormalExit) run.status = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
  }

  // A file in the data folder.
  QString Local(const QString& name) const { return data_home_ + u'/' + name; }

  QString WriteText(const QString& name, const QByteArray& bytes) const {
    const QString path = Local(name);
    EXPECT_TRUE(WriteFile(path, bytes));
    return path;
  }

  // The picture the window saves for a text, with key texts as typed.
  QByteArray WindowPicture(const QString& text, const QStringList& keys) {
    SetKeys(keys[0], keys[1], keys[2]);
    ClearMessages();
    Encrypt(text);
    EXPECT_EQ(LastPrompt(), QStringLiteral("Done.")) << text.left(40).toStdString();
    return ReadFile(PicPath());
  }
};

// One line on standard error, naming the problem.
void ExpectOneLine(const Outcome& run, const char* fragment) {
  EXPECT_TRUE(run.err.endsWith('\n')) << run.err.toStdString();
  EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
  EXPECT_TRUE(run.err.contains(fragment))
      << "expected \"" << fragment << "\" in " << run.err.toStdString();
}

struct RoundTrip {
  const char* name;
  QString text;  // as given to encode
  QString back;  // as decode gives it
};

std::vector<RoundTrip> RoundTrips() {
  QString codes;  // every character with a code in page 1252, in code order
  for (int c = 0; c < 256; ++c) codes.append(QChar(FindCodePage(1252)->Char(std::uint8_t(c))));
  QString codes_back = codes;
  codes_back.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return {
      {"one", QStringLiteral("a"), QStringLiteral("a")},
      {"two", QStringLiteral("ab"), QStringLiteral("ab")},
      {"three", QStringLiteral("abc"), QStringLiteral("abc")},
      {"four", QStringLiteral("abcd"), QStringLiteral("abcd")},
      {"lines", QStringLiteral("first\nsecond\n\nlast\n"),
       QStringLiteral("first\nsecond\n\nlast\n")},
      {"spaces", QStringLiteral("  lead, in  side, trail   "),
       QStringLiteral("  lead, in  side, trail")},
      {"spaces before a break", QStringLiteral("kept  \n"), QStringLiteral("kept  \n")},
      {"break kinds", QStringLiteral("crlf\r\nlf\nlone\rcr\r"),
       QStringLiteral("crlf\nlf\nlone\rcr\r")},
      {"latin", QStringLiteral("caf\u00e9 \u20ac5 \u00ff\u00a0\u0152"),
       QStringLiteral("caf\u00e9 \u20ac5 \u00ff\u00a0\u0152")},
      {"every code", codes, codes_back},
      {"longest", QString(98301, u'z'), QString(98301, u'z')},
      {"longest with breaks", QString(49150, u'y') + u'\n' + QString(49149, u'y'),
       QString(49150, u'y') + u'\n' + QString(49149, u'y')},
  };
}

TEST_F(CliTest, RoundTripsThroughFilesAndPipes) {
  for (const RoundTrip& c : RoundTrips()) {
    SCOPED_TRACE(c.name);
    // Text file in, a PNG picture named, text on standard output; options
    // before and after the command word.
    const QString text_file = WriteText(QStringLiteral("in.txt"), Utf8(c.text));
    const QString picture = Local(QStringLiteral("strip.png"));
    Outcome run = Strip({QStringLiteral("--keys"), QStringLiteral("7,250,42"),
                         QStringLiteral("encode"), QStringLiteral("-o"), picture, text_file});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.isEmpty());
    EXPECT_TRUE(ReadFile(picture).startsWith("\x89PNG\r\n"));
    run = Strip({QStringLiteral("--keys=7,250,42"), QStringLiteral("decode"), QStringLiteral("--"),
                 picture});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, Utf8(c.back));
    EXPECT_TRUE(run.err.isEmpty());

    // Standard input, with and without "-", through the default picture.
    for (const QStringList& args :
         {QStringList{QStringLiteral("encode")},
          QStringList{QStringLiteral("encode"), QStringLiteral("-")},
          QStringList{QStringLiteral("encode"), QStringLiteral("/dev/stdin")}}) {
      QFile::remove(PicPath());
      run = Strip(args, Utf8(c.text));
      ASSERT_EQ(run.status, 0) << run.err.toStdString();
      ASSERT_TRUE(QFileInfo::exists(PicPath()));
      run = Strip({QStringLiteral("decode")});
      ASSERT_EQ(run.status, 0) << run.err.toStdString();
      EXPECT_EQ(run.out, Utf8(c.back));
    }
  }
}

TEST_F(CliTest, CommandStripIsTheWindowsStripByteForByte) {
  struct Case {
    const char* name;
    QString command_text;  // line breaks as a text file has them
    QString window_text;   // the same text as the window holds it
    QStringList keys;      // key texts, typed the same in both
  };
  const Case cases[] = {
      {"plain",
       QStringLiteral("hidden"),
       QStringLiteral("hidden"),
       {QStringLiteral("042"), QStringLiteral("042"), QStringLiteral("042")}},
      {"lf becomes cr lf",
       QStringLiteral("one\ntwo\n\nthree\n"),
       QStringLiteral("one\r\ntwo\r\n\r\nthree\r\n"),
       {QStringLiteral("0"), QStringLiteral("255"), QStringLiteral("128")}},
      {"cr lf stays",
       QStringLiteral("one\r\ntwo\rthree"),
       QStringLiteral("one\r\ntwo\rthree"),
       {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}},
      {"keys with spaces and fractions",
       QStringLiteral("fractions\nround to even"),
       QStringLiteral("fractions\r\nround to even"),
       {QStringLiteral(" 7.5 "), QStringLiteral("+2.5"), QStringLiteral("-0.4")}},
      {"trailing spaces",
       QStringLiteral("x   "),
       QStringLiteral("x   "),
       {QStringLiteral("9"), QStringLiteral("99"), QStringLiteral("199")}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QByteArray window = WindowPicture(c.window_text, c.keys);
    ASSERT_FALSE(window.isEmpty());
    const QString picture = Local(QStringLiteral("command.bmp"));
    const Outcome run = Strip({QStringLiteral("encode"), QStringLiteral("--keys"),
                               c.keys.join(u','), QStringLiteral("-o"), picture},
                              Utf8(c.command_text));
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(ReadFile(picture), window);
  }
}

TEST_F(CliTest, ALeadingByteOrderMarkIsDropped) {
  ASSERT_EQ(Strip({QStringLiteral("encode"), QStringLiteral("-o"), Local(QStringLiteral("a.bmp"))},
                  QByteArray("\xEF\xBB\xBF") + "text")
                .status,
            0);
  ASSERT_EQ(Strip({QStringLiteral("encode"), QStringLiteral("-o"), Local(QStringLiteral("b.bmp"))},
                  "text")
                .status,
            0);
  EXPECT_EQ(ReadFile(Local(QStringLiteral("a.bmp"))), ReadFile(Local(QStringLiteral("b.bmp"))));
}

TEST_F(CliTest, WindowStripsDecodeOnTheCommandLine) {
  const QStringList keys = {QStringLiteral("13"), QStringLiteral("200.5"), QStringLiteral(" 0 ")};
  const QString text = QStringLiteral("Meet at\r\nthe \u00e9cole, 9 \u20ac  \r\nbring\rit  ");
  WindowPicture(text, keys);
  // No file named: the window's picture path.
  const Outcome run = Strip({QStringLiteral("decode"), QStringLiteral("--keys"), keys.join(u',')});
  ASSERT_EQ(run.status, 0) << run.err.toStdString();
  EXPECT_EQ(run.out, Utf8(QStringLiteral("Meet at\nthe \u00e9cole, 9 \u20ac  \nbring\rit")));

  // Other keys read other characters, without an error.
  const Outcome other =
      Strip({QStringLiteral("decode"), QStringLiteral("--keys"), QStringLiteral("13,200,1")});
  ASSERT_EQ(other.status, 0);
  EXPECT_NE(other.out, run.out);
}

TEST_F(CliTest, CommandStripsDecodeInTheWindow) {
  const Outcome run =
      Strip({QStringLiteral("encode"), QStringLiteral("--keys"), QStringLiteral("250,1,77")},
            Utf8(QStringLiteral("line one\nline \u00fe two\r\n\nend  ")));
  ASSERT_EQ(run.status, 0) << run.err.toStdString();
  SetKeys(QStringLiteral("250"), QStringLiteral("1"), QStringLiteral("77"));
  Load();
  Decrypt();
  EXPECT_TRUE(Messages().empty()) << LastPrompt().toStdString();
  EXPECT_EQ(form_->txtDecrypt->Text(), QStringLiteral("line one\r\nline \u00fe two\r\n\r\nend"));
}

TEST_F(CliTest, ProgramPathsMapIntoTheDataFolder) {
  // The default picture's folder is made when missing, as at the window's
  // start-up.
  ASSERT_TRUE(QDir(Drive(QStringLiteral("dpics"))).removeRecursively());
  Outcome run = Strip({QStringLiteral("encode")}, "abc");
  ASSERT_EQ(run.status, 0) << run.err.toStdString();
  EXPECT_TRUE(QFileInfo(PicPath()).isFile());

  // The same path written out, with the drive letter in lower case, is the
  // same file.
  const QByteArray before = ReadFile(PicPath());
  run =
      Strip({QStringLiteral("encode"), QStringLiteral("-o"), QStringLiteral("c:\\dpics\\pic.bmp")},
            "xyz");
  ASSERT_EQ(run.status, 0) << run.err.toStdString();
  EXPECT_NE(ReadFile(PicPath()), before);
  run = Strip({QStringLiteral("decode"), QStringLiteral("c:\\dpics\\pic.bmp")});
  EXPECT_EQ(run.out, QByteArray("xyz"));

  // Other drive letters and folders map too, but are not made.
  run = Strip({QStringLiteral("encode"), QStringLiteral("-o"), QStringLiteral("D:\\keep\\s.bmp")},
              "abc");
  EXPECT_EQ(run.status, 3);
  EXPECT_FALSE(QFileInfo::exists(data_home_ + QStringLiteral("/quorvel/drive_d")));
  ASSERT_TRUE(QDir().mkpath(data_home_ + QStringLiteral("/quorvel/drive_d/keep")));
  run = Strip({QStringLiteral("encode"), QStringLiteral("-o"), QStringLiteral("D:\\keep\\s.bmp")},
              "abc");
  ASSERT_EQ(run.status, 0) << run.err.toStdString();
  EXPECT_TRUE(QFileInfo(data_home_ + QStringLiteral("/quorvel/drive_d/keep/s.bmp")).isFile());

  // A path that is not a program path is used as it is, relative ones from
  // the working folder.
  run = Strip({QStringLiteral("encode"), QStringLiteral("-o"), QStringLiteral("rel.bmp")}, "abc");
  ASSERT_EQ(run.status, 0) << run.err.toStdString();
  EXPECT_TRUE(QFileInfo(Local(QStringLiteral("rel.bmp"))).isFile());
  run = Strip({QStringLiteral("decode"), Local(QStringLiteral("rel.bmp"))});
  EXPECT_EQ(run.out, QByteArray("abc"));

  // The help names where the default picture is.
  run = Strip({QStringLiteral("--help")});
  EXPECT_TRUE(run.out.contains(Utf8(PicPath())));
}

TEST_F(CliTest, HeightSetsThePictureHeight) {
  for (int height : {1, 2, 8, 57, 1024}) {
    SCOPED_TRACE(height);
    const QString picture = Local(QStringLiteral("tall.bmp"));
    Outcome run = Strip({QStringLiteral("encode"), QStringLiteral("--height"),
                         QString::number(height), QStringLiteral("-o"), picture},
                        "seven c");
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QImage image(picture);
    ASSERT_EQ(image.size(), QSize(3, height));
    for (int x = 0; x < image.width(); ++x) {
      for (int y = 1; y < height; ++y) ASSERT_EQ(image.pixel(x, y), image.pixel(x, 0)) << x << y;
    }
    run = Strip({QStringLiteral("decode"), picture});
    EXPECT_EQ(run.out, QByteArray("seven c"));
  }
}

TEST_F(CliTest, CodePageComesFromTheOptionOrTheLocale) {
  const QByteArray text =
      Utf8(QStringLiteral("\u041f\u0440\u0438\u0432\u0435\u0442, \u0451\u0436"));
  const QString named = Local(QStringLiteral("named.bmp"));
  Outcome run = Strip({QStringLiteral("encode"), QStringLiteral("--codepage"),
                       QStringLiteral("1251"), QStringLiteral("-o"), named},
                      text);
  ASSERT_EQ(run.status, 0) << run.err.toStdString();
  run = Strip({QStringLiteral("decode"), QStringLiteral("--codepage=1251"), named});
  EXPECT_EQ(run.out, text);
  // The same codes read in another page are other characters.
  run = Strip(
      {QStringLiteral("decode"), QStringLiteral("--codepage"), QStringLiteral("1252"), named});
  ASSERT_EQ(run.status, 0);
  EXPECT_NE(run.out, text);
  // The locale's page (en_US: 1252) has no code for Cyrillic.
  run =
      Strip({QStringLiteral("encode"), QStringLiteral("-o"), Local(QStringLiteral("x.bmp"))}, text);
  EXPECT_EQ(run.status, 1);
  // A Russian locale gives page 1251 without the option.
  qputenv("LANG", "ru_RU.UTF-8");
  const QString from_locale = Local(QStringLiteral("locale.bmp"));
  run = Strip({QStringLiteral("encode"), QStringLiteral("-o"), from_locale}, text);
  ASSERT_EQ(run.status, 0) << run.err.toStdString();
  EXPECT_EQ(ReadFile(from_locale), ReadFile(named));
  run = Strip({QStringLiteral("decode"), from_locale});
  EXPECT_EQ(run.out, text);
}

TEST_F(CliTest, RefusedEncodesNameTheProblemAndLeaveThePictureAlone) {
  struct Case {
    const char* name;
    QStringList args;  // after "encode"
    QByteArray input;
    int status;
    const char* message;  // part of the one-line message
  };
  const QByteArray no_code_last_line = Utf8(QStringLiteral("ab\r\ncd\nx\u00e9y"));
  const Case cases[] = {
      // Keys that do not convert.
      {"key over 255", {QStringLiteral("--keys"), QStringLiteral("256,1,1")}, "a", 1, "Key 1"},
      {"key not a number",
       {QStringLiteral("--keys"), QStringLiteral("1,abc,1")},
       "a",
       1,
       "Key 2 \"abc\""},
      {"key empty", {QStringLiteral("--keys"), QStringLiteral("1,2,")}, "a", 1, "Key 3"},
      {"key with exponent", {QStringLiteral("--keys"), QStringLiteral("1e2,2,3")}, "a", 1, "Key 1"},
      {"key rounding past 255",
       {QStringLiteral("--keys"), QStringLiteral("1,2,255.5")},
       "a",
       1,
       "Key 3"},
      // Characters with no code, named with their place.
      {"no code",
       {QStringLiteral("--codepage"), QStringLiteral("1251")},
       no_code_last_line,
       1,
       "\"\u00e9\" U+00E9 at line 3, column 2 has no code in code page 1251"},
      {"no code, outside the basic plane",
       {},
       Utf8(QStringLiteral("ab\U0001F600")),
       1,
       "U+1F600 at line 1, column 3"},
      {"no code, a control",
       {},
       Utf8(QStringLiteral("\u20ac\u0080")),
       1,
       "character U+0080 at line 1, column 2"},
      // Lengths.
      {"empty", {}, "", 1, "empty"},
      {"only a byte order mark", {}, "\xEF\xBB\xBF", 1, "empty"},
      {"one character too many", {}, QByteArray(98302, 'z'), 1, "98302 characters"},
      {"a line break counts two", {}, QByteArray(98300, 'z') + '\n', 1, "98302 characters"},
      // Bytes that are not UTF-8.
      {"invalid byte", {}, "ab\xff", 1, "byte 3"},
      {"lone continuation", {}, "\x80", 1, "byte 1"},
      {"truncated", {}, "abc\n\xc3", 1, "byte 5 (line 2)"},
      {"overlong", {}, "\xc0\xaf", 1, "not valid UTF-8"},
      {"overlong in three bytes", {}, "\xe0\x80\xaf", 1, "not valid UTF-8"},
      {"overlong in four bytes", {}, "\xf0\x8f\xbf\xbf", 1, "not valid UTF-8"},
      {"surrogate", {}, "x\xed\xa0\x80", 1, "byte 2"},
      {"past U+10FFFF", {}, "\xf4\x90\x80\x80", 1, "not valid UTF-8"},
      // Bad usage.
      {"unknown option", {QStringLiteral("--frob")}, "a", 2, "--frob"},
      {"option without value", {QStringLiteral("--keys")}, "a", 2, "--keys"},
      {"two keys", {QStringLiteral("--keys"), QStringLiteral("1,2")}, "a", 2, "three keys"},
      {"four keys", {QStringLiteral("--keys"), QStringLiteral("1,2,3,4")}, "a", 2, "three keys"},
      {"height 0", {QStringLiteral("--height"), QStringLiteral("0")}, "a", 2, "height"},
      {"height 1025", {QStringLiteral("--height"), QStringLiteral("1025")}, "a", 2, "height"},
      {"height not a number",
       {QStringLiteral("--height"), QStringLiteral("8px")},
       "a",
       2,
       "height"},
      {"unknown code page",
       {QStringLiteral("--codepage"), QStringLiteral("437")},
       "a",
       2,
       "code page \"437\""},
      // A user's text that looks like a placeholder stays as typed.
      {"% in the keys", {QStringLiteral("--keys"), QStringLiteral("%2")}, "a", 2, "\"%2\" has 1."},
      {"% in the height", {QStringLiteral("--height"), QStringLiteral("%3")}, "a", 2, "\"%3\" is"},
      {"code page not a number", {QStringLiteral("--codepage=ansi")}, "a", 2, "code page"},
      {"two text files",
       {QStringLiteral("a.txt"), QStringLiteral("b.txt")},
       "a",
       2,
       "More than one"},
      {"picture to standard output",
       {QStringLiteral("-o"), QStringLiteral("-")},
       "a",
       2,
       "give its name"},
      // Files.
      {"missing text file", {QStringLiteral("missing.txt")}, "a", 3, "missing.txt"},
      {"text file a folder",
       {QStringLiteral("folder.txt")},
       "a",
       3,
       "folder.txt could not be read: Is a directory"},
      {"an endless text file", {QStringLiteral("/dev/zero")}, "a", 1, "at least 294907 characters"},
      {"the text file named first", {QStringLiteral("zero.txt")}, "a", 1, "zero.txt: The text"},
      {"a link to one", {QStringLiteral("zero.txt")}, "a", 1, "at least 294907 characters"},
  };
  ASSERT_TRUE(QDir().mkpath(Local(QStringLiteral("folder.txt"))));
  ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), Local(QStringLiteral("zero.txt"))));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QByteArray existing =
        WindowPicture(QStringLiteral("already there"),
                      {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")});
    ASSERT_FALSE(existing.isEmpty());
    const Outcome run = Strip(QStringList{QStringLiteral("encode")} + c.args, c.input);
    EXPECT_EQ(run.status, c.status);
    ExpectOneLine(run, c.message);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_EQ(ReadFile(PicPath()), existing);
    EXPECT_EQ(QDir(Drive(QStringLiteral("dpics")))
                  .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{QStringLiteral("pic.bmp")});
  }
}

TEST_F(CliTest, TheLongestTextFitsAndOneMoreDoesNot) {
  const QString picture = Local(QStringLiteral("long.bmp"));
  Outcome run = Strip({QStringLiteral("encode"), QStringLiteral("-o"), picture},
                      QByteArray(98299, 'w') + '\n');
  ASSERT_EQ(run.status, 0) << run.err.toStdString();
  EXPECT_EQ(QImage(picture).width(), 32767);
  run = Strip({QStringLiteral("decode"), picture});
  EXPECT_EQ(run.out, QByteArray(98299, 'w') + '\n');

  const QByteArray before = ReadFile(picture);
  run = Strip({QStringLiteral("encode"), QStringLiteral("-o"), picture},
              QByteArray(98300, 'w') + '\n');
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(ReadFile(picture), before);

  // The most bytes a text that fits can take, and one byte more (which is
  // where reading stops): three bytes a character, after a byte order mark.
  const QByteArray euros = "\xEF\xBB\xBF" + Utf8(QString(98301, QChar(0x20AC)));
  run = Strip({QStringLiteral("encode"), QStringLiteral("-o"), picture}, euros);
  EXPECT_EQ(run.status, 0) << run.err.toStdString();
  run = Strip({QStringLiteral("encode"), QStringLiteral("-o"), picture}, euros + "\xE2");
  EXPECT_EQ(run.status, 1);
  ExpectOneLine(run, "at least 98302 characters");
  run = Strip({QStringLiteral("encode"), QStringLiteral("-o"), picture}, {},
              QStringLiteral("/dev/zero"));
  EXPECT_EQ(run.status, 1);
  ExpectOneLine(run, "at least 294907 characters");
}

TEST_F(CliTest, FileNamesAreTheirBytes) {
  // A Latin-1 text file and a picture whose name is not UTF-8 at all, given
  // as bytes through the shell: each names exactly its own file.
  const Outcome run = Strip(
      {QStringLiteral("-c"),
       QStringLiteral("n=$(printf 'caf\\351.txt'); o=$(printf '\\377\\376.bmp'); printf latin > "
                      "\"$n\"; \"$0\" encode -o \"$o\" \"$n\" && test -f \"$o\" && \"$0\" decode "
                      "\"$o\"; s=$?; rm -f \"$n\" \"$o\"; exit $s"),
       QStringLiteral(QUORVEL_STRIP)},
      {}, {}, {}, QStringLiteral("/bin/sh"));
  ASSERT_EQ(run.status, 0) << run.err.toStdString();
  EXPECT_EQ(run.out, "latin");
}

TEST_F(CliTest, PicturesThatCannotBeWritten) {
  struct Case {
    const char* name;
    QString output;
    const char* message;
  };
  ASSERT_TRUE(QDir().mkpath(Local(QStringLiteral("folder.bmp"))));
  const Case cases[] = {
      {"missing folder", Local(QStringLiteral("nowhere/strip.bmp")), "nowhere/strip.bmp"},
      {"missing program folder", QStringLiteral("C:\\nowhere\\strip.bmp"), "nowhere/strip.bmp"},
      {"a folder", Local(QStringLiteral("folder.bmp")), "folder.bmp"},
      {"outside the drive", QStringLiteral("C:\\dpics\\..\\..\\x.bmp"), "outside"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome run = Strip({QStringLiteral("encode"), QStringLiteral("-o"), c.output}, "abc");
    EXPECT_EQ(run.status, 3);
    ExpectOneLine(run, c.message);
  }
  EXPECT_FALSE(QFileInfo::exists(Local(QStringLiteral("nowhere"))));
  EXPECT_FALSE(QFileInfo::exists(Drive(QStringLiteral("nowhere"))));

  // A file where the default folder should be: it cannot be made.
  ASSERT_TRUE(QDir(Drive(QStringLiteral("dpics"))).removeRecursively());
  ASSERT_TRUE(WriteFile(Drive(QStringLiteral("dpics")), "not a folder"));
  const Outcome run = Strip({QStringLiteral("encode")}, "abc");
  EXPECT_EQ(run.status, 3);
  ExpectOneLine(run, "dpics");
  EXPECT_EQ(ReadFile(Drive(QStringLiteral("dpics"))), QByteArray("not a folder"));
}

TEST_F(CliTest, RefusedDecodesNameTheProblem) {
  ASSERT_TRUE(WriteFile(Local(QStringLiteral("text.bmp")), "just some text"));
  ASSERT_TRUE(
      WriteFile(Local(QStringLiteral("cut.bmp")),
                MakeBmp(4, 2, 24, false, std::vector<std::uint32_t>(8, 0x123456)).left(30)));
  ASSERT_TRUE(WriteFile(Local(QStringLiteral("wide.bmp")),
                        MakeBmp(32768, 1, 24, false, std::vector<std::uint32_t>(32768, 0x2A2A2A))));
  ASSERT_TRUE(QDir().mkpath(Local(QStringLiteral("folder.bmp"))));
  QImage png(3, 1, QImage::Format_RGB32);
  png.fill(0x4B4F4E);
  ASSERT_TRUE(png.save(Local(QStringLiteral("cut.png"))));
  ASSERT_TRUE(WriteFile(Local(QStringLiteral("cut.png")),
                        ReadFile(Local(QStringLiteral("cut.png"))).chopped(20)));
  WindowPicture(QStringLiteral("abc"),
                {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")});
  struct Case {
    const char* name;
    QStringList args;  // after "decode"
    int status;
    const char* message;
  };
  const Case cases[] = {
      {"bad key", {QStringLiteral("--keys"), QStringLiteral("1,2,x")}, 1, "Key 3 \"x\""},
      {"bad key before a missing file",
       {QStringLiteral("--keys"), QStringLiteral("-1,2,3"), Local(QStringLiteral("none.bmp"))},
       1,
       "Key 1"},
      {"not a picture", {Local(QStringLiteral("text.bmp"))}, 1, "text.bmp"},
      {"a cut picture", {Local(QStringLiteral("cut.bmp"))}, 1, "cut.bmp"},
      {"a cut PNG (libpng has its say)", {Local(QStringLiteral("cut.png"))}, 1, "cut.png"},
      {"too wide for a strip", {Local(QStringLiteral("wide.bmp"))}, 1, "32768 pixels wide"},
      {"missing file", {Local(QStringLiteral("none.bmp"))}, 3, "none.bmp"},
      {"% in the path", {Local(QStringLiteral("p%2q/big%3.bmp"))}, 3, "p%2q/big%3.bmp could"},
      {"missing program path", {QStringLiteral("C:\\dpics\\none.bmp")}, 3, "dpics/none.bmp"},
      {"a folder", {Local(QStringLiteral("folder.bmp"))}, 3, "folder.bmp"},
      {"outside the drive", {QStringLiteral("C:\\..\\x.bmp")}, 3, "outside"},
      {"height is for encode", {QStringLiteral("--height"), QStringLiteral("8")}, 2, "--height"},
      {"output is for encode", {QStringLiteral("-o"), QStringLiteral("x.bmp")}, 2, "-o"},
      {"standard input", {QStringLiteral("-")}, 2, "give its name"},
      {"unknown code page",
       {QStringLiteral("--codepage"), QStringLiteral("1252x")},
       2,
       "code page"},
      {"two files", {QStringLiteral("a.bmp"), QStringLiteral("b.bmp")}, 2, "More than one"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome run = Strip(QStringList{QStringLiteral("decode")} + c.args);
    EXPECT_EQ(run.status, c.status);
    ExpectOneLine(run, c.message);
    EXPECT_TRUE(run.out.isEmpty());
  }
}

TEST_F(CliTest, UsageHelpAndVersion) {
  struct Case {
    const char* name;
    QStringList args;
    int status;
  };
  const Case cases[] = {
      {"nothing", {}, 2},
      {"unknown command", {QStringLiteral("hide")}, 2},
      {"option first", {QStringLiteral("--keys"), QStringLiteral("1,2,3")}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome run = Strip(c.args);
    EXPECT_EQ(run.status, c.status);
    ExpectOneLine(run, "--help");
    EXPECT_TRUE(run.out.isEmpty());
  }

  for (const QStringList& args :
       {QStringList{QStringLiteral("--help")}, QStringList{QStringLiteral("-h")},
        QStringList{QStringLiteral("encode"), QStringLiteral("--help")},
        QStringList{QStringLiteral("decode"), QStringLiteral("x.bmp"), QStringLiteral("-h")}}) {
    SCOPED_TRACE(args.join(u' ').toStdString());
    const Outcome run = Strip(args);
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.err.isEmpty());
    for (const char* word : {"encode", "decode", "--keys", "--codepage", "--height", "-o",
                             "--version", "TEXTFILE", "UTF-8", "CR LF", "C:\\dpics\\pic.bmp",
                             "XDG_DATA_HOME", "98301", "1258", "Exit status"}) {
      EXPECT_TRUE(run.out.contains(word)) << word;
    }
    for (int status = 0; status <= 3; ++status) {
      EXPECT_TRUE(run.out.contains(QByteArray("\n  ") + QByteArray::number(status) + "  "))
          << status;
    }
  }

  const Outcome run = Strip({QStringLiteral("--version")});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, QByteArray("quorvel-strip " QUORVEL_VERSION "\n"));
  EXPECT_TRUE(run.err.isEmpty());

  for (const char* shown : {"--help", "--version"}) {
    SCOPED_TRACE(shown);
    const Outcome full = Strip({QString::fromLatin1(shown)}, {}, {}, QStringLiteral("/dev/full"));
    EXPECT_EQ(full.status, 3);
    ExpectOneLine(full, "No space left on device");
  }
}

}  // namespace
}  // namespace quorvel
