#include "picture/picture_files.h"

#include <QtEndian>
#include <algorithm>

#include "os/files.h"
#include "os/paths.h"
#include "os/shown_name.h"
#include "picture/bmp_read.h"
#include "picture/png_file.h"
#include "picture/strip_picture.h"

namespace quorvel::picture {

namespace {

using os::Failure;
using os::Result;

Failure Refused(Failure::Kind kind, const QString& sentence) { return {kind, sentence}; }

Result<Pixels> ReadFrom(const QByteArray& file, const QString& name, qint64 max_pixels, Rows rows) {
  // Only formats that keep every colour exactly, each read by a reader of
  // ours whose work is bounded by the picture's size.
  if (file.startsWith("BM")) return ReadBmp(file, name, max_pixels, rows);
  if (file.startsWith("\x89PNG\r\n\x1A\n")) {
    Result<Pixels> read = ReadPng(file, name, max_pixels);
    if (read.ok() && rows == Rows::kTop) {
      read.value().rgb.resize(3 * std::size_t(read.value().width));
      read.value().height = 1;
    }
    return read;
  }
  return Refused(
      Failure::Kind::kContent,
      QStringLiteral("%1 is not a BMP or PNG picture, the formats a strip is kept in.").arg(name));
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

Result<Pixels> LoadPicture(const QString& program_path, Rows rows) {
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
  return ReadFrom(file.value(), shown, kMaxPicturePixels, rows);
}

Result<Pixels> LoadPictureData(const QByteArray& data, const QString& shown, qint64 max_pixels,
                               Rows rows) {
  return ReadFrom(data, shown, max_pixels, rows);
}

QByteArray EncodeBmp24(const Pixels& image) {
  const int width = image.width;
  const int height = image.height;
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
    const std::uint8_t* in = image.At(0, y);
    auto* out = reinterpret_cast<unsigned char*>(h + 54 + row_bytes * (height - 1 - y));
    if (y > 0 && std::equal(in, in + 3 * width, image.At(0, y - 1))) {
      // A row like the one above it, as every row of a strip is.
      std::copy_n(out + row_bytes, row_bytes, out);
      continue;
    }
    for (int x = 0; x < width; ++x, in += 3, out += 3) {
      out[0] = in[2];  // blue, green, red
      out[1] = in[1];
      out[2] = in[0];
    }
    std::fill_n(out, row_bytes - 3LL * width, '\0');  // each row's padding
  }
  return bytes;
}

Result<os::Replaced> SavePicture(const Pixels& image, const QString& program_path) {
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
  if (image.width <= 0 || image.height <= 0) {
    // Nothing drawn: the old picture is kept.
    return refused(shown, QStringLiteral("there is no picture to save"));
  }
  // PNG when the name asks for it; it keeps every colour as BMP does.
  const bool png = FormatOfName(host) == PictureFormat::kPng;
  const QByteArray bytes = png ? WritePng(image) : EncodeBmp24(image);
  if (bytes.isEmpty())
    return refused(shown, QStringLiteral("it could not be made into a PNG file"));
  const Result<os::Replaced> replaced =
      os::ReplaceFileWith(host, bytes, os::PrivateRoot(program_path));
  if (!replaced.ok()) return refused(shown, replaced.failure().sentence);
  const QString& note = replaced.value().note;
  if (note.isEmpty()) return os::Replaced{};
  return os::Replaced{QStringLiteral("The picture was saved to %1, but %2.").arg(shown, note)};
}

}  // namespace quorvel::picture
