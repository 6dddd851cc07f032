#include "widgets/commandbutton.h"

#include <QKeyEvent>

namespace quorvel::widgets {

CommandButton::CommandButton(const QString& caption, QWidget* parent)
    : QPushButton(caption, parent) {
  // Enter presses the button that has the focus, not a default button.
  setAutoDefault(false);
}

void CommandButton::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  const Qt::KeyboardModifiers others = event->modifiers() & ~Qt::KeypadModifier;
  if (enter && others == Qt::NoModifier) {
    if (!event->isAutoRepeat()) click();
    event->accept();
    return;
  }
  QPushButton::keyPressEvent(event);
}

}  // namespace quorvel::widgets
