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

}  // namespace quorvel::cli
