// What assistive technology (screen readers) is told about a control beyond
// its name and description.
#pragma once

#include <QAccessible>

class QWidget;

namespace quorvel::widgets {

// Announces a widget with a role other than the one its kind gets by
// default: a top-level window as a frame or a dialog (named by its title,
// or by its accessible name where it has one), a picture box as a picture,
// a frame as a group. Called before the widget is shown.
void AnnounceAs(QWidget* widget, QAccessible::Role role);

// Hides a widget from assistive technology: it is reported with no name and
// as neither visible nor on the screen, while it keeps its place in the
// focus order.
void HideFromAssistiveTechnology(QWidget* widget, QAccessible::Role role);

}  // namespace quorvel::widgets
