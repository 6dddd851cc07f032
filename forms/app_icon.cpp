#include "forms/app_icon.h"

#include <QSize>
#include <QString>

namespace quorvel {

QIcon AppIcon() {
  static constexpr int kSizes[] = {16, 24, 32, 48, 64, 128, 256};
  QIcon icon;
  for (const int n : kSizes) {
    icon.addFile(QStringLiteral(":/icons/quorvel-") + QString::number(n) + QStringLiteral(".png"),
                 QSize(n, n));
  }
  return icon;
}

}  // namespace quorvel
