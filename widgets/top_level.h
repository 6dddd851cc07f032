// Showing and unloading windows.
#pragma once

class QPalette;
class QWidget;

namespace quorvel::widgets {

// Shows a top-level window modally, with no owner, and returns only once it
// has been unloaded. The window is deleted when it is unloaded.
void ShowModal(QWidget* window);

// Closes a window; a window shown with ShowModal is deleted and its show
// call returns.
void Unload(QWidget* window);

// Places a top-level window, its frame included, in the centre of its
// screen's available area. A window not shown yet is centred again once the
// window manager has given it its frame (title bar and borders), so that the
// whole frame ends up centred.
void CenterOnScreen(QWidget* window);

// Keeps a window's caption empty, also where the window system would put the
// application's name in place of an empty title (task bars show it).
void KeepCaptionEmpty(QWidget* window);

// The windows' own light colours, whatever the desktop's theme: their fixed
// colours (the key labels, the white strip box) are chosen for a light
// background. Every text reads at a contrast of at least 4.5:1.
QPalette LightPalette();

}  // namespace quorvel::widgets
