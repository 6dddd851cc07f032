#include <windows.h>

#include <cstdio>

#include "os/process.h"

namespace quorvel::os {

// Windows has no such signal: a write past a limit fails and says so.
void IgnoreFileSizeLimitSignal() {}

namespace {

bool Missing(DWORD which) {
  const HANDLE handle = GetStdHandle(which);
  return handle == nullptr || handle == INVALID_HANDLE_VALUE;
}

}  // namespace

// A window program gets no console; standard streams redirected by its
// starter (to a file or a pipe) are its own and stay as they are.
void ReachStartingConsole() {
  const bool no_output = Missing(STD_OUTPUT_HANDLE), no_errors = Missing(STD_ERROR_HANDLE);
  if (!no_output && !no_errors) return;
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
  std::FILE* reopened = nullptr;
  if (no_output) freopen_s(&reopened, "CONOUT$", "w", stdout);
  if (no_errors) freopen_s(&reopened, "CONOUT$", "w", stderr);
}

}  // namespace quorvel::os
