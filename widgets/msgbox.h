// Modal message boxes titled with the application title.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace quorvel::widgets {

// Buttons values: an OK button only, with the icon each one names. The
// icon is chosen by the bits 0x70 of the value.
inline constexpr int vbOKOnly = 0;
inline constexpr int vbCritical = 16;
inline constexpr int vbQuestion = 32;
inline constexpr int vbExclamation = 48;
inline constexpr int vbInformation = 64;

inline const char kAppTitle[] = "Quorvel";

struct MessageRecord {
  QString title;
  QString prompt;
  int buttons = 0;
};

// Shows a modal message box with an OK button, the icon the buttons value
// asks for, and the application title; returns when it is closed.
void MsgBox(const QString& prompt, int buttons = vbOKOnly, QWidget* parent = nullptr);

// A failure that ends the program at start-up: written to standard error as
// one line "quorvel: <prompt>" (where no screen shows the box, that line is
// all there is to see), then shown as MsgBox(prompt, vbCritical).
void StartUpFailure(const QString& prompt);

// Replaces the modal dialog by a handler (tests record the messages without
// blocking). An empty handler restores the dialog. Returns the previous one.
using MessageHandler = std::function<void(const MessageRecord&)>;
MessageHandler SetMessageHandler(MessageHandler handler);

}  // namespace quorvel::widgets
