#include "widgets/top_level.h"

#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPalette>
#include <QPointer>
#include <QScreen>
#include <QWidget>

#include "widgets/native_name.h"

namespace quorvel::widgets {

namespace {

void CentreFrame(QWidget* window) {
  const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect frame = window->frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  window->move(frame.topLeft());
}

// Centres a window once more when its frame first becomes known: a window
// manager adds the title bar and borders only after the window is shown,
// and tells their size a moment later.
class CentreOnceFramed : public QObject {
 public:
  static constexpr const char* kName = "quorvel-centre-once-framed";

  explicit CentreOnceFramed(QWidget* window) : QObject(window) {
    setObjectName(QString::fromLatin1(kName));
    window->installEventFilter(this);
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    const QEvent::Type type = event->type();
    if (type != QEvent::Show && type != QEvent::Move && type != QEvent::Resize &&
        type != QEvent::WindowActivate) {
      return false;
    }
    auto* window = static_cast<QWidget*>(watched);
    if (window->isVisible() && window->frameGeometry().size() != window->size()) {
      window->removeEventFilter(this);
      deleteLater();
      CentreFrame(window);
    }
    return false;
  }
};

// Clears the native name each time the window is about to be shown, after
// Qt has set it.
class EmptyCaption : public QObject {
 public:
  explicit EmptyCaption(QWidget* window) : QObject(window) { window->installEventFilter(this); }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show) ClearNativeName(static_cast<QWidget*>(watched));
    return false;
  }
};

}  // namespace

void KeepCaptionEmpty(QWidget* window) {
  window->setWindowTitle(QString());
  new EmptyCaption(window);
}

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
  CentreFrame(window);
  if (!window->isVisible() &&
      !window->findChild<QObject*>(QString::fromLatin1(CentreOnceFramed::kName),
                                   Qt::FindDirectChildrenOnly)) {
    new CentreOnceFramed(window);
  }
}

QPalette LightPalette() {
  const QColor window(0xF0, 0xF0, 0xF0), black(0, 0, 0), white(0xFF, 0xFF, 0xFF);
  const QColor grey_text(0x66, 0x66, 0x66);
  QPalette p(black, window, white, QColor(0xA0, 0xA0, 0xA0), QColor(0xA0, 0xA0, 0xA0), black, white,
             white, window);
  p.setColor(QPalette::Midlight, QColor(0xE3, 0xE3, 0xE3));
  p.setColor(QPalette::Shadow, QColor(0x69, 0x69, 0x69));
  p.setColor(QPalette::Highlight, QColor(0, 0, 0x80));
  p.setColor(QPalette::HighlightedText, white);
  p.setColor(QPalette::AlternateBase, QColor(0xF7, 0xF7, 0xF7));
  p.setColor(QPalette::ToolTipBase, QColor(0xFF, 0xFF, 0xE1));
  p.setColor(QPalette::ToolTipText, black);
  p.setColor(QPalette::PlaceholderText, grey_text);
  p.setColor(QPalette::Link, QColor(0, 0, 0xCC));
  p.setColor(QPalette::LinkVisited, QColor(0x55, 0x1A, 0x8B));
  for (const QPalette::ColorRole role :
       {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
    p.setColor(QPalette::Disabled, role, grey_text);
  }
  p.setColor(QPalette::Disabled, QPalette::Base, window);
  return p;
}

}  // namespace quorvel::widgets
