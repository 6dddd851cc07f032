// Loading and saving pictures.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include "picture/limits.h"

namespace quorvel::picture {

// Why a picture did not load: its file could not be read, or what it holds
// is not a strip picture the loader takes.
enum class PictureFailure { kNone, kFile, kContent };

struct PictureResult {
  QImage image;   // null on failure
  QString error;  // on failure: what went wrong, naming the host path
  PictureFailure failure = PictureFailure::kNone;
  bool ok() const { return failure == PictureFailure::kNone; }
};

// Loads a picture from a program path (mapped as HostPath does). Only the
// lossless formats a strip keeps its colours in are read, BMP and PNG,
// recognised by the file's content, not its name. Only a regular file (or
// a link to one) of at most kMaxPictureFileBytes is read, as
// ReadRegularFile reads it. A path whose last name is empty, "." or ".."
// (it ends in /, /. or /.., or \ for /) names a folder and is refused, by
// SavePicture too, so that every name that saves also loads.
PictureResult LoadPicture(const QString& program_path);

// The same from bytes in memory (at most kMaxPictureFileBytes of them, as
// read from standard input), with `shown` naming where they came from in
// messages, such as "Standard input".
PictureResult LoadPictureData(const QByteArray& data,
                              const QString& shown = QStringLiteral("The data"));

// The bytes of a 24-bit uncompressed bottom-up BMP file of the image: a
// 54-byte header, then the rows from the bottom up, each padded to a
// multiple of 4 bytes. The colours are written exactly.
QByteArray EncodeBmp24(const QImage& image);

struct SaveResult {
  bool ok = false;
  QString error;  // on failure: a sentence naming the host path and the reason
  QString note;   // on success, when not empty: a side effect the user should know of
};

// Writes the image at a program path, as PNG when its name ends in .png and
// as a 24-bit BMP otherwise, replacing any regular file of that name as
// ReplaceFileWith does: the path always holds either the previous file or the
// whole new one, and a failure names the path and the system's reason. A
// drive path is saved only where its folders are the user's own; a path
// that names a folder (see LoadPicture) is refused.
SaveResult SavePicture(const QImage& image, const QString& program_path);

}  // namespace quorvel::picture
