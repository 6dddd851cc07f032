// What quorvel-strip does in each system's own way: its arguments, its
// standard streams and the words its help uses for them.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdio>

#include "os/result.h"

namespace quorvel::cli {

// The arguments after the program's name, each naming exactly the file the
// user named.
QStringList Arguments(int argc, char* argv[]);

// Sets up the standard streams: output is written as the bytes given (UTF-8,
// LF line ends), and standard error is kept from the libraries that write to
// it themselves (libpng reports a damaged file there before Qt hears of
// it). Returns the stream for this program's own lines, which reaches the
// real standard error.
std::FILE* SetUpStreams();

// Whether the stream is a terminal (on Windows, a console: not the NUL
// device, which is a character device too).
bool IsTerminal(std::FILE* stream);

// Whether a picture file name given with -o names one of the process's
// standard streams or open files (/dev/stdout, /dev/fd/1, CON), which a
// save that replaces a file cannot write.
bool NamesStandardStream(const QString& name);

// Writes the text to a standard stream: to a console as its characters,
// elsewhere as UTF-8 (file names in it as their bytes). A failure gives the
// system's reason.
os::Result<void> WriteText(std::FILE* stream, const QString& text);

// The keys that end typed input: "Ctrl+D".
QString EndOfInputKeys();

// Where the default code page comes from, for the help.
QString CodePageSource();

// The help's paragraph on picture file names: how a path like the window's
// `picture_path` is read.
QString PicturePathsHelp(const QString& picture_path);

}  // namespace quorvel::cli
