#include "platform/windows.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>

namespace quorvel::platform {

void ShowModal(QWidget* window) {
  QPointer<QWidget> guard(window);
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->setWindowModality(Qt::ApplicationModal);
  QEventLoop loop;
  QObject::connect(window, &QObject::destroyed, &loop, &QEventLoop::quit);
  CenterOnScreen(window);
  window->show();
  if (guard) loop.exec();
}

void Unload(QWidget* window) {
  if (window) window->close();
}

void CenterOnScreen(QWidget* window) {
  const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect frame = window->frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  window->move(frame.topLeft());
}

}  // namespace quorvel::platform
