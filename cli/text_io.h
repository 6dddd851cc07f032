// Text as the command line reads it: UTF-8 bytes, checked.
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

}  // namespace quorvel::cli
