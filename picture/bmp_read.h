// Reading a BMP file into plain pixels, with no graphics library.
#pragma once

#include <QByteArray>
#include <QString>

#include "os/result.h"
#include "picture/limits.h"
#include "picture/pixels.h"

namespace quorvel::picture {

// The pixels of a BMP file held in memory, in every layout that keeps a
// strip's colours exactly: the OS/2 1.x (12-byte) and 2.x (16- to 64-byte)
// headers and the Windows headers of 40, 52, 56, 108 and 124 bytes; 1, 2, 4
// and 8 bits a pixel through a palette, 16 and 32 bits with or without bit
// fields, 24 bits; RLE8 and RLE4; rows stored from the bottom up or (but for
// compressed ones) from the top down. Alpha is dropped.
//
// Anything else is refused with a sentence naming the file as `shown` (a
// name already escaped for messages, or such as "Standard input") and what
// is wrong: a file cut short, a pixel past its palette, compressed data that
// runs past its row or picture or leaves part of the top row (the strip's)
// unset, a picture of no pixels or of more than `max_pixels`, a layout not
// read. Nothing is allocated before the header's size is checked against
// `max_pixels` and the file's length; the time taken is linear in the
// file's and the picture's size. With Rows::kTop only the top row is kept,
// and the file is refused or taken as it is whole.
os::Result<Pixels> ReadBmp(const QByteArray& file, const QString& shown,
                           qint64 max_pixels = kMaxPicturePixels, Rows rows = Rows::kAll);

}  // namespace quorvel::picture
