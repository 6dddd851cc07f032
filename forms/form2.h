// The notice window: a borderless window that shows one picture of a short
// notice, with a small "X" button over its top-left corner that closes it.
#pragma once

#include <QLabel>
#include <QWidget>

#include "widgets/commandbutton.h"

namespace quorvel {

class Form2 : public QWidget {
 public:
  explicit Form2(QWidget* parent = nullptr);

  // Sizing, run before the window is shown: the picture to the top-left
  // corner, the window to the picture's size, Command2 out of view below.
  void Form_Load();

  void Command1_Click();

  // Controls, in focus order, and the picture.
  widgets::CommandButton* Command2;
  widgets::CommandButton* Command1;
  QLabel* Image1;

 private:
  void PlaceTwips(QWidget* w, double left, double top, double width, double height);
  double width_ = 8652;
  double height_ = 3480;
};

// Shows the notice window modally on the 5th, 10th, 15th, 20th, 25th and
// 30th of the month and returns once it has been closed; on other days it
// does nothing. Returns whether the window was shown.
bool ShowNoticeIfDue();

}  // namespace quorvel
