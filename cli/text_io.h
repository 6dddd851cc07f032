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

// Each LF not preceded by CR becomes CR LF; everything else is kept.
QString ToProgramLineBreaks(const QString& text);

// Each CR LF becomes LF; a CR on its own is kept.
QString ToHostLineBreaks(const QString& text);

// The 1-based line and column of the character at a 0-based UTF-16 index:
// lines end at LF, and each UTF-16 unit before it counts as a column (the
// characters before a refused one all have codes, so each is one unit).
struct LineColumn {
  qsizetype line = 1;
  qsizetype column = 1;
};
LineColumn LineColumnAt(const QString& text, qsizetype index);

}  // namespace quorvel::cli
