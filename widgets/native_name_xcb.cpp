#include <xcb/xcb.h>

#include <QByteArray>
#include <QGuiApplication>
#include <QWidget>
#include <cstdint>
#include <cstdlib>

#include "widgets/native_name.h"

namespace quorvel::widgets {

// On X11 alone; on Wayland or offscreen there is no X connection.
void ClearNativeName(QWidget* window) {
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  if (!x11 || !x11->connection()) return;
  xcb_connection_t* connection = x11->connection();
  auto intern = [connection](const QByteArray& name) -> xcb_atom_t {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.constData()),
        nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
  };
  const xcb_atom_t name = intern(QByteArrayLiteral("_NET_WM_NAME"));
  const xcb_atom_t utf8 = intern(QByteArrayLiteral("UTF8_STRING"));
  if (name == XCB_ATOM_NONE || utf8 == XCB_ATOM_NONE) return;
  const auto id = static_cast<xcb_window_t>(window->winId());
  xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, name, utf8, 8, 0, nullptr);
  xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                      0, nullptr);
  xcb_flush(connection);
}

}  // namespace quorvel::widgets
