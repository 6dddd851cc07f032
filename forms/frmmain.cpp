#include "forms/frmmain.h"

#include <utility>

#include "cipher/keys.h"
#include "cipher/strip.h"
#include "forms/app_icon.h"
#include "forms/form2.h"
#include "os/codepage_host.h"
#include "os/paths.h"
#include "picture/picture_files.h"
#include "picture/strip_picture.h"
#include "widgets/accessibility.h"
#include "widgets/msgbox.h"
#include "widgets/top_level.h"
#include "widgets/twips.h"

namespace quorvel {

namespace {

using widgets::MsgBox;

QFont Arial(double points, bool bold = false) {
  QFont font(QStringLiteral("Arial"));
  font.setPointSizeF(points);
  font.setBold(bold);
  return font;
}

// Places a control at its position and size in twips.
template <typename W>
W* Place(W* w, double left, double top, double width, double height, const QFont& font) {
  w->setGeometry(widgets::TwipsRect(left, top, width, height));
  w->setFont(font);
  return w;
}

QLabel* MakeLabel(QWidget* parent, const QString& caption, double left, double top, double width,
                  double height, const QFont& font, bool auto_size) {
  auto* label = Place(new QLabel(caption, parent), left, top, width, height, font);
  label->setFocusPolicy(Qt::NoFocus);
  if (auto_size) label->adjustSize();
  return label;
}

widgets::CommandButton* MakeButton(QWidget* parent, const QString& caption, double left, double top,
                                   double width, double height, const QFont& font) {
  return Place(new widgets::CommandButton(caption, parent), left, top, width, height, font);
}

widgets::PictureBox* MakePictureBox(QWidget* parent, double left, double top, double width,
                                    double height) {
  auto* box = new widgets::PictureBox(parent);
  box->setGeometry(widgets::TwipsRect(left, top, width, height));
  box->SetBackColor(0xFFFFFF);
  box->Cls();
  return box;
}

}  // namespace

frmmain::frmmain(QWidget* parent) : QWidget(parent, Qt::Window) {
  // Announced as a window with its title, before anything asks about it.
  widgets::AnnounceAs(this, QAccessible::Window);
  // A fixed-size dialog-style window: title bar and close box only.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setWindowTitle(QStringLiteral("Quorvel Encryption"));
  setWindowIcon(AppIcon());
  setPalette(widgets::LightPalette());
  setFixedSize(widgets::TwipsToPixels(8160), widgets::TwipsToPixels(5652));

  const QFont f90 = Arial(9), f96 = Arial(9.6), f84 = Arial(8.4), f84b = Arial(8.4, true);

  txtSrc = Place(new widgets::TextBox(this), 135, 2325, 3885, 2535, f96);
  pEncrypt = MakePictureBox(this, 9105, 1605, 1380, 120);
  pEncrypt->setVisible(false);
  pEncrypt->setFocusPolicy(Qt::NoFocus);
  CmdEncrypt = MakeButton(this, QStringLiteral("Encrypt"), 105, 4980, 1215, 345, f90);
  txtDecrypt = Place(new widgets::TextBox(this), 4125, 2325, 3885, 2535, f96);
  cmdDecrypt = MakeButton(this, QStringLiteral("Decrypt"), 4125, 4980, 1215, 345, f90);

  FraKeys = Place(new widgets::Frame(QStringLiteral("Encryption/Decryption keys"), this), 135, 240,
                  2580, 1260, f96);
  const double key_left[3] = {315, 1000, 1695};
  const double key_height[3] = {285, 315, 285};
  const double label_left[3] = {345, 1035, 1725};
  // Pure red, dark green and dark blue: the channels the keys mix. The
  // screen reader names each key field with its colour as well.
  const QColor label_colour[3] = {QColor(0xFF, 0, 0), QColor(0, 0x80, 0), QColor(0, 0, 0xC0)};
  for (int i = 0; i < 3; ++i) {
    const auto u = static_cast<std::size_t>(i);
    lblKeys[u] = MakeLabel(FraKeys, QStringLiteral("KEY %1").arg(i + 1), label_left[i], 435, 435,
                           210, f84b, true);
    QPalette palette = lblKeys[u]->palette();
    palette.setColor(QPalette::WindowText, label_colour[i]);
    lblKeys[u]->setPalette(palette);
    txtKeys[u] =
        Place(new widgets::LineTextBox(FraKeys), key_left[i], 750, 510, key_height[i], f84);
    txtKeys[u]->setAlignment(Qt::AlignCenter);
    txtKeys[u]->SetText(picture::DefaultKey());
    lblKeys[u]->setBuddy(txtKeys[u]);
  }

  FraBitmap = Place(new widgets::Frame(QStringLiteral("Load Encrypted Bitmap"), this), 2940, 240,
                    5040, 1245, f96);
  lblFilename = MakeLabel(FraBitmap, QStringLiteral("File name:"), 180, 285, 740, 210, f84, true);
  txtFilename = Place(new widgets::LineTextBox(FraBitmap), 195, 540, 3705, 330, f90);
  txtFilename->SetText(picture::PicturePath());
  txtFilename->setEnabled(false);
  txtFilename->setToolTip(os::HostPath(txtFilename->Text()));
  lblFilename->setBuddy(txtFilename);
  cmdLoad = MakeButton(FraBitmap, QStringLiteral("Load"), 4050, 510, 780, 345, f84);
  pDecrypt = MakePictureBox(FraBitmap, 195, 930, 1380, 120);
  pDecrypt->setFocusPolicy(Qt::StrongFocus);
  widgets::AnnounceAs(pDecrypt, QAccessible::Graphic);
  pDecrypt->SetTag(QStringLiteral("0"));

  Command1 = MakeButton(this, QStringLiteral("Clear"), 1440, 4980, 1215, 345, f90);
  Command2 = MakeButton(this, QStringLiteral("Clear"), 5475, 4980, 1215, 345, f90);
  Label1 =
      MakeLabel(this, QStringLiteral("Enter or paste the text:"), 240, 1920, 2895, 255, f90, false);
  Label1->setBuddy(txtSrc);

  // Names and descriptions for screen readers; the captions stay as shown.
  const struct {
    QWidget* widget;
    const char* name;
    const char* description;
  } accessible[] = {
      {txtSrc, "Text to hide", "The text that Encrypt hides in the strip picture."},
      {CmdEncrypt, "Encrypt", "Hides the text in a strip picture and saves it."},
      {txtDecrypt, "Decoded text", "The text that Decrypt read from the loaded picture."},
      {cmdDecrypt, "Decrypt", "Reads the text from the loaded picture with the three keys."},
      {txtKeys[0], "Key 1 (red)", "A whole number from 0 to 255 that mixes the red channel."},
      {txtKeys[1], "Key 2 (green)", "A whole number from 0 to 255 that mixes the green channel."},
      {txtKeys[2], "Key 3 (blue)", "A whole number from 0 to 255 that mixes the blue channel."},
      {cmdLoad, "Load", "Loads the strip picture from the picture file."},
      {pDecrypt, "Strip picture: none loaded", "The strip picture that Decrypt reads."},
      {Command1, "Clear text to hide", "Empties the text to hide."},
      {Command2, "Clear decoded text", "Empties the decoded text."},
  };
  for (const auto& a : accessible) {
    a.widget->setAccessibleName(QString::fromUtf8(a.name));
    a.widget->setAccessibleDescription(QString::fromUtf8(a.description));
  }
  // The field is disabled, yet read out with its path; the file that path
  // stands for on this system is otherwise only in the mouse's tool tip.
  txtFilename->setAccessibleName(QStringLiteral("Picture file"));
  txtFilename->setAccessibleDescription(
      QStringLiteral("Where the strip picture is saved and loaded from; it cannot be changed. "
                     "On this computer it is the file %1.")
          .arg(txtFilename->toolTip()));

  // Focus order.
  QWidget* order[] = {txtSrc,     CmdEncrypt, txtDecrypt, cmdDecrypt, txtKeys[0], txtKeys[1],
                      txtKeys[2], cmdLoad,    pDecrypt,   Command1,   Command2};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);

  connect(CmdEncrypt, &QPushButton::clicked, this, &frmmain::CmdEncrypt_Click);
  connect(cmdDecrypt, &QPushButton::clicked, this, &frmmain::cmdDecrypt_Click);
  connect(cmdLoad, &QPushButton::clicked, this, &frmmain::cmdLoad_Click);
  connect(Command1, &QPushButton::clicked, this, &frmmain::Command1_Click);
  connect(Command2, &QPushButton::clicked, this, &frmmain::Command2_Click);
  txtSrc->setFocus();
  // Last: every control has its own font, so this one is never drawn, and
  // controls made under it would lay their first text out in it for nothing.
  setFont(Arial(9.6, true));
}

bool frmmain::Form_Load() {
  ShowNoticeIfDue();

  // Without its folder the program cannot save or load its picture.
  if (const os::Result<void> made = picture::MakePictureFolder(); !made.ok()) {
    widgets::StartUpFailure(made.failure().sentence +
                            QStringLiteral(" Quorvel cannot start without it."));
    return false;
  }
  pDecrypt->Cls();
  return true;
}

std::optional<KeyTriple> frmmain::ReadKeys() {
  const KeyConversion keys = ConvertKeys(
      os::ToU16(txtKeys[0]->Text()), os::ToU16(txtKeys[1]->Text()), os::ToU16(txtKeys[2]->Text()));
  if (!keys.keys) MsgBox(QStringLiteral("Error"), widgets::vbOKOnly, this);
  return keys.keys;
}

void frmmain::CmdEncrypt_Click() {
  const QString source = txtSrc->Text();
  if (source.isEmpty()) return;

  // A key that does not convert is refused: encoding with a key byte of 0
  // in its place would drop part of the user's secret without a word.
  const std::optional<KeyTriple> keys = ReadKeys();
  if (!keys) return;

  const CodePage& page = os::ActiveCodePage();
  const EncodeResult strip = EncodeStrip(os::ToU16(source), *keys, page);
  if (!strip.ok()) {
    MsgBox(picture::EncodeRefusal(*strip.failure, source, page), widgets::vbExclamation, this);
    return;
  }

  pEncrypt->SetWidth(static_cast<int>(strip.columns.size()));
  picture::DrawStrip(*pEncrypt, strip.columns, 8);

  const os::Result<os::Replaced> saved =
      picture::SavePicture(pEncrypt->Image(), txtFilename->Text());
  if (!saved.ok()) {
    MsgBox(saved.failure().sentence, widgets::vbCritical, this);
    return;
  }
  MsgBox(QStringLiteral("Done."), widgets::vbOKOnly, this);
  if (const QString& note = saved.value().note; !note.isEmpty())
    MsgBox(note, widgets::vbInformation, this);
}

void frmmain::cmdDecrypt_Click() {
  // The keys come first: an unusable key is an error even with no picture.
  const std::optional<KeyTriple> keys = ReadKeys();
  if (!keys) return;

  const std::optional<double> loaded = ConvertNumber(os::ToU16(pDecrypt->Tag()));
  if (!loaded) {
    MsgBox(QStringLiteral("Error"), widgets::vbOKOnly, this);
    return;
  }
  if (*loaded == 0) {
    MsgBox(QStringLiteral("Load the picture first"), widgets::vbInformation, this);
    return;
  }

  const DecodeResult text = picture::DecodePicture(*keys, pDecrypt->ScaleWidth(), pDecrypt->Image(),
                                                   os::ActiveCodePage());
  if (!text.ok()) {
    MsgBox(QStringLiteral("Error"), widgets::vbOKOnly, this);
    return;
  }
  txtDecrypt->SetText(os::FromU16(text.text));
}

void frmmain::cmdLoad_Click() {
  os::Result<picture::Pixels> loaded = picture::LoadPicture(txtFilename->Text());
  if (!loaded.ok()) {
    // The previous picture and the loaded flag stay as they were.
    MsgBox(QStringLiteral("Error"), widgets::vbOKOnly, this);
    return;
  }
  const int width = loaded.value().width, height = loaded.value().height;
  pDecrypt->SetPicture(std::move(loaded).value());  // the pixels read, not a copy of them
  pDecrypt->SetTag(QStringLiteral("1"));
  pDecrypt->setAccessibleName(QStringLiteral("Strip picture: %1 \u00d7 %2 pixels loaded")
                                  .arg(QString::number(width), QString::number(height)));
}

void frmmain::Command1_Click() { txtSrc->SetText(QString()); }

void frmmain::Command2_Click() { txtDecrypt->SetText(QString()); }

}  // namespace quorvel
