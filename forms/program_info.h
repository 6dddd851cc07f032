// What the window program says of itself: its name, the desktop entry its
// windows belong to, and its answers to --help and --version.
#pragma once

#include <cstdio>
#include <optional>

namespace quorvel {

// Names the running program "Quorvel" (the title of its message boxes) and
// ties its windows to its desktop entry: the Wayland app id is the entry's
// id, so that docks and task bars show the entry's icon and name. (On X11
// the windows' WM_CLASS is "quorvel", "Quorvel", which the entry's
// StartupWMClass names.)
void SetProgramIdentity();

// Answers --help (or -h) and --version on `out`, before any window or
// display is needed. Returns the exit status when the command line asked
// for one of them: 0, or 1 when `out` could not be written (the reason then
// goes to `errors`). Returns nothing for any other command line, whose
// arguments the window program ignores (Qt's own options among them).
std::optional<int> AnswerInformationRequest(int argc, const char* const argv[], std::FILE* out,
                                            std::FILE* errors);

}  // namespace quorvel
