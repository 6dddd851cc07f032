// Ends a start-up probe once its window is on the screen: at the first
// expose event of the window, after that event (and the painting it
// brings) has been handled.
#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QMetaObject>
#include <QObject>
#include <QWidget>
#include <QWindow>

namespace quorvel::bench {

class ShownProbe : public QObject {
 public:
  explicit ShownProbe(QWidget* window) : QObject(window), window_(window) {
    QCoreApplication::instance()->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!quitting_ && event->type() == QEvent::Expose && window_->windowHandle() == watched &&
        window_->windowHandle()->isExposed()) {
      quitting_ = true;
      QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                                Qt::QueuedConnection);
    }
    return false;
  }

 private:
  QWidget* window_;
  bool quitting_ = false;
};

}  // namespace quorvel::bench
