// Loading and saving pictures.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

#include "os/files.h"
#include "os/result.h"

#include "picture/limits.h"
#include "picture/pixels.h"

namespace quorvel::picture {

// Loads a picture from a program path (mapped as HostPath does). Only the
// lossless formats a strip keeps its colours in are read, BMP and PNG,
// recognised by the file's content, not its name. Only a regular file (or
// a link to one) of at most kMaxPictureFileBytes is read, as
// ReadRegularFile reads it. A path whose last name is empty, "." or ".."
// (it ends in /, /. or /.., or \ for /) names a folder and is refused, by
// SavePicture too, so that every name that saves also loads. A failure is
// of the kind kFile when the file could not be read, kContent when what it
// holds is not a strip picture the loader takes; its sentence names the
// host path. With Rows::kTop, only the picture's top row is kept (a picture
// 1 pixel high); the file is refused or taken as it is whole.
os::Result<Pixels> LoadPicture(const QString& program_path, Rows rows = Rows::kAll);

// The same from bytes in memory (at most kMaxPictureFileBytes of them, as
// read from standard input), with `shown` naming where they came from in
// messages, such as "Standard input"; a picture of more than `max_pixels`
// is refused.
os::Result<Pixels> LoadPictureData(const QByteArray& data,
                                   const QString& shown = QStringLiteral("The data"),
                                   qint64 max_pixels = kMaxPicturePixels, Rows rows = Rows::kAll);

// The bytes of a 24-bit uncompressed bottom-up BMP file of the image: a
// 54-byte header, then the rows from the bottom up, each padded to a
// multiple of 4 bytes. The colours are written exactly.
QByteArray EncodeBmp24(const Pixels& image);

// Writes the image at a program path, as PNG when its name ends in .png and
// as a 24-bit BMP otherwise, replacing any regular file of that name as
// ReplaceFileWith does: the path always holds either the previous file or the
// whole new one, and a failure names the path and the system's reason. A
// drive path is saved only where its folders are the user's own; a path
// that names a folder (see LoadPicture) is refused. A failure's sentence,
// and the note of a save with a side effect the user should know of, name
// the host path.
os::Result<os::Replaced> SavePicture(const Pixels& image, const QString& program_path);

// The extension of a picture name, without its dot: what follows the last
// dot of its last part (LastName). A name whose last part has no dot but a
// leading one (".hidden") has none, nor has one whose last part is ".." (a
// folder's, which the save refuses).
std::optional<QString> Extension(const QString& name);

// The format a picture name asks for: PNG when it ends in .png, BMP when it
// ends in .bmp or has no extension (in any case), and none for any other.
enum class PictureFormat { kBmp, kPng, kNone };
PictureFormat FormatOfName(const QString& name);

}  // namespace quorvel::picture
