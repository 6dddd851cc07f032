#include "platform/pictures.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QSaveFile>
#include <QtEndian>

#include "platform/paths.h"

namespace quorvel::platform {

namespace {

// A bitmap file whose header promises more pixel data than the file holds
// would load with the missing rows made up, and in a bottom-up file the
// missing rows are the top ones, the strip's own. Such a file is refused.
QString CheckBmpComplete(const QByteArray& head, qint64 file_size, const QString& name) {
  if (head.size() < 26 || !head.startsWith("BM")) return QString();
  const auto* h = head.constData();
  const qint64 offset = qFromLittleEndian<quint32>(h + 10);
  const quint32 header_size = qFromLittleEndian<quint32>(h + 14);
  qint64 width = 0, height = 0, bits = 0;
  quint32 compression = 0;
  if (header_size == 12) {  // the old core header
    width = qFromLittleEndian<quint16>(h + 18);
    height = qFromLittleEndian<quint16>(h + 20);
    bits = qFromLittleEndian<quint16>(h + 24);
  } else if (header_size >= 40 && head.size() >= 34) {
    width = qFromLittleEndian<qint32>(h + 18);
    height = qAbs(static_cast<qint64>(qFromLittleEndian<qint32>(h + 22)));
    bits = qFromLittleEndian<quint16>(h + 28);
    compression = qFromLittleEndian<quint32>(h + 30);
  } else {
    return QString();  // not a header this check knows; the loader decides
  }
  if (width <= 0 || height <= 0 || bits <= 0) return QString();
  if (width * height > kMaxPicturePixels) {
    return QStringLiteral("%1 claims a picture of %2 x %3 pixels, which is too large.")
        .arg(name)
        .arg(width)
        .arg(height);
  }
  // Only uncompressed rows have a size known in advance.
  if (compression != 0 && compression != 3 && compression != 6) return QString();
  const qint64 row_bytes = (width * bits + 31) / 32 * 4;
  if (file_size < offset + row_bytes * height) {
    return QStringLiteral("%1 is cut short: it holds %2 bytes of the %3 its picture needs.")
        .arg(name)
        .arg(file_size)
        .arg(offset + row_bytes * height);
  }
  return QString();
}

PictureResult ReadFrom(QIODevice* device, const QString& name) {
  PictureResult result;
  result.error = CheckBmpComplete(device->peek(64), device->size(), name);
  if (!result.error.isEmpty()) return result;
  QImageReader reader(device);
  reader.setDecideFormatFromContent(true);
  reader.setAllocationLimit(static_cast<int>(kMaxPicturePixels * 4 / (1024 * 1024)));
  const QSize size = reader.size();
  if (size.isValid() &&
      static_cast<qint64>(size.width()) * static_cast<qint64>(size.height()) > kMaxPicturePixels) {
    result.error = QStringLiteral("%1 claims a picture of %2 x %3 pixels, which is too large.")
                       .arg(name)
                       .arg(size.width())
                       .arg(size.height());
    return result;
  }
  QImage image;
  if (!reader.read(&image) || image.isNull()) {
    result.error =
        QStringLiteral("%1 could not be read as a picture: %2.").arg(name, reader.errorString());
    return result;
  }
  if (image.format() == QImage::Format_Indexed8) {
    // A pixel that points past the palette has no colour of its own.
    const qsizetype colours = image.colorCount();
    for (int y = 0; y < image.height(); ++y) {
      const uchar* line = image.constScanLine(y);
      for (int x = 0; x < image.width(); ++x) {
        if (line[x] >= colours) {
          result.error =
              QStringLiteral("%1 is damaged: a pixel refers to colour %2 of a palette of %3.")
                  .arg(name)
                  .arg(line[x])
                  .arg(colours);
          return result;
        }
      }
    }
  }
  result.image = std::move(image);
  return result;
}

void PutLe16(char* at, quint16 v) { qToLittleEndian(v, at); }
void PutLe32(char* at, quint32 v) { qToLittleEndian(v, at); }

}  // namespace

PictureResult LoadPicture(const QString& program_path) {
  const QString host = HostPath(program_path);
  if (host.isEmpty()) {
    return {QImage(), QStringLiteral("%1 leads outside its drive.").arg(program_path)};
  }
  QFile file(host);
  if (!file.open(QIODevice::ReadOnly)) {
    return {QImage(), QStringLiteral("%1 could not be opened: %2.").arg(host, file.errorString())};
  }
  return ReadFrom(&file, host);
}

PictureResult LoadPictureData(const QByteArray& data) {
  QBuffer buffer;
  buffer.setData(data);
  buffer.open(QIODevice::ReadOnly);
  return ReadFrom(&buffer, QStringLiteral("The data"));
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

SaveResult SavePicture(const QImage& image, const QString& program_path) {
  SaveResult result;
  const QString host = HostPath(program_path);
  if (host.isEmpty()) {
    result.error = QStringLiteral(
                       "The picture could not be saved to %1: the path leads outside "
                       "its drive.")
                       .arg(program_path);
    return result;
  }
  const QByteArray bytes = EncodeBmp24(image);
  QSaveFile file(host);
  if (!file.open(QIODevice::WriteOnly)) {
    result.error =
        QStringLiteral("The picture could not be saved to %1: %2.").arg(host, file.errorString());
    return result;
  }
  if (file.write(bytes) != bytes.size() || !file.commit()) {
    result.error =
        QStringLiteral("The picture could not be saved to %1: %2.").arg(host, file.errorString());
    file.cancelWriting();
    return result;
  }
  result.ok = true;
  return result;
}

}  // namespace quorvel::platform
