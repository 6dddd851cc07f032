// PNG pictures read into plain pixels and written from them, through libspng.
#pragma once

#include <QByteArray>
#include <QString>

#include "os/result.h"
#include "picture/limits.h"
#include "picture/pixels.h"

namespace quorvel::picture {

// The pixels of a PNG file in memory, `shown` naming it in refusals. Every
// colour type and depth is read, interlaced or not: 16-bit channels are
// rounded to 8 bits, palettes and grey levels become their colours, and
// transparency is dropped, never blended in. The compressed picture data is
// inflated once and only as far as the picture its header declares, and a
// file whose data holds more than that picture is refused, as are a file
// cut short, a wrong checksum in a chunk the picture needs, and a picture of
// more than `max_pixels`. Text and colour profile chunks are skipped unread.
os::Result<Pixels> ReadPng(const QByteArray& file, const QString& shown,
                           qint64 max_pixels = kMaxPicturePixels);

// The pixels as an 8-bit RGB PNG file, not interlaced; empty for a picture
// without pixels.
QByteArray WritePng(const Pixels& pixels);

}  // namespace quorvel::picture
