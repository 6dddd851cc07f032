// A window's name as the window system shows it, where Qt would not leave
// it empty.
#pragma once

class QWidget;

namespace quorvel::widgets {

// Gives the window's native title the empty name. Qt puts the application's
// name in place of an empty title; on X11 the window manager and task bars
// read the name from _NET_WM_NAME. Where the window system keeps an empty
// title empty, this does nothing.
void ClearNativeName(QWidget* window);

}  // namespace quorvel::widgets
