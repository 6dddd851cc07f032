// The program's fixed paths are written as Windows paths ("C:\dpics\pic.bmp").
// On Windows they are used as written. Elsewhere a path X:\a\b maps to
// $XDG_DATA_HOME/quorvel/drive_x/a/b (~/.local/share when XDG_DATA_HOME is
// unset or not absolute, the home folder from the account database when HOME
// is unset or empty), the drive letter matched without case and each
// backslash (or slash) a folder separator. Paths without a drive letter are
// host paths already and are used as they are.
#pragma once

#include <QByteArray>
#include <QString>

namespace quorvel::platform {

// Dir attribute for folders.
inline constexpr int vbDirectory = 16;

// The host path of a program path. Empty when a drive path cannot be mapped
// (a ".." component, which would lead outside the drive's folder).
QString HostPath(const QString& program_path);

// The folder a program path's host path lies below when the path is
// mapped: the data folder, which with the folders below it must be the
// user's own. Empty where the path is used as it is.
QString PrivateRoot(const QString& program_path);

// The name of the file (or, with vbDirectory, the file or folder) at a
// program path; the empty string when there is none.
QString Dir(const QString& pattern, int attributes = 0);

// Creates a folder, with the folders above it on the mapped drive. Where
// drive paths map under the data folder, each folder it makes is the
// user's alone, whatever the umask, and links on the way are followed only
// where a replacement follows them (ReplaceFileWith). On failure returns
// false and sets `error` to a sentence naming the host folder and the
// reason.
bool MkDir(const QString& program_path, QString* error);

// File names are bytes to the system, and need not be UTF-8. A name read as
// bytes (a command-line argument, an environment variable) becomes a string
// by FileNameFromBytes: its UTF-8 characters decoded, and each byte that
// does not belong to one kept as the unpaired surrogate U+DC80 to U+DCFF
// (no UTF-8 text decodes to one). FileNameBytes gives exactly those bytes
// back, and is what a file name goes to the system as (Qt's own conversion
// turns such bytes into U+FFFD, which names another file).
QString FileNameFromBytes(const QByteArray& bytes);
QByteArray FileNameBytes(const QString& name);

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

// The length of the well-formed UTF-8 sequence at the start of `bytes` (1 to
// 4), or 0 when none starts there: a lone continuation byte, a cut sequence,
// an overlong form, a surrogate or a value past U+10FFFF.
int Utf8SequenceLength(const char* bytes, qsizetype size);

}  // namespace quorvel::platform
