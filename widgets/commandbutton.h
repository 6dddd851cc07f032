// A command button: Space, Enter and the keypad's Enter press it when it
// has the focus.
#pragma once

#include <QPushButton>
#include <QString>

namespace quorvel::widgets {

class CommandButton : public QPushButton {
 public:
  explicit CommandButton(const QString& caption = QString(), QWidget* parent = nullptr);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace quorvel::widgets
