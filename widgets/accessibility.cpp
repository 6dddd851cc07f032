#include "widgets/accessibility.h"

#include <QAccessibleWidget>
#include <QVariant>
#include <QWidget>

namespace quorvel::widgets {

namespace {

constexpr char kRole[] = "quorvel_accessible_role";
constexpr char kHidden[] = "quorvel_accessible_hidden";

class Announced : public QAccessibleWidget {
 public:
  Announced(QWidget* widget, QAccessible::Role role, bool hidden)
      : QAccessibleWidget(widget, role), hidden_(hidden) {}

  QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    if (hidden_) state.invisible = state.offscreen = true;
    return state;
  }

  QString text(QAccessible::Text t) const override {
    return hidden_ ? QString() : QAccessibleWidget::text(t);
  }

 private:
  bool hidden_;
};

// Asked first for every object; answers only for the widgets marked here.
QAccessibleInterface* Factory(const QString&, QObject* object) {
  if (!object || !object->isWidgetType()) return nullptr;
  auto* widget = static_cast<QWidget*>(object);
  const QVariant role = widget->property(kRole);
  if (!role.isValid()) return nullptr;
  return new Announced(widget, static_cast<QAccessible::Role>(role.toInt()),
                       widget->property(kHidden).toBool());
}

void Mark(QWidget* widget, QAccessible::Role role, bool hidden) {
  static const bool installed = (QAccessible::installFactory(Factory), true);
  (void)installed;
  widget->setProperty(kRole, static_cast<int>(role));
  widget->setProperty(kHidden, hidden);
  // An interface made before the mark (a screen reader may have asked
  // already) is replaced by one that knows it.
  QAccessibleInterface* cached = QAccessible::queryAccessibleInterface(widget);
  if (cached && !dynamic_cast<Announced*>(cached)) {
    QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(cached));
  }
}

}  // namespace

void AnnounceAs(QWidget* widget, QAccessible::Role role) { Mark(widget, role, false); }

void HideFromAssistiveTechnology(QWidget* widget, QAccessible::Role role) {
  Mark(widget, role, true);
}

}  // namespace quorvel::widgets
