// Text as the command line exchanges it: UTF-8 bytes with LF line breaks,
// while the program counts a line break as the two characters CR LF.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace quorvel::cli {

// The offset of the first byte that does not belong to a well-formed UTF-8
// sequence (overlong forms, surrogates and code points past U+10FFFF are
// not well-formed), or no value when the whole text is well-formed.
std::optional<qsizetype> FirstInvalidUtf8(const QByteArray& bytes);

// The bytes less a character cut short at their end, where reading stopped
// in the middle of it; whether there was one.
bool DropCutCharacter(QByteArray& bytes);

// UTF-8 bytes as the program's text: a leading byte order mark dropped, and
// each LF not preceded by CR made CR LF.
QString ToProgramLineBreaks(const QByteArray& utf8);

// Each CR LF becomes LF; a CR on its own is kept.
QString ToHostLineBreaks(const QString& text);

}  // namespace quorvel::cli
