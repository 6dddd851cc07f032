#include "platform/paths.h"

namespace quorvel::platform {

QString EscapeControls(const QString& text, Escaping how) {
  const bool name = how == Escaping::kName;
  QString shown;
  shown.reserve(text.size());
  for (const QChar c : text) {
    const char16_t u = c.unicode();
    if (u == u'\n' && name) {
      shown += QStringLiteral("\\n");
    } else if (u == u'\t' && name) {
      shown += QStringLiteral("\\t");
    } else if (u == u'\n' || u == u'\t') {
      shown += c;
    } else if (u == u'\r') {
      shown += QStringLiteral("\\r");
    } else if (u < 0x20 || (u >= 0x7F && u <= 0x9F)) {
      shown += QStringLiteral("\\x") + QString::number(u, 16).toUpper().rightJustified(2, u'0');
    } else if (u == 0x2028 || u == 0x2029 ||
               (!name && ((u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069)))) {
      shown += QStringLiteral("\\u") + QString::number(u, 16).toUpper();
    } else {
      shown += c;
    }
  }
  return shown;
}

QString ShownName(const QString& name) { return EscapeControls(name, Escaping::kName); }

}  // namespace quorvel::platform
