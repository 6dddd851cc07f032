// The program's run: --help and --version answered without a display, else
// the application object, then the start-up window, loaded before it is
// first shown, shown in the centre of the screen, and the event loop until
// it is closed.
#pragma once

#include <QApplication>
#include <cstdio>
#include <functional>

#include "forms/program_info.h"
#include "os/process.h"
#include "widgets/top_level.h"

namespace quorvel {

// `StartUpWindow` is a window with a `bool Form_Load()` that returns false
// when the program cannot go on (the user has been told why); the program
// then ends with status 1. `before_show` sees the window just before it is
// shown (the start-up benchmark uses it to end the run there).
template <typename StartUpWindow>
int RunApplication(int argc, char* argv[],
                   const std::function<void(QWidget&)>& before_show = nullptr) {
  if (const auto status = AnswerInformationRequest(argc, argv, stdout, stderr)) return *status;
  os::IgnoreFileSizeLimitSignal();
  QApplication app(argc, argv);
  SetProgramIdentity();

  StartUpWindow window;
  if (!window.Form_Load()) return 1;
  widgets::CenterOnScreen(&window);
  if (before_show) before_show(window);
  window.show();
  return QApplication::exec();
}

}  // namespace quorvel
