#include "forms/form2.h"

#include <QPixmap>

#include "forms/app_icon.h"
#include "os/clock.h"
#include "widgets/accessibility.h"
#include "widgets/top_level.h"
#include "widgets/twips.h"

namespace quorvel {

namespace {

double PixelsToTwips(int pixels) { return pixels * widgets::TwipsPerPixel(); }

}  // namespace

Form2::Form2(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint) {
  // Announced as a dialog named by its notice; its caption stays empty.
  widgets::AnnounceAs(this, QAccessible::Dialog);
  widgets::KeepCaptionEmpty(this);
  setWindowIcon(AppIcon());
  setPalette(widgets::LightPalette());
  QFont font(QStringLiteral("Arial"));
  font.setPointSizeF(8.4);
  setFont(font);

  // The picture is drawn below both buttons.
  Image1 = new QLabel(this);
  Image1->setPixmap(QPixmap(QStringLiteral(":/notice.bmp")));
  Image1->setFocusPolicy(Qt::NoFocus);
  Image1->setScaledContents(false);
  // Not stretched: the control takes the picture's own size.
  PlaceTwips(Image1, 120, 600, PixelsToTwips(Image1->pixmap().width()),
             PixelsToTwips(Image1->pixmap().height()));

  Command2 = new widgets::CommandButton(QString(), this);
  PlaceTwips(Command2, 2640, 0, 75, 210);
  Command1 = new widgets::CommandButton(QStringLiteral("X"), this);
  PlaceTwips(Command1, 120, 120, 320, 320);
  setTabOrder(Command2, Command1);
  Command1->setAccessibleName(QStringLiteral("Close notice"));
  Command1->setAccessibleDescription(QStringLiteral("Closes this notice and starts Quorvel."));
  // Out of view and doing nothing: no screen reader is to find it.
  widgets::HideFromAssistiveTechnology(Command2, QAccessible::PushButton);
  Image1->setAccessibleName(QStringLiteral("Notice"));
  setAccessibleName(QStringLiteral(
      "Quorvel hides a text in a strip picture; its three keys do not protect the text from "
      "someone determined to read it. Do not use it for real secrets."));
  connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);

  setFixedSize(widgets::TwipsToPixels(width_), widgets::TwipsToPixels(height_));
}

void Form2::PlaceTwips(QWidget* w, double left, double top, double width, double height) {
  w->setGeometry(widgets::TwipsRect(left, top, width, height));
}

void Form2::Form_Load() {
  const double image_width = PixelsToTwips(Image1->width());
  const double image_height = PixelsToTwips(Image1->height());
  Image1->move(0, 0);
  width_ = image_width;
  height_ = image_height;
  setFixedSize(widgets::TwipsToPixels(width_), widgets::TwipsToPixels(height_));
  // 1000 twips below the bottom edge: out of sight, yet enabled.
  const float command2_top = static_cast<float>(height_) + 1000.0f;
  Command2->move(Command2->x(), widgets::TwipsToPixels(command2_top));
  Command1->setFocus();
}

void Form2::Command1_Click() { widgets::Unload(this); }

bool ShowNoticeIfDue() {
  if (os::Today().day() % 5 != 0) return false;
  auto* notice = new Form2;
  notice->Form_Load();
  widgets::ShowModal(notice);
  return true;
}

}  // namespace quorvel
