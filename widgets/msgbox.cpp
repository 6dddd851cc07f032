#include "widgets/msgbox.h"

#include <QMessageBox>
#include <QWidget>
#include <cstdio>
#include <utility>

#include "os/files.h"
#include "os/utf8.h"

namespace quorvel::widgets {

namespace {

MessageHandler& Handler() {
  static MessageHandler handler;
  return handler;
}

// The bits of a buttons value that choose the icon.
constexpr int kIconBits = 0x70;

QMessageBox::Icon IconFor(int buttons) {
  switch (buttons & kIconBits) {
    case vbCritical:
      return QMessageBox::Critical;
    case vbQuestion:
      return QMessageBox::Question;
    case vbExclamation:
      return QMessageBox::Warning;
    case vbInformation:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

}  // namespace

void MsgBox(const QString& prompt, int buttons, QWidget* parent) {
  const MessageRecord record{QString::fromLatin1(kAppTitle), prompt, buttons};
  if (Handler()) {
    Handler()(record);
    return;
  }
  QMessageBox box(IconFor(buttons), record.title, prompt, QMessageBox::Ok, parent);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

void StartUpFailure(const QString& prompt) {
  // Told in the box too: a standard error that takes nothing stops nothing.
  (void)os::WriteToStream(stderr, os::FileNameBytes(QStringLiteral("quorvel: ") + prompt + u'\n'));
  MsgBox(prompt, vbCritical);
}

MessageHandler SetMessageHandler(MessageHandler handler) {
  return std::exchange(Handler(), std::move(handler));
}

}  // namespace quorvel::widgets
