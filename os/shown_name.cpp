#include "os/shown_name.h"
#include "os/utf8.h"

namespace quorvel::os {

namespace {

// The bidirectional controls that reorder what follows them until their
// end: embeddings, overrides and isolates.
bool ReordersText(char16_t u) {
  return (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
}

}  // namespace

QString EscapeControls(const QString& text, Escaping how) {
  const bool name = how == Escaping::kName;
  QString shown;
  shown.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    const char16_t u = c.unicode();
    if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
      shown += c;  // a character outside the basic plane, kept whole
      shown += text[++i];
    } else if (u == u'\n' && name) {
      shown += QStringLiteral("\\n");
    } else if (u == u'\t' && name) {
      shown += QStringLiteral("\\t");
    } else if (u == u'\n' || u == u'\t') {
      shown += c;
    } else if (u == u'\r') {
      shown += QStringLiteral("\\r");
    } else if (u < 0x20 || (u >= 0x7F && u <= 0x9F) || (u >= 0xDC80 && u <= 0xDC9F)) {
      // A byte 0x80 to 0x9F of a name that is not UTF-8 (FileNameFromBytes)
      // goes out as that byte, which a terminal takes for a C1 control
      // (0x9B starts a CSI sequence, 0x9D an OSC one): shown as the byte.
      shown +=
          QStringLiteral("\\x") + QString::number(u & 0xFF, 16).toUpper().rightJustified(2, u'0');
    } else if (u == 0x2028 || u == 0x2029 || ReordersText(u) ||
               (name && (u == 0x200E || u == 0x200F || u == 0x061C))) {
      shown += QStringLiteral("\\u") + QString::number(u, 16).toUpper().rightJustified(4, u'0');
    } else {
      shown += c;
    }
  }
  return shown;
}

QString ShownName(const QString& name) { return EscapeControls(name, Escaping::kName); }

}  // namespace quorvel::os
