// Loading and saving pictures.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace quorvel::platform {

struct PictureResult {
  QImage image;   // null on failure
  QString error;  // on failure: what went wrong, naming the host path
  bool ok() const { return !image.isNull(); }
};

// The largest picture the loader accepts, in pixels: far above any strip,
// and small enough that a header claiming an absurd size fails at once.
inline constexpr qint64 kMaxPicturePixels = 64LL * 1024 * 1024;

// Loads a picture from a program path (mapped as HostPath does). The format
// is decided from the file's content, not its name.
PictureResult LoadPicture(const QString& program_path);

// The same from bytes in memory.
PictureResult LoadPictureData(const QByteArray& data);

// The bytes of a 24-bit uncompressed bottom-up BMP file of the image: a
// 54-byte header, then the rows from the bottom up, each padded to a
// multiple of 4 bytes. The colours are written exactly.
QByteArray EncodeBmp24(const QImage& image);

struct SaveResult {
  bool ok = false;
  QString error;  // on failure: a sentence naming the host path and the reason
};

// Writes the image as a 24-bit BMP file at a program path, replacing any
// file of that name. The file is written next to the target under another
// name and renamed over it when complete, so the path always holds either
// the previous file or the new one, never a part of either.
SaveResult SavePicture(const QImage& image, const QString& program_path);

}  // namespace quorvel::platform
