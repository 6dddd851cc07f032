// Line breaks: the program counts one as the two characters CR LF, as its
// text boxes give it and its strips keep it; the host's text files and
// streams end lines with LF alone.
#pragma once

#include <QByteArray>
#include <QString>

namespace quorvel::os {

// UTF-8 bytes as the program's text: a leading byte order mark dropped, and
// each LF not preceded by CR made CR LF.
QString ToProgramLineBreaks(const QByteArray& utf8);

// Each CR LF becomes LF; a CR on its own is kept.
QString ToHostLineBreaks(const QString& text);

}  // namespace quorvel::os
