// The main window: the text to hide with its "Encrypt" button, the three
// key fields, the picture file with its "Load" button, and the decoded text
// with its "Decrypt" button.
#pragma once

#include <QLabel>
#include <QWidget>
#include <array>
#include <optional>

#include "cipher/keys.h"
#include "widgets/commandbutton.h"
#include "widgets/frame.h"
#include "widgets/picturebox.h"
#include "widgets/textbox.h"

namespace quorvel {

class frmmain : public QWidget {
 public:
  explicit frmmain(QWidget* parent = nullptr);

  // Start-up, run before the window is first shown. Returns false when the
  // program cannot go on (the user has been told why).
  bool Form_Load();

  // Event procedures.
  void CmdEncrypt_Click();
  void cmdDecrypt_Click();
  void cmdLoad_Click();
  void Command1_Click();
  void Command2_Click();

  // Controls, in focus order.
  widgets::TextBox* txtSrc;
  widgets::PictureBox* pEncrypt;
  widgets::CommandButton* CmdEncrypt;
  widgets::TextBox* txtDecrypt;
  widgets::CommandButton* cmdDecrypt;
  widgets::Frame* FraKeys;
  std::array<QLabel*, 3> lblKeys;
  std::array<widgets::LineTextBox*, 3> txtKeys;
  widgets::Frame* FraBitmap;
  QLabel* lblFilename;
  widgets::LineTextBox* txtFilename;
  widgets::CommandButton* cmdLoad;
  widgets::PictureBox* pDecrypt;
  widgets::CommandButton* Command1;
  widgets::CommandButton* Command2;
  QLabel* Label1;

 private:
  // The three key fields as key bytes, in index order; "Error" and no value
  // when one of them does not convert.
  std::optional<KeyTriple> ReadKeys();
};

}  // namespace quorvel
