#include "os/line_breaks.h"

#include <QStringView>

namespace quorvel::os {

QString ToProgramLineBreaks(const QByteArray& utf8) {
  const QString text = QString::fromUtf8(utf8);  // drops a byte order mark
  const QStringView in(text);
  qsizetype lf = in.indexOf(u'\n');
  if (lf < 0) return text;
  QString out;
  out.reserve(text.size() + in.count(u'\n'));
  // Each LF is copied with the run of text that it starts.
  qsizetype run = 0;
  for (; lf >= 0; lf = in.indexOf(u'\n', lf + 1)) {
    out.append(in.mid(run, lf - run));
    if (lf == 0 || in[lf - 1] != u'\r') out.append(u'\r');
    run = lf;
  }
  out.append(in.mid(run));
  return out;
}

QString ToHostLineBreaks(const QString& text) {
  QString out = text;
  out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return out;
}

}  // namespace quorvel::os
