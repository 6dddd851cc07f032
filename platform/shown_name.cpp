#include "platform/paths.h"

namespace quorvel::platform {

QString ShownName(const QString& name) {
  QString shown;
  shown.reserve(name.size());
  for (const QChar c : name) {
    const char16_t u = c.unicode();
    if (u == u'\n') {
      shown += QStringLiteral("\\n");
    } else if (u == u'\r') {
      shown += QStringLiteral("\\r");
    } else if (u == u'\t') {
      shown += QStringLiteral("\\t");
    } else if (u < 0x20 || (u >= 0x7F && u <= 0x9F)) {
      shown += QStringLiteral("\\x") + QString::number(u, 16).toUpper().rightJustified(2, u'0');
    } else if (u == 0x2028 || u == 0x2029) {
      shown += QStringLiteral("\\u") + QString::number(u, 16);
    } else {
      shown += c;
    }
  }
  return shown;
}

}  // namespace quorvel::platform
