// The limits every picture reader keeps to.
#pragma once

#include <QtGlobal>

namespace quorvel::picture {

// The largest picture the loader accepts, in pixels: far above any strip,
// and small enough that a header claiming an absurd size fails at once.
inline constexpr qint64 kMaxPicturePixels = 32LL * 1024 * 1024;
// The largest picture file read: no picture of the largest size needs more
// than 4 bytes a pixel.
inline constexpr qint64 kMaxPictureFileBytes = 4 * kMaxPicturePixels + 1024 * 1024;

}  // namespace quorvel::picture
