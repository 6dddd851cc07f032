// quorvel-strip's commands: hiding a text in a strip picture and reading it
// back, with the window's own strip picture code.
#pragma once

#include <QStringList>
#include <cstdio>

namespace quorvel::cli {

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitRefused = 1;  // input refused, or a picture that does not decode
inline constexpr int kExitUsage = 2;    // bad command line
inline constexpr int kExitFile = 3;     // a file that cannot be read or written

// Runs the command line `args` (without the program name), writing the
// decoded text, help or version to standard output and one line per
// problem to `errors` (standard error). Returns the exit status.
int RunStripTool(const QStringList& args, std::FILE* errors = stderr);

// The program: sets up the process, a core application (pictures are drawn
// and read in memory, with no window and no display) and the standard
// streams, and runs its command line. Returns the exit status.
int StripToolMain(int argc, char* argv[]);

}  // namespace quorvel::cli
