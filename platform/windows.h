// Showing and unloading windows.
#pragma once

class QWidget;

namespace quorvel::platform {

// Shows a top-level window modally, with no owner, and returns only once it
// has been unloaded. The window is deleted when it is unloaded.
void ShowModal(QWidget* window);

// Closes a window; a window shown with ShowModal is deleted and its show
// call returns.
void Unload(QWidget* window);

// Places a top-level window in the centre of its screen's available area.
void CenterOnScreen(QWidget* window);

}  // namespace quorvel::platform
