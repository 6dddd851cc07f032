#include "picture/picture_files.h"

#include <zlib.h>
#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QtEndian>
#include <algorithm>
#include <cctype>
#include <cstring>

#include "os/files.h"
#include "os/paths.h"
#include "os/shown_name.h"
#include "picture/strip_picture.h"

namespace quorvel::picture {

namespace {

using os::Failure;
using os::Result;

Failure Refused(Failure::Kind kind, const QString& sentence) { return {kind, sentence}; }
Failure Damaged(const QString& sentence) { return {Failure::Kind::kContent, sentence}; }

QString ClaimsTooLarge(const QString& name, qint64 width, qint64 height) {
  return QStringLiteral("%1 claims a picture of %2 x %3 pixels, which is too large.")
      .arg(name, QString::number(width), QString::number(height));
}

// Whether a run-length encoded bitmap's data, from `start`, reaches its end
// (the end-of-bitmap mark, or its last row's end-of-line) inside the file.
bool RleComplete(const QByteArray& file, qint64 start, qint64 height, bool four_bits) {
  const auto* b = reinterpret_cast<const uchar*>(file.constData());
  const qint64 size = file.size();
  qint64 pos = start;
  qint64 rows = 0;
  while (pos + 2 <= size) {
    const uchar count = b[pos];
    const uchar code = b[pos + 1];
    pos += 2;
    if (count > 0) continue;  // a run of one value
    if (code == 0) {          // end of a row
      if (++rows >= height) return true;
    } else if (code == 1) {  // end of the bitmap
      return true;
    } else if (code == 2) {  // a move: two more bytes
      pos += 2;
    } else {  // `code` pixels as they are, padded to a whole word
      qint64 bytes = four_bits ? (code + 1) / 2 : code;
      pos += bytes + (bytes & 1);
    }
  }
  return false;
}

// A bitmap file whose header promises more pixel data than the file holds
// would load with the missing rows made up, and in a bottom-up file the
// missing rows are the top ones, the strip's own. Such a file is refused.
Result<void> CheckBmpComplete(const QByteArray& file, const QString& name) {
  if (file.size() < 26 || !file.startsWith("BM")) return {};
  const auto* h = file.constData();
  const qint64 offset = qFromLittleEndian<quint32>(h + 10);
  const quint32 header_size = qFromLittleEndian<quint32>(h + 14);
  qint64 width = 0, height = 0, bits = 0, colours = 0, entry = 4, masks = 0;
  quint32 compression = 0;
  if (header_size == 12) {  // the old core header
    width = qFromLittleEndian<quint16>(h + 18);
    height = qFromLittleEndian<quint16>(h + 20);
    bits = qFromLittleEndian<quint16>(h + 24);
    entry = 3;
  } else if (header_size >= 40 && file.size() >= 50) {
    width = qFromLittleEndian<qint32>(h + 18);
    height = qAbs(static_cast<qint64>(qFromLittleEndian<qint32>(h + 22)));
    bits = qFromLittleEndian<quint16>(h + 28);
    compression = qFromLittleEndian<quint32>(h + 30);
    colours = qFromLittleEndian<quint32>(h + 46);
    if (header_size == 40 && compression == 3) masks = 12;
    if (header_size == 40 && compression == 6) masks = 16;
  } else {
    return {};  // not a header this check knows; the loader decides
  }
  if (width <= 0 || height <= 0 || bits <= 0) return {};
  if (width * height > kMaxPicturePixels) return Damaged(ClaimsTooLarge(name, width, height));
  if (bits > 8) {
    colours = 0;
  } else if (colours == 0 || colours > (qint64{1} << bits)) {
    colours = qint64{1} << bits;
  }
  // The pixels start at the stored offset, and never inside the headers or
  // the palette, whatever the offset says.
  const qint64 start = std::max(offset, 14 + header_size + masks + colours * entry);
  const Failure cut =
      Damaged(QStringLiteral("%1 is cut short: its picture needs more than its %2 bytes.")
                  .arg(name, QString::number(file.size())));
  if (compression == 1 || compression == 2) {
    return RleComplete(file, start, height, compression == 2) ? Result<void>() : cut;
  }
  if (compression != 0 && compression != 3 && compression != 6) return {};
  const qint64 row_bytes = (width * bits + 31) / 32 * 4;
  return file.size() < start + row_bytes * height ? cut : Result<void>();
}

// The number of bytes a PNG's image data inflates to, from its header (the
// 13 bytes of its IHDR chunk): on every row of every pass a filter byte,
// then the row's pixels packed into whole bytes; an interlaced picture is
// seven passes over parts of it. -1 for a header the decoder refuses before
// it reads any image data, and for a picture larger than the loader takes,
// which is refused by its size.
qint64 PngDataBytes(const uchar* header) {
  const qint64 width = qFromBigEndian<quint32>(header);
  const qint64 height = qFromBigEndian<quint32>(header + 4);
  const int depth = header[8], colour = header[9], interlace = header[12];
  constexpr int kChannels[] = {1, 0, 3, 1, 2, 0, 4};  // for each colour type
  if (colour > 6 || kChannels[colour] == 0 || interlace > 1 || width == 0 || height == 0 ||
      width > kMaxPicturePixels / height) {
    return -1;
  }
  const qint64 bits = qint64{kChannels[colour]} * depth;
  // Pass p holds the pixels from column x0 and row y0 on, every dx-th and dy-th.
  constexpr int kPasses[8][4] = {{0, 0, 1, 1},                              // not interlaced
                                 {0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8},  // Adam7
                                 {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
  qint64 bytes = 0;
  for (int p = interlace; p < (interlace ? 8 : 1); ++p) {
    const auto [x0, y0, dx, dy] = kPasses[p];
    const qint64 columns = width > x0 ? (width - x0 + dx - 1) / dx : 0;
    const qint64 rows = height > y0 ? (height - y0 + dy - 1) / dy : 0;
    if (columns > 0) bytes += rows * (1 + (columns * bits + 7) / 8);
  }
  return bytes;
}

// The decoder inflates all of a PNG's image data, even past the end of the
// picture its header declares, before it gives the picture: a file of
// compressed zeros, a thousandth of what they inflate to, kept it busy for
// minutes. The data is inflated here first, into a small buffer, counted
// and dropped, and a file is refused as soon as its data holds more than
// its picture. Damage of any other kind is left to the decoder, which
// stops at it as this does.
//
// The decoder also inflates compressed text and colour profile chunks,
// bounded by nothing: what this gives, and the decoder is given, is the file
// without the chunks a picture's pixels do not need (the ancillary ones,
// named in lower case, but for the transparency chunk). A file that is not
// a PNG this knows is given as it is.
Result<QByteArray> CheckPngData(const QByteArray& file, const QString& name) {
  const auto* b = reinterpret_cast<const uchar*>(file.constData());
  const qint64 size = file.size();
  if (size < 33 || !file.startsWith("\x89PNG\r\n\x1A\n") || qFromBigEndian<quint32>(b + 8) != 13 ||
      std::memcmp(b + 12, "IHDR", 4) != 0) {
    return file;
  }
  const qint64 declared = PngDataBytes(b + 16);
  z_stream stream{};
  if (declared < 0 || inflateInit(&stream) != Z_OK) return file;
  QByteArray kept;
  kept.reserve(size);
  kept.append(file.left(8));
  QByteArray out(64 * 1024, Qt::Uninitialized);
  qint64 inflated = 0;
  int status = Z_OK;
  // Each chunk: its length, type, data and checksum. The decoder inflates
  // the data of a chunk cut short, or with a wrong checksum, before it
  // notices, and so does this.
  for (qint64 at = 8; at + 8 <= size && inflated <= declared;) {
    const qint64 length = std::min<qint64>(qFromBigEndian<quint32>(b + at), size - at - 8);
    if (std::isupper(b[at + 4]) || std::memcmp(b + at + 4, "tRNS", 4) == 0) {
      kept.append(file.mid(at, length + 12));
    }
    if (std::memcmp(b + at + 4, "IEND", 4) == 0) break;
    if (std::memcmp(b + at + 4, "IDAT", 4) == 0 && status == Z_OK) {
      stream.next_in = const_cast<uchar*>(b + at + 8);
      stream.avail_in = static_cast<uInt>(length);
      do {
        stream.next_out = reinterpret_cast<uchar*>(out.data());
        stream.avail_out = static_cast<uInt>(out.size());
        status = inflate(&stream, Z_NO_FLUSH);
        inflated += out.size() - stream.avail_out;
      } while (status == Z_OK && stream.avail_out == 0 && inflated <= declared);
      if (status == Z_BUF_ERROR) status = Z_OK;  // all this chunk's data used
    }
    at += length + 12;
  }
  inflateEnd(&stream);
  if (inflated <= declared) return kept;
  return Damaged(
      QStringLiteral("%1 is damaged: its compressed data holds more than the %2 x %3 picture "
                     "it declares.")
          .arg(name, QString::number(qFromBigEndian<quint32>(b + 16)),
               QString::number(qFromBigEndian<quint32>(b + 20))));
}

// A pixel that points past its palette has no colour of its own.
Result<void> CheckPalette(const QImage& image, const QString& name) {
  if (image.colorCount() == 0) return {};
  const int colours = static_cast<int>(image.colorCount());
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const int index = image.format() == QImage::Format_Indexed8 ? image.constScanLine(y)[x]
                                                                  : image.pixelIndex(x, y);
      if (index >= colours) {
        return Damaged(
            QStringLiteral("%1 is damaged: a pixel refers to colour %2 of a palette of %3.")
                .arg(name, QString::number(index), QString::number(colours)));
      }
    }
  }
  return {};
}

// Whether the file is in the layout strips are written in, 24 bits a pixel
// and uncompressed, whole: ReadPlainBmp24 reads it.
bool IsPlainBmp24(const QByteArray& file) {
  if (file.size() < 54) return false;
  const auto* b = reinterpret_cast<const uchar*>(file.constData());
  const quint32 header_size = qFromLittleEndian<quint32>(b + 14);
  const qint64 offset = qFromLittleEndian<quint32>(b + 10);
  const qint64 width = qFromLittleEndian<qint32>(b + 18);
  const qint64 stored_height = qFromLittleEndian<qint32>(b + 22);
  const qint64 height = qAbs(stored_height);
  if (header_size < 40 || offset < 14 + header_size || width <= 0 || height == 0 ||
      width * height > kMaxPicturePixels || qFromLittleEndian<quint16>(b + 26) != 1 ||
      qFromLittleEndian<quint16>(b + 28) != 24 || qFromLittleEndian<quint32>(b + 30) != 0) {
    return false;
  }
  return offset + ((3 * width + 3) & ~qint64{3}) * height <= file.size();
}

// A picture in the strips' own layout, read directly: Qt's general reader
// takes ten times as long over it. Null when there is no memory for it.
QImage ReadPlainBmp24(const QByteArray& file) {
  const auto* b = reinterpret_cast<const uchar*>(file.constData());
  const qint64 offset = qFromLittleEndian<quint32>(b + 10);
  const qint64 width = qFromLittleEndian<qint32>(b + 18);
  const qint64 stored_height = qFromLittleEndian<qint32>(b + 22);
  const qint64 height = qAbs(stored_height);
  const qint64 row_bytes = (3 * width + 3) & ~qint64{3};
  QImage image(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB32);
  if (image.isNull()) return image;
  for (qint64 y = 0; y < height; ++y) {
    // Rows are stored from the bottom up unless the height is negative.
    const uchar* in = b + offset + row_bytes * (stored_height > 0 ? height - 1 - y : y);
    auto* out = reinterpret_cast<QRgb*>(image.scanLine(static_cast<int>(y)));
    for (qint64 x = 0; x < width; ++x, in += 3) out[x] = qRgb(in[2], in[1], in[0]);
  }
  return image;
}

Result<QImage> ReadFrom(const QByteArray& file, const QString& name) {
  // Only formats that keep every colour exactly, each read by a decoder
  // whose work is bounded by the picture's size.
  const char* format = file.startsWith("BM")                  ? "bmp"
                       : file.startsWith("\x89PNG\r\n\x1A\n") ? "png"
                                                              : nullptr;
  if (!format) {
    return Refused(Failure::Kind::kContent,
                   QStringLiteral("%1 is not a BMP or PNG picture, the formats a strip is kept in.")
                       .arg(name));
  }
  if (const Result<void> whole = CheckBmpComplete(file, name); !whole.ok()) return whole.failure();
  const Result<QByteArray> decoded = CheckPngData(file, name);
  if (!decoded.ok()) return decoded.failure();
  if (IsPlainBmp24(file)) {
    // Without the memory for it, the general reader tells why.
    if (QImage plain = ReadPlainBmp24(file); !plain.isNull()) return plain;
  }
  QBuffer device;
  device.setData(decoded.value());
  device.open(QIODevice::ReadOnly);
  QImageReader reader(&device, format);
  reader.setAutoDetectImageFormat(false);
  reader.setAllocationLimit(static_cast<int>(kMaxPicturePixels * 4 / (1024 * 1024)));
  const QSize size = reader.size();
  if (size.isValid() &&
      static_cast<qint64>(size.width()) * static_cast<qint64>(size.height()) > kMaxPicturePixels) {
    return Refused(Failure::Kind::kContent, ClaimsTooLarge(name, size.width(), size.height()));
  }
  QImage image;
  if (!reader.read(&image) || image.isNull()) {
    return Refused(
        Failure::Kind::kContent,
        QStringLiteral("%1 could not be read as a picture: %2.").arg(name, reader.errorString()));
  }
  if (const Result<void> coloured = CheckPalette(image, name); !coloured.ok())
    return coloured.failure();
  return image;
}

// A picture is a file, and its name is read the same way by a save and a
// load: a path whose last name is empty, "." or ".." names a folder, which
// the system would resolve to another name than the one the user reads
// ("dir/x.jpg/." to a file x.jpg, "dir/new/." to a new file "new"). Both /
// and \ end a name here, as in a program path. Such a path is refused: the
// failure's sentence says why, as a clause.
Result<void> PictureName(const QString& program_path) {
  const QString last = os::LastName(program_path);
  if (program_path.isEmpty() || (!last.isEmpty() && last != u"." && last != u"..")) return {};
  // The name from its slash on.
  return Failure{Failure::Kind::kFile,
                 QStringLiteral("its name ends in \"%1\", which names a folder, not a picture file")
                     .arg(program_path.right(std::min(last.size() + 1, program_path.size())))};
}

void PutLe16(char* at, quint16 v) { qToLittleEndian(v, at); }
void PutLe32(char* at, quint32 v) { qToLittleEndian(v, at); }

}  // namespace

std::optional<QString> Extension(const QString& name) {
  const QString last = os::LastName(name);
  const qsizetype dot = last.lastIndexOf(u'.');
  if (dot <= 0 || last == u"..") return std::nullopt;
  return last.mid(dot + 1);
}

PictureFormat FormatOfName(const QString& name) {
  if (name.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)) return PictureFormat::kPng;
  const std::optional<QString> extension = Extension(name);
  return !extension || extension->compare(QStringLiteral("bmp"), Qt::CaseInsensitive) == 0
             ? PictureFormat::kBmp
             : PictureFormat::kNone;
}

Result<QImage> LoadPicture(const QString& program_path) {
  if (const Result<void> named = PictureName(program_path); !named.ok()) {
    return Refused(Failure::Kind::kFile,
                   ReadRefusal(os::ShownName(program_path), named.failure().sentence));
  }
  const QString host = os::HostPath(program_path);
  if (host.isEmpty()) {
    return Refused(Failure::Kind::kFile,
                   QStringLiteral("%1 leads outside its drive.").arg(os::ShownName(program_path)));
  }
  const QString shown = os::ShownName(host);
  const Result<QByteArray> file = os::ReadRegularFile(host, kMaxPictureFileBytes);
  if (!file.ok() && file.failure().kind == Failure::Kind::kTooLarge) {
    return Refused(Failure::Kind::kContent,
                   QStringLiteral("%1 is larger than %2 bytes, too large to be a strip picture.")
                       .arg(shown, QString::number(kMaxPictureFileBytes)));
  }
  if (!file.ok()) return Refused(Failure::Kind::kFile, ReadRefusal(shown, file.failure().sentence));
  return ReadFrom(file.value(), shown);
}

Result<QImage> LoadPictureData(const QByteArray& data, const QString& shown) {
  return ReadFrom(data, shown);
}

QByteArray EncodeBmp24(const QImage& source) {
  const QImage image =
      source.format() == QImage::Format_RGB32 || source.format() == QImage::Format_ARGB32
          ? source
          : source.convertToFormat(QImage::Format_RGB32);
  const int width = image.width();
  const int height = image.height();
  const qint64 row_bytes = (3LL * width + 3) & ~3LL;
  const qint64 data_bytes = row_bytes * height;
  QByteArray bytes(static_cast<qsizetype>(54 + data_bytes), Qt::Uninitialized);
  char* h = bytes.data();
  std::fill_n(h, 54, '\0');
  // BITMAPFILEHEADER
  h[0] = 'B';
  h[1] = 'M';
  PutLe32(h + 2, static_cast<quint32>(54 + data_bytes));
  PutLe32(h + 10, 54);
  // BITMAPINFOHEADER: positive height, so rows are stored bottom-up
  PutLe32(h + 14, 40);
  PutLe32(h + 18, static_cast<quint32>(width));
  PutLe32(h + 22, static_cast<quint32>(height));
  PutLe16(h + 26, 1);
  PutLe16(h + 28, 24);
  PutLe32(h + 30, 0);  // BI_RGB
  PutLe32(h + 34, static_cast<quint32>(data_bytes));
  PutLe32(h + 38, 3780);  // 96 dots per inch, in pixels per metre
  PutLe32(h + 42, 3780);
  for (int y = 0; y < height; ++y) {
    const QRgb* in = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    auto* out = reinterpret_cast<unsigned char*>(h + 54 + row_bytes * (height - 1 - y));
    if (y > 0 &&
        std::equal(in, in + width, reinterpret_cast<const QRgb*>(image.constScanLine(y - 1)))) {
      // A row like the one above it, as every row of a strip is.
      std::copy_n(out + row_bytes, row_bytes, out);
      continue;
    }
    for (int x = 0; x < width; ++x) {
      const QRgb c = in[x];
      out[0] = static_cast<unsigned char>(qBlue(c));
      out[1] = static_cast<unsigned char>(qGreen(c));
      out[2] = static_cast<unsigned char>(qRed(c));
      out += 3;
    }
    std::fill_n(out, row_bytes - 3LL * width, '\0');  // each row's padding
  }
  return bytes;
}

Result<os::Replaced> SavePicture(const QImage& image, const QString& program_path) {
  const auto refused = [](const QString& shown, const QString& reason) {
    return Refused(Failure::Kind::kFile,
                   QStringLiteral("The picture could not be saved to %1: %2.").arg(shown, reason));
  };
  if (const Result<void> named = PictureName(program_path); !named.ok())
    return refused(os::ShownName(program_path), named.failure().sentence);
  const QString host = os::HostPath(program_path);
  if (host.isEmpty())
    return refused(os::ShownName(program_path), QStringLiteral("the path leads outside its drive"));
  const QString shown = os::ShownName(host);
  if (image.isNull() || image.width() == 0 || image.height() == 0) {
    // Nothing drawn (or no memory to draw in): the old picture is kept.
    return refused(shown, QStringLiteral("there is no picture to save"));
  }
  // PNG when the name asks for it; it keeps every colour as BMP does.
  QByteArray bytes;
  if (FormatOfName(host) == PictureFormat::kPng) {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image.convertToFormat(QImage::Format_RGB32)))
      return refused(shown, writer.errorString());
  } else {
    bytes = EncodeBmp24(image);
  }
  const Result<os::Replaced> replaced =
      os::ReplaceFileWith(host, bytes, os::PrivateRoot(program_path));
  if (!replaced.ok()) return refused(shown, replaced.failure().sentence);
  const QString& note = replaced.value().note;
  if (note.isEmpty()) return os::Replaced{};
  return os::Replaced{QStringLiteral("The picture was saved to %1, but %2.").arg(shown, note)};
}

}  // namespace quorvel::picture
