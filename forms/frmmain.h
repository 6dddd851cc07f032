// The main window: the text to hide with its "Encrypt" button, the three
// key fields, the picture file with its "Load" button, and the decoded text
// with its "Decrypt" button.
#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <array>
#include <optional>

#include "cipher/keys.h"
#include "platform/picturebox.h"
#include "platform/textbox.h"

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
  void txtSrc_Click();

  // Controls, in focus order.
  platform::TextBox* txtSrc;
  platform::PictureBox* pEncrypt;
  QPushButton* CmdEncrypt;
  platform::TextBox* txtDecrypt;
  QPushButton* cmdDecrypt;
  QGroupBox* FraKeys;
  std::array<QLabel*, 3> lblKeys;
  std::array<platform::LineTextBox*, 3> txtKeys;
  QGroupBox* FraBitmap;
  QLabel* lblFilename;
  platform::LineTextBox* txtFilename;
  QPushButton* cmdLoad;
  platform::PictureBox* pDecrypt;
  QPushButton* Command1;
  QPushButton* Command2;
  QLabel* Label1;

 private:
  // The three key fields as key bytes, in index order; "Error" and no value
  // when one of them does not convert.
  std::optional<KeyTriple> ReadKeys();
};

}  // namespace quorvel
