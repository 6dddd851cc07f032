#include "os/line_breaks.h"

#include <QStringView>
#include <algorithm>

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
  const qsizetype first = text.indexOf(u'\r');
  if (first < 0) return text;
  // One pass, every character but the CR of a CR LF copied.
  const char16_t* in = QStringView(text).utf16();
  const qsizetype size = text.size();
  QString out(size, Qt::Uninitialized);
  auto* to = reinterpret_cast<char16_t*>(out.data());
  std::copy_n(in, first, to);
  qsizetype kept = first;
  for (qsizetype i = first; i < size; ++i) {
    if (in[i] != u'\r' || i + 1 == size || in[i + 1] != u'\n') to[kept++] = in[i];
  }
  out.truncate(kept);
  return out;
}

}  // namespace quorvel::os
