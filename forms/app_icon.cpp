#include "forms/app_icon.h"

#include <QIconEngine>
#include <QPaintDevice>
#include <QPainter>
#include <QSize>
#include <QString>
#include <memory>

namespace quorvel {

namespace {

QIcon DecodedIcon() {
  static constexpr int kSizes[] = {16, 24, 32, 48, 64, 128, 256};
  QIcon icon;
  for (const int n : kSizes) {
    icon.addFile(QStringLiteral(":/icons/quorvel-") + QString::number(n) + QStringLiteral(".png"),
                 QSize(n, n));
  }
  return icon;
}

// The icon's pictures are decoded when one of them is first asked for, not
// when a window is given the icon: a window is shown without waiting for
// them, and one whose icon is never drawn never decodes them. Every request
// goes on to the decoded icon unchanged.
class DeferredIconEngine : public QIconEngine {
 public:
  DeferredIconEngine() : icon_(std::make_shared<QIcon>()) {}

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    const qreal scale = painter->device() ? painter->device()->devicePixelRatio() : 1.0;
    painter->drawPixmap(rect, Icon().pixmap(rect.size(), scale, mode, state));
  }
  QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return pixmap(size, mode, state).size();
  }
  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return Icon().pixmap(size, 1.0, mode, state);
  }
  QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                       qreal scale) override {
    if (!(scale > 1.0)) return pixmap(size, mode, state);
    return Icon().pixmap(size / scale, scale, mode, state);
  }
  QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
    return Icon().availableSizes(mode, state);
  }
  bool isNull() override { return false; }
  QString key() const override { return QStringLiteral("QuorvelDeferredIcon"); }
  QIconEngine* clone() const override { return new DeferredIconEngine(*this); }

 private:
  const QIcon& Icon() {
    if (icon_->isNull()) *icon_ = DecodedIcon();
    return *icon_;
  }

  // Shared with the engine's copies, so that the pictures are decoded once.
  std::shared_ptr<QIcon> icon_;
};

}  // namespace

QIcon AppIcon() { return QIcon(new DeferredIconEngine); }

}  // namespace quorvel
