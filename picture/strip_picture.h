// The strip picture as the window and quorvel-strip both make and read it:
// where it lives, how it is drawn and read back, and the words every
// refusal is told in. Each program only frames these.
#pragma once

#include <QString>
#include <algorithm>
#include <vector>

#include "cipher/codepage.h"
#include "cipher/keys.h"
#include "cipher/strip.h"
#include "os/result.h"
#include "picture/pixels.h"

namespace quorvel::picture {

// The picture's fixed program path and its folder (mapped as HostPath
// does), and the text every key field starts with.
QString PicturePath();
QString PictureFolder();
QString DefaultKey();

// Makes the picture folder when it is missing; an existing file or folder
// of that name counts as found. A failure's sentence says why it could not
// be made.
os::Result<void> MakePictureFolder();

// Draws a strip on a surface as wide as the strip has columns (a picture
// box or a bare image): the background, then each column as a line in its
// colour from the top edge down to `bottom`, which is left out.
template <typename Surface>
void DrawStrip(Surface& surface, const std::vector<Rgb>& columns, int bottom) {
  std::vector<std::uint32_t> packed(columns.size());
  std::transform(columns.begin(), columns.end(), packed.begin(), Packed);
  surface.Cls();
  surface.Lines(packed, 0, bottom);
}

// The strip drawn on a white image `height` pixels high.
Pixels StripImage(const std::vector<Rgb>& columns, int height);

// Reads the strip in a picture (as a picture box or a bare image holds it)
// with the given inner width: the colour of row 0 of each column, -1 for a
// column outside the picture.
DecodeResult DecodePicture(const KeyTriple& keys, float width, const Pixels& image,
                           const CodePage& page);

// What ends every refusal of a text to hide: "Nothing was saved."
QString NothingSaved();
// That `what` ("The text file x.txt", an escaped name) could not be read,
// and the system's reason.
QString ReadRefusal(const QString& what, const QString& reason);

// What the user is told when a text cannot be hidden; `text` is the text as
// encoded, a line break as CR LF. Ends with "Nothing was saved."
QString EncodeRefusal(const EncodeFailure& failure, const QString& text, const CodePage& page);
// The same for a text too long to read whole: it has at least `length`
// characters.
QString TooLongRefusal(qsizetype length, bool at_least);
// A key text, 1 to 3, that is not a key; `source`, when not empty, says
// where the keys came from ("QUORVEL_KEYS", "the keys file k.txt").
QString KeyRefusal(int index, const QString& text, const QString& source = QString());
// A picture whose strip cannot be read.
QString DecodeRefusal(const DecodeFailure& failure, const QString& picture, int width);

}  // namespace quorvel::picture
