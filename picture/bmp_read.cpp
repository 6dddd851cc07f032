#include "picture/bmp_read.h"

#include <QtEndian>
#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cstdlib>

namespace quorvel::picture {

namespace {

os::Failure Refusal(const QString& sentence) { return {os::Failure::Kind::kContent, sentence}; }

// One colour of a 16- or 32-bit pixel, cut out by its mask and widened to 8
// bits as 1.2.0 widened it: the value times 256 over the number of values
// the mask holds (a 5-bit 31 gives 248, a 6-bit 63 gives 252). A channel of
// more than 8 bits keeps its 8 highest; an empty mask gives 0.
class Channel {
 public:
  explicit Channel(quint32 mask) : mask_(mask), shift_(mask ? std::countr_zero(mask) : 0) {
    const quint32 values = mask >> shift_;
    if (values < 256) {
      scale_ = 256 / (values + 1);
    } else {
      narrow_ = std::bit_width(values) - 8;
    }
  }
  uchar operator()(quint32 pixel) const {
    return static_cast<uchar>(((pixel & mask_) >> shift_ >> narrow_) * scale_);
  }

 private:
  quint32 mask_;
  int shift_;
  int narrow_ = 0;
  quint32 scale_ = 1;
};

// What the headers say about the pixels.
struct Layout {
  qint64 width = 0;
  qint64 height = 0;  // rows, whichever way they are stored
  bool top_down = false;
  int bits = 0;
  quint32 compression = 0;  // 0 none, 1 RLE8, 2 RLE4, 3 and 6 bit fields
  std::array<quint32, 3> masks{};
  int colours = 0;                       // entries of the palette read
  std::array<uchar, 256 * 3> palette{};  // red, green and blue of each
  qint64 pixels_at = 0;
};

QString CutShort(const QString& shown, qint64 size) {
  return QStringLiteral("%1 is cut short: its picture needs more than its %2 bytes.")
      .arg(shown, QString::number(size));
}

QString PastPalette(const QString& shown, int index, int colours) {
  return QStringLiteral("%1 is damaged: a pixel refers to colour %2 of a palette of %3.")
      .arg(shown, QString::number(index), QString::number(colours));
}

os::Result<Layout> ReadLayout(const QByteArray& file, const QString& shown, qint64 max_pixels) {
  const auto* b = reinterpret_cast<const uchar*>(file.constData());
  const qint64 size = file.size();
  if (!file.startsWith("BM")) return Refusal(QStringLiteral("%1 is not a BMP picture.").arg(shown));
  if (size < 18) return Refusal(CutShort(shown, size));
  // The header's size tells its kind: OS/2 1.x, Windows (the first one and
  // its later versions), or OS/2 2.x, whose header may stop after any field.
  const quint32 header = qFromLittleEndian<quint32>(b + 14);
  const bool core = header == 12;
  const bool windows =
      header == 40 || header == 52 || header == 56 || header == 108 || header == 124;
  if (!core && !windows && (header < 16 || header > 64)) {
    return Refusal(QStringLiteral("%1 has a bitmap header of %2 bytes, a kind this program does "
                                  "not read.")
                       .arg(shown, QString::number(header)));
  }
  if (size < 14 + qint64{header}) return Refusal(CutShort(shown, size));
  // A field of the header, or 0 where a short header leaves it out.
  const auto field = [&](quint32 at, quint32 bytes) -> quint32 {
    if (at + bytes > header) return 0;
    return bytes == 2 ? qFromLittleEndian<quint16>(b + 14 + at)
                      : qFromLittleEndian<quint32>(b + 14 + at);
  };
  Layout l;
  qint64 stored_height = 0;
  quint32 used = 0;  // palette entries, when not all that the depth allows
  if (core) {
    l.width = field(4, 2);
    stored_height = field(6, 2);
    l.bits = static_cast<int>(field(10, 2));
  } else {
    l.width = static_cast<qint32>(field(4, 4));
    stored_height = static_cast<qint32>(field(8, 4));
    l.bits = static_cast<int>(field(14, 2));
    l.compression = field(16, 4);
    used = field(32, 4);
  }

  const quint32 c = l.compression;
  if (windows && (c == 4 || c == 5)) {
    return Refusal(
        QStringLiteral("%1 holds a %2 picture inside a BMP file, which this program does not read.")
            .arg(shown, c == 4 ? QStringLiteral("JPEG") : QStringLiteral("PNG")));
  }
  if (!windows && (c == 3 || c == 4)) {
    return Refusal(
        QStringLiteral("%1 uses OS/2 %2 compression, which this program does not read.")
            .arg(shown, c == 3 ? QStringLiteral("Huffman 1D") : QStringLiteral("RLE24")));
  }
  if (c > 3 && !(windows && c == 6)) {
    return Refusal(
        QStringLiteral("%1 uses compression number %2, which this program does not read.")
            .arg(shown, QString::number(c)));
  }
  const int bits = l.bits;
  if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
    return Refusal(QStringLiteral("%1 has %2 bits a pixel, a depth this program does not read.")
                       .arg(shown, QString::number(bits)));
  }
  if ((c == 1 && bits != 8) || (c == 2 && bits != 4) || (c >= 3 && bits != 16 && bits != 32)) {
    const QString kind = c == 1   ? QStringLiteral("RLE8")
                         : c == 2 ? QStringLiteral("RLE4")
                                  : QStringLiteral("bit-field");
    return Refusal(
        QStringLiteral("%1 is damaged: its %2 compression does not go with %3 bits a pixel.")
            .arg(shown, kind, QString::number(bits)));
  }

  l.top_down = stored_height < 0;
  l.height = std::abs(stored_height);
  if (l.width <= 0 || l.height == 0) {
    return Refusal(QStringLiteral("%1 is damaged: it claims a picture of %2 x %3 pixels.")
                       .arg(shown, QString::number(l.width), QString::number(l.height)));
  }
  if (l.height > INT_MAX || l.width * l.height > max_pixels) {
    return Refusal(QStringLiteral("%1 claims a picture of %2 x %3 pixels, which is too large.")
                       .arg(shown, QString::number(l.width), QString::number(l.height)));
  }
  if ((c == 1 || c == 2) && l.top_down) {
    return Refusal(QStringLiteral("%1 is damaged: its compressed rows claim to be stored from the "
                                  "top down, which compression does not allow.")
                       .arg(shown));
  }

  // The bit fields follow the first Windows header, and are part of the
  // later ones; without them, 16 bits are 5 of each colour.
  qint64 at = 14 + qint64{header};
  if (c == 3 || c == 6) {
    if (header == 40) at += c == 3 ? 12 : 16;
    if (size < at) return Refusal(CutShort(shown, size));
    for (int i = 0; i < 3; ++i) l.masks[i] = qFromLittleEndian<quint32>(b + 54 + 4 * i);
  } else if (bits == 16) {
    l.masks = {0x7C00, 0x03E0, 0x001F};
  } else {
    l.masks = {0xFF0000, 0x00FF00, 0x0000FF};
  }
  // A palette of as many colours as the header says, at most as many as
  // the pixels can name: 3 bytes each after the OS/2 1.x header, 4 after
  // the others, blue first.
  if (bits <= 8) {
    const int most = 1 << bits;
    const int entry = core ? 3 : 4;
    l.colours = used == 0 || used > quint32(most) ? most : static_cast<int>(used);
    if (size < at + qint64{l.colours} * entry) return Refusal(CutShort(shown, size));
    for (int i = 0; i < l.colours; ++i, at += entry) {
      l.palette[3 * i] = b[at + 2];
      l.palette[3 * i + 1] = b[at + 1];
      l.palette[3 * i + 2] = b[at];
    }
  }
  // The pixels start where the file says, but never inside the headers or
  // the palette.
  l.pixels_at = std::max<qint64>(at, static_cast<qint32>(qFromLittleEndian<quint32>(b + 10)));
  if (c == 1 || c == 2) return l;
  const qint64 row = (l.width * bits + 31) / 32 * 4;
  if (size < l.pixels_at || row > (size - l.pixels_at) / l.height) {
    return Refusal(CutShort(shown, size));
  }
  return l;
}

// Runs the run-length encoded data of a picture: with `out` null, only
// checks it and says why it is refused (or nothing); otherwise writes the
// pixels it sets into `out`. Rows are stored from the bottom up: the strip's
// own, the top one, comes last, and must be whole. A row's runs may fill
// the padding an uncompressed row would have (ImageMagick encodes its rows
// so); those pixels are dropped.
QString RunRle(const QByteArray& file, const Layout& l, const QString& shown, Pixels* out) {
  const auto* b = reinterpret_cast<const uchar*>(file.constData());
  const qint64 size = file.size();
  const bool four = l.bits == 4;
  const qint64 w = l.width;
  const qint64 h = l.height;
  const qint64 padded = four ? (w + 7) / 8 * 8 : (w + 3) / 4 * 4;
  qint64 at = l.pixels_at;
  qint64 x = 0;
  qint64 y = 0;    // from the bottom
  qint64 top = 0;  // pixels of the top row set
  while (y < h) {
    if (size - at < 2) return CutShort(shown, size);
    const int count = b[at];
    const int code = b[at + 1];
    at += 2;
    if (count > 0 || code > 2) {
      // `count` pixels of one colour (of two taking turns, at 4 bits), or
      // `code` pixels given one by one and padded to a whole word.
      const int n = count > 0 ? count : code;
      const qint64 bytes = four ? (n + 1) / 2 : n;
      if (x + n > padded) {
        return QStringLiteral("%1 is damaged: its compressed pixels run past the end of a row.")
            .arg(shown);
      }
      if (count == 0 && size - at < bytes) return CutShort(shown, size);
      for (int i = 0; i < n; ++i, ++x) {
        const int packed = count > 0 ? code : b[at + (four ? i / 2 : i)];
        const int index = !four ? packed : i % 2 ? packed & 15 : packed >> 4;
        if (index >= l.colours) return PastPalette(shown, index, l.colours);
        if (out && x < w && h - 1 - y < out->height) {
          std::copy_n(&l.palette[3 * std::size_t(index)], 3,
                      out->At(static_cast<int>(x), static_cast<int>(h - 1 - y)));
        }
      }
      if (y == h - 1) top += std::min(x, w) - std::min(x - n, w);
      if (count == 0) at += bytes + (bytes & 1);
    } else if (code == 0) {  // the end of a row
      x = 0;
      ++y;
    } else if (code == 1) {  // the end of the picture
      break;
    } else {  // a move right and up
      if (size - at < 2) return CutShort(shown, size);
      x += b[at];
      y += b[at + 1];
      at += 2;
      if (x > padded) {
        return QStringLiteral("%1 is damaged: its compressed pixels run past the end of a row.")
            .arg(shown);
      }
      if (y >= h) {
        return QStringLiteral(
                   "%1 is damaged: its compressed pixels run past the end of the "
                   "picture.")
            .arg(shown);
      }
    }
  }
  if (top < w) {
    return QStringLiteral(
               "%1 is damaged: its compressed pixels end before its top row, which "
               "holds the strip, is whole.")
        .arg(shown);
  }
  return QString();
}

}  // namespace

os::Result<Pixels> ReadBmp(const QByteArray& file, const QString& shown, qint64 max_pixels,
                           Rows rows) {
  os::Result<Layout> read = ReadLayout(file, shown, max_pixels);
  if (!read.ok()) return read.failure();
  const Layout& l = read.value();
  const int width = static_cast<int>(l.width);
  const int height = static_cast<int>(l.height);
  const int kept = rows == Rows::kTop ? 1 : height;

  if (l.compression == 1 || l.compression == 2) {
    // Checked whole before anything is allocated; pixels the data leaves
    // unset (by a move, or an end before the rows' ends) get colour 0.
    if (const QString refusal = RunRle(file, l, shown, nullptr); !refusal.isEmpty()) {
      return Refusal(refusal);
    }
    Pixels pixels(width, kept);
    for (std::size_t i = 0; i < pixels.rgb.size(); i += 3) {
      std::copy_n(l.palette.begin(), 3, pixels.rgb.begin() + std::ptrdiff_t(i));
    }
    (void)RunRle(file, l, shown, &pixels);
    return pixels;
  }

  const auto* b = reinterpret_cast<const uchar*>(file.constData());
  const qint64 row = (l.width * l.bits + 31) / 32 * 4;
  const Channel red(l.masks[0]), green(l.masks[1]), blue(l.masks[2]);
  const int index_mask = (1 << std::min(l.bits, 8)) - 1;
  Pixels pixels(width, kept);
  // The rows past those kept are only checked, where a pixel can name a
  // colour past the palette.
  const bool checked = l.bits <= 8 && l.colours < (1 << l.bits);
  for (int y = 0; y < height && (y < kept || checked); ++y) {
    const uchar* in = b + l.pixels_at + row * (l.top_down ? y : height - 1 - y);
    uchar* out = y < kept ? pixels.At(0, y) : nullptr;
    if (l.bits == 24) {
      for (int x = 0; x < width; ++x, in += 3, out += 3) {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
      }
    } else if (l.bits > 8) {
      for (int x = 0; x < width; ++x, out += 3) {
        const quint32 p = l.bits == 16 ? qFromLittleEndian<quint16>(in + 2 * x)
                                       : qFromLittleEndian<quint32>(in + 4 * x);
        out[0] = red(p);
        out[1] = green(p);
        out[2] = blue(p);
      }
    } else {
      for (int x = 0; x < width; ++x) {
        // The first pixel of a byte in its highest bits.
        const qint64 bit = qint64{x} * l.bits;
        const int index =
            l.bits == 8 ? in[x] : (in[bit >> 3] >> (8 - l.bits - (bit & 7))) & index_mask;
        if (index >= l.colours) return Refusal(PastPalette(shown, index, l.colours));
        if (out) std::copy_n(&l.palette[3 * std::size_t(index)], 3, out + 3 * x);
      }
    }
  }
  return pixels;
}

}  // namespace quorvel::picture
