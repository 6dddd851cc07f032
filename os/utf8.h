// Text as UTF-8 bytes, and file names, which are bytes to the system and
// need not be UTF-8.
#pragma once

#include <QByteArray>
#include <QString>

namespace quorvel::os {

// File names are bytes to the system, and need not be UTF-8. A name read as
// bytes (a command-line argument, an environment variable) becomes a string
// by FileNameFromBytes: its UTF-8 characters decoded, and each byte that
// does not belong to one kept as the unpaired surrogate U+DC80 to U+DCFF
// (no UTF-8 text decodes to one). FileNameBytes gives exactly those bytes
// back, and is what a file name goes to the system as (Qt's own conversion
// turns such bytes into U+FFFD, which names another file).
QString FileNameFromBytes(const QByteArray& bytes);
QByteArray FileNameBytes(const QString& name);

// The length of the well-formed UTF-8 sequence at the start of `bytes` (1 to
// 4), or 0 when none starts there: a lone continuation byte, a cut sequence,
// an overlong form, a surrogate or a value past U+10FFFF.
int Utf8SequenceLength(const char* bytes, qsizetype size);

}  // namespace quorvel::os
