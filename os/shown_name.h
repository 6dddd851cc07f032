// Names and texts as messages show them: whatever a terminal would act on
// written as escapes.
#pragma once

#include <QString>

namespace quorvel::os {

// A name (of a file or folder, from the user, a path or the environment) as
// a message shows it: everything a terminal would act on, or that would
// reorder or hide part of the line, written as escapes (\n, \r, \t, \xHH,
// \uHHHH; see EscapeControls), so that the name stays on the message's line
// as it is, and cannot pass for a line of its own. Everything else is kept
// as it is, backslashes too, and the bytes 0xA0 to 0xFF of a name that is
// not UTF-8 (FileNameFromBytes).
QString ShownName(const QString& name);

// How EscapeControls shows a text: as a name on a message's line (every
// control character escaped, line breaks and tabs among them, and the
// invisible marks U+200E, U+200F and U+061C that change the direction of
// what is next to them), or as a text on a terminal of its own lines (line
// feeds and tabs kept; a lone carriage return, which would overwrite the
// line, escaped), where those marks belong to right-to-left text and are
// kept.
enum class Escaping { kName, kText };

// The one escaping of what a terminal would act on: C0 controls, DEL and
// the C1 controls U+0080 to U+009F as \xHH (\n, \r, \t for those three),
// and so the bytes 0x80 to 0x9F of a name that is not UTF-8 (U+DC80 to
// U+DC9F, FileNameFromBytes), which a terminal would take for C1 controls
// too; U+2028, U+2029 and the bidirectional embedding, override and
// isolate controls U+202A to U+202E and U+2066 to U+2069, which would
// reorder what follows them, as \uHHHH. Backslashes are kept as they are.
QString EscapeControls(const QString& text, Escaping how);

}  // namespace quorvel::os
