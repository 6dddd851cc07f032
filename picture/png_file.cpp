#include "picture/png_file.h"

#include <spng.h>
#include <zlib.h>

#include <QtEndian>
#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace quorvel::picture {

namespace {

constexpr char kSignature[] = "\x89PNG\r\n\x1A\n";
constexpr qint64 kLongestChunk = 0x7FFFFFFF;

// What stopped a read, before it becomes a sentence.
enum class Fault { kNone, kCut, kChecksum, kData, kShort, kMore, kLayout };

bool Is(const uchar* type, const char* name) { return std::memcmp(type, name, 4) == 0; }
// A chunk a reader may not skip: its name starts with a capital.
bool Critical(const uchar* type) { return (type[0] & 0x20) == 0; }

// The number of bytes a PNG's image data inflates to: on every row of every
// pass a filter byte, then the row's pixels packed into whole bytes; an
// interlaced picture is seven passes over parts of it. -1 for a header that
// libspng refuses by itself, or one ReadPng refuses by its size.
qint64 DataBytes(qint64 width, qint64 height, int depth, int colour, int interlace) {
  constexpr int kChannels[] = {1, 0, 3, 1, 2, 0, 4};  // for each colour type
  const bool known = colour <= 6 && kChannels[colour] > 0 &&
                     (depth == 8 || (depth == 16 && colour != 3) ||
                      ((depth == 1 || depth == 2 || depth == 4) && (colour == 0 || colour == 3)));
  // A picture of more than 2^40 pixels, whose count could overflow, is
  // refused by its size before its data is needed.
  if (!known || interlace > 1 || width == 0 || height == 0 || width > (qint64{1} << 40) / height)
    return -1;
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

// libspng inflates a PNG's image data only as far as the picture its header
// declares, which bounds its work, but says nothing of data past it, for
// which a file is refused. So libspng is given the PNG this class makes of
// the file: the chunks ahead of the image data that the pixels need (the
// header, the palette, transparency, and any other critical chunk, which
// libspng refuses; text and colour profiles are skipped unread), then one
// IDAT chunk of stored, uncompressed deflate blocks, then the end. The
// stored blocks are made as libspng reads them, by inflating the file's
// IDAT chunks here: the picture is inflated once, as far as libspng needs
// it, and what the data holds past it is seen here. Every chunk libspng is
// given has its checksum checked here first. libspng still validates the
// header, palette and transparency, undoes the filters and the interlacing
// and converts the pixels.
class Source {
 public:
  explicit Source(const QByteArray& file)
      : b_(reinterpret_cast<const uchar*>(file.constData())), size_(file.size()) {}
  ~Source() {
    if (z_.state) inflateEnd(&z_);
  }
  Source(const Source&) = delete;
  Source& operator=(const Source&) = delete;

  // Lays out what libspng reads, from the chunks ahead of the image data.
  Fault Prepare() {
    pieces_.push_back({b_, 8});
    qint64 at = 8;
    // A few are enough: libspng refuses a second header or palette.
    for (int kept = 0; kept < 8;) {
      if (at + 12 > size_) return Fault::kCut;
      const qint64 length = qFromBigEndian<quint32>(b_ + at);
      const uchar* type = b_ + at + 4;
      if (length > kLongestChunk) return Fault::kLayout;
      if (Is(type, "IDAT")) {
        next_ = at;
        break;
      }
      if (at + 12 + length > size_) return Fault::kCut;
      if (Critical(type) || Is(type, "tRNS")) {
        if (CrcOk(at, length)) {
          pieces_.push_back({b_ + at, length + 12});
          ++kept;
        } else if (Critical(type)) {
          return Fault::kChecksum;
        }  // a damaged transparency chunk goes, as libspng drops one
      }
      if (Is(type, "IEND")) break;
      at += length + 12;
    }
    if (pieces_.size() > 1 && pieces_[1].size == 25 && Is(pieces_[1].data + 4, "IHDR")) {
      const uchar* h = pieces_[1].data + 8;
      width_ = qFromBigEndian<quint32>(h);
      height_ = qFromBigEndian<quint32>(h + 4);
      depth_ = h[8];
      colour_ = h[9];
      declared_ = DataBytes(width_, height_, h[8], h[9], h[12]);
    }
    const qint64 blocks = (declared_ + 65534) / 65535;
    const qint64 stored = 2 + 5 * blocks + declared_ + 4;  // zlib's header and checksum around
    if (next_ >= 0 && declared_ > 0 && stored <= kLongestChunk) {
      if (inflateInit(&z_) != Z_OK) return Fault::kData;
      qToBigEndian<quint32>(static_cast<quint32>(stored), idat_.data());
      std::memcpy(idat_.data() + 4, "IDAT", 4);
      pieces_.push_back({idat_.data(), 8});
      pieces_.push_back({nullptr, stored});
      pieces_.push_back({zeros_.data(), 4});  // its checksum, not checked: see ReadPng
    }
    static const uchar kEnd[] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
    pieces_.push_back({kEnd, 12});
    return Fault::kNone;
  }

  qint64 width() const { return width_; }
  qint64 height() const { return height_; }
  int depth() const { return depth_; }
  int colour() const { return colour_; }
  Fault fault() const { return fault_; }

  // libspng's reading: the next `length` bytes.
  static int Read(spng_ctx*, void* user, void* out, size_t length) {
    auto* source = static_cast<Source*>(user);
    if (source->Fill(static_cast<uchar*>(out), static_cast<qint64>(length))) return 0;
    return source->fault_ == Fault::kNone ? SPNG_IO_EOF : SPNG_IO_ERROR;
  }

  // Once libspng has the whole picture: whether the data holds more, and
  // whether the file goes on whole to its end.
  Fault Finish() {
    std::array<uchar, 64> scratch;
    while (fault_ == Fault::kNone && !ended_) {
      z_.next_out = scratch.data();
      z_.avail_out = scratch.size();
      if (z_.avail_in == 0 && !NextIdat()) break;
      const int status = inflate(&z_, Z_NO_FLUSH);
      if (z_.avail_out < scratch.size()) {
        Fail(Fault::kMore);
      } else if (status == Z_STREAM_END) {
        ended_ = true;
      } else if (status != Z_OK && status != Z_BUF_ERROR) {
        break;  // damage past the picture, whose pixels are whole
      }
    }
    for (qint64 at = next_ >= 0 ? next_ : rest_; fault_ == Fault::kNone && at >= 0;) {
      const qint64 length = at + 12 <= size_ ? qFromBigEndian<quint32>(b_ + at) : size_;
      if (at + 12 + length > size_) {
        cut_ = true;
        break;
      }
      if (Critical(b_ + at + 4) && !CrcOk(at, length)) Fail(Fault::kChecksum);
      if (Is(b_ + at + 4, "IEND")) break;
      at += length + 12;
    }
    if (cut_) Fail(Fault::kCut);
    return fault_;
  }

 private:
  struct Piece {
    const uchar* data;  // null: the stored blocks, made as they are read
    qint64 size;
  };

  bool CrcOk(qint64 at, qint64 length) const {
    return crc32(0, b_ + at + 4, static_cast<uInt>(length + 4)) ==
           qFromBigEndian<quint32>(b_ + at + 8 + length);
  }

  bool Fail(Fault fault) {
    if (fault_ == Fault::kNone) fault_ = fault;
    return false;
  }

  bool Fill(uchar* out, qint64 n) {
    while (n > 0) {
      if (piece_ == pieces_.size()) return false;
      const Piece& piece = pieces_[piece_];
      const qint64 k = std::min(n, piece.size - piece_at_);
      if (piece.data) {
        std::memcpy(out, piece.data + piece_at_, static_cast<size_t>(k));
      } else if (!Stored(out, k)) {
        return false;
      }
      out += k;
      n -= k;
      piece_at_ += k;
      if (piece_at_ == piece.size) {
        ++piece_;
        piece_at_ = 0;
      }
    }
    return true;
  }

  // The next `n` bytes of the stored blocks: zlib's header, then each
  // block's own (whether it is the last, its length and the length's
  // complement) before its inflated bytes, then zlib's checksum.
  bool Stored(uchar* out, qint64 n) {
    while (n > 0) {
      if (head_at_ < head_size_) {
        const qint64 k = std::min<qint64>(n, head_size_ - head_at_);
        std::memcpy(out, head_.data() + head_at_, static_cast<size_t>(k));
        head_at_ += static_cast<int>(k);
        out += k;
        n -= k;
      } else if (block_left_ > 0) {
        const qint64 k = std::min(n, block_left_);
        if (!Inflate(out, k)) return false;
        block_left_ -= k;
        out += k;
        n -= k;
      } else if (given_ < declared_) {
        const auto length = static_cast<quint16>(std::min<qint64>(declared_ - given_, 65535));
        const auto complement = static_cast<quint16>(~length);
        given_ += length;
        head_ = {uchar(given_ == declared_), uchar(length & 0xFF), uchar(length >> 8),
                 uchar(complement & 0xFF), uchar(complement >> 8)};
        head_size_ = 5;
        head_at_ = 0;
        block_left_ = length;
      } else if (head_size_ != 4) {
        head_ = {0, 0, 0, 0, 0};  // the checksum, which libspng is told not to check
        head_size_ = 4;
        head_at_ = 0;
      } else {
        return false;
      }
    }
    return true;
  }

  // The next `n` (at most 65535) bytes of the file's image data, inflated.
  bool Inflate(uchar* out, qint64 n) {
    z_.next_out = out;
    z_.avail_out = static_cast<uInt>(n);
    while (z_.avail_out > 0) {
      if (ended_) return Fail(Fault::kShort);
      if (z_.avail_in == 0 && !NextIdat()) return Fail(cut_ ? Fault::kCut : Fault::kShort);
      const int status = inflate(&z_, Z_NO_FLUSH);
      if (status == Z_STREAM_END) {
        ended_ = true;
      } else if (status != Z_OK && status != Z_BUF_ERROR) {
        return Fail(Fault::kData);
      }
    }
    return true;
  }

  // Gives the inflater the next IDAT chunk's data: false at the end of the
  // IDAT chunks. What there is of a chunk cut short is given unchecked.
  bool NextIdat() {
    while (next_ >= 0) {
      const qint64 at = next_;
      if (at + 8 > size_) {
        cut_ = true;
        next_ = -1;
        return false;
      }
      const qint64 length = qFromBigEndian<quint32>(b_ + at);
      if (!Is(b_ + at + 4, "IDAT")) {
        rest_ = at;
        next_ = -1;
        return false;
      }
      next_ = -1;
      if (length > kLongestChunk) return Fail(Fault::kLayout);
      if (at + 12 + length > size_) {
        cut_ = true;
      } else if (!CrcOk(at, length)) {
        return Fail(Fault::kChecksum);
      } else {
        next_ = at + 12 + length;
      }
      z_.next_in = const_cast<uchar*>(b_ + at + 8);
      z_.avail_in = static_cast<uInt>(std::min(length, size_ - at - 8));
      if (z_.avail_in > 0) return true;
    }
    return false;
  }

  const uchar* b_;
  const qint64 size_;
  std::vector<Piece> pieces_;
  size_t piece_ = 0;
  qint64 piece_at_ = 0;
  std::array<uchar, 8> idat_{};
  std::array<uchar, 4> zeros_{};
  qint64 width_ = 0, height_ = 0, declared_ = -1;
  int depth_ = 0, colour_ = 0;
  // The stored blocks made so far.
  std::array<uchar, 5> head_{0x78, 0x01};  // zlib's header: deflate, a 32 KiB window
  int head_size_ = 2, head_at_ = 0;
  qint64 block_left_ = 0, given_ = 0;
  // The file's image data: the chunk to inflate next, the first chunk after
  // them once known, and whether the data ended or the file did.
  z_stream z_{};
  qint64 next_ = -1, rest_ = -1;
  bool ended_ = false, cut_ = false;
  Fault fault_ = Fault::kNone;
};

QString Sentence(Fault fault, const QString& shown, qint64 width, qint64 height, qint64 size) {
  const QString w = QString::number(width), h = QString::number(height);
  switch (fault) {
    case Fault::kCut:
      return QStringLiteral("%1 is cut short: its picture needs more than its %2 bytes.")
          .arg(shown, QString::number(size));
    case Fault::kChecksum:
      return QStringLiteral("%1 is damaged: the checksum of a part of it is wrong.").arg(shown);
    case Fault::kData:
      return QStringLiteral("%1 is damaged: its compressed picture data is not valid.").arg(shown);
    case Fault::kShort:
      return QStringLiteral(
                 "%1 is damaged: its compressed data ends before the %2 x %3 picture it "
                 "declares.")
          .arg(shown, w, h);
    case Fault::kMore:
      return QStringLiteral(
                 "%1 is damaged: its compressed data holds more than the %2 x %3 picture "
                 "it declares.")
          .arg(shown, w, h);
    case Fault::kNone:
    case Fault::kLayout:
      break;
  }
  return QStringLiteral("%1 is damaged: its parts are not laid out as a PNG picture's are.")
      .arg(shown);
}

// libspng's refusals of what it was given, as sentences of ours.
QString SpngSentence(int error, const QString& shown, const Source& source, qint64 size) {
  const qint64 width = source.width(), height = source.height();
  switch (error) {
    case SPNG_EUSER_WIDTH:
    case SPNG_EUSER_HEIGHT:
      return QStringLiteral("%1 claims a picture of %2 x %3 pixels, which is too large.")
          .arg(shown, QString::number(width), QString::number(height));
    case SPNG_EBIT_DEPTH:
    case SPNG_ECOLOR_TYPE:
      return QStringLiteral(
                 "%1 could not be read as a picture: its header declares colour type %2 at %3 "
                 "bits, which PNG does not have.")
          .arg(shown, QString::number(source.colour()), QString::number(source.depth()));
    case SPNG_ECOMPRESSION_METHOD:
    case SPNG_EFILTER_METHOD:
    case SPNG_EINTERLACE_METHOD:
      return QStringLiteral(
                 "%1 could not be read as a picture: its header declares a compression, "
                 "filter or interlace method that PNG does not have.")
          .arg(shown);
    case SPNG_ECHUNK_UNKNOWN_CRITICAL:
      return QStringLiteral(
                 "%1 could not be read as a picture: it holds a part this program does not "
                 "know, and may not skip.")
          .arg(shown);
    case SPNG_EMEM:
      return QStringLiteral("%1 could not be read: there is not enough memory for its picture.")
          .arg(shown);
    case SPNG_EFILTER:
    case SPNG_EZLIB:
    case SPNG_EIDAT_STREAM:
      return Sentence(Fault::kData, shown, width, height, size);
    case SPNG_IO_EOF:
    case SPNG_EIDAT_TOO_SHORT:
      return Sentence(Fault::kShort, shown, width, height, size);
    default:
      return Sentence(Fault::kLayout, shown, width, height, size);
  }
}

// A 16-bit channel narrowed to 8 bits as Qt narrows it: rounded, but for a
// few values just above a half, which go down.
uchar Narrow(quint16 v) {
  const unsigned t = v + 0x80u;
  return static_cast<uchar>((t - (t >> 8)) >> 8);
}

using Context = std::unique_ptr<spng_ctx, decltype(&spng_ctx_free)>;

}  // namespace

os::Result<Pixels> ReadPng(const QByteArray& file, const QString& shown, qint64 max_pixels) {
  const auto refuse = [](const QString& sentence) {
    return os::Failure{os::Failure::Kind::kContent, sentence};
  };
  if (!file.startsWith(kSignature))
    return refuse(
        QStringLiteral("%1 could not be read as a picture: it is not a PNG file.").arg(shown));
  Source source(file);
  const qint64 size = file.size();
  if (const Fault fault = source.Prepare(); fault != Fault::kNone)
    return refuse(Sentence(fault, shown, source.width(), source.height(), size));
  const qint64 width = source.width(), height = source.height();
  if (width > 0 && height > 0 && width > max_pixels / height) {
    return refuse(QStringLiteral("%1 claims a picture of %2 x %3 pixels, which is too large.")
                      .arg(shown, QString::number(width), QString::number(height)));
  }
  Context ctx(spng_ctx_new(0), spng_ctx_free);
  if (!ctx) return refuse(SpngSentence(SPNG_EMEM, shown, source, size));
  const auto side = static_cast<uint32_t>(std::clamp<qint64>(max_pixels, 1, kLongestChunk));
  spng_set_image_limits(ctx.get(), side, side);
  // What reaches libspng is the header's few chunks and the stored blocks.
  spng_set_chunk_limits(ctx.get(), 64 * 1024, 1024 * 1024);
  // Every chunk it is given has had its checksum checked (Source), and the
  // stored blocks' own sums are made up.
  spng_set_crc_action(ctx.get(), SPNG_CRC_USE, SPNG_CRC_USE);
  spng_set_png_stream(ctx.get(), &Source::Read, &source);

  const auto failed = [&](int error) {
    const Fault fault = source.fault();
    return refuse(fault != Fault::kNone ? Sentence(fault, shown, width, height, size)
                                        : SpngSentence(error, shown, source, size));
  };
  spng_ihdr ihdr{};
  if (const int error = spng_get_ihdr(ctx.get(), &ihdr)) return failed(error);
  const bool indexed = ihdr.color_type == SPNG_COLOR_TYPE_INDEXED;
  const int format = indexed                ? SPNG_FMT_PNG
                     : ihdr.bit_depth == 16 ? SPNG_FMT_RGBA16
                                            : SPNG_FMT_RGB8;
  size_t bytes = 0;
  if (const int error = spng_decoded_image_size(ctx.get(), format, &bytes)) return failed(error);
  Pixels pixels;
  std::vector<uchar> decoded;
  try {
    pixels = Pixels(static_cast<int>(ihdr.width), static_cast<int>(ihdr.height));
    if (format != SPNG_FMT_RGB8) decoded.resize(bytes);
  } catch (const std::bad_alloc&) {
    return failed(SPNG_EMEM);
  }
  uchar* out = format == SPNG_FMT_RGB8 ? pixels.rgb.data() : decoded.data();
  if (const int error = spng_decode_image(ctx.get(), out, bytes, format, 0)) return failed(error);
  if (const Fault fault = source.Finish(); fault != Fault::kNone)
    return refuse(Sentence(fault, shown, width, height, size));

  const size_t count = size_t(pixels.width) * size_t(pixels.height);
  if (format == SPNG_FMT_RGBA16) {
    const auto* in = reinterpret_cast<const quint16*>(decoded.data());
    for (size_t i = 0; i < count; ++i) {
      for (size_t c = 0; c < 3; ++c) pixels.rgb[i * 3 + c] = Narrow(in[i * 4 + c]);
    }
  } else if (ihdr.color_type == SPNG_COLOR_TYPE_GRAYSCALE && ihdr.bit_depth > 1) {
    // Qt shows the grey level a transparency chunk names as transparent
    // black, at 2, 4 and 8 bits: so do these pixels read, as they always did.
    spng_trns trns{};
    const int levels = (1 << ihdr.bit_depth) - 1;
    if (spng_get_trns(ctx.get(), &trns) == 0 && trns.gray <= levels) {
      const auto grey = static_cast<uchar>(trns.gray * 255 / levels);
      for (size_t i = 0; i < count * 3; i += 3) {
        if (pixels.rgb[i] == grey) std::fill_n(pixels.rgb.begin() + qsizetype(i), 3, 0);
      }
    }
  } else if (indexed) {
    spng_plte palette{};
    spng_get_plte(ctx.get(), &palette);
    const int depth = ihdr.bit_depth;
    const size_t row_bytes = (size_t(pixels.width) * depth + 7) / 8;
    for (int y = 0; y < pixels.height; ++y) {
      const uchar* row = decoded.data() + row_bytes * size_t(y);
      for (int x = 0; x < pixels.width; ++x) {
        const int bit = x * depth;
        const uint32_t index = (row[bit / 8] >> (8 - depth - bit % 8)) & ((1 << depth) - 1);
        if (index >= palette.n_entries) {
          return refuse(
              QStringLiteral("%1 is damaged: a pixel refers to colour %2 of a palette of %3.")
                  .arg(shown, QString::number(index), QString::number(palette.n_entries)));
        }
        const spng_plte_entry& colour = palette.entries[index];
        uchar* to = pixels.At(x, y);
        to[0] = colour.red;
        to[1] = colour.green;
        to[2] = colour.blue;
      }
    }
  }
  return pixels;
}

QByteArray WritePng(const Pixels& pixels) {
  if (pixels.width <= 0 || pixels.height <= 0) return {};
  Context ctx(spng_ctx_new(SPNG_CTX_ENCODER), spng_ctx_free);
  if (!ctx) return {};
  spng_ihdr ihdr{};
  ihdr.width = static_cast<uint32_t>(pixels.width);
  ihdr.height = static_cast<uint32_t>(pixels.height);
  ihdr.bit_depth = 8;
  ihdr.color_type = SPNG_COLOR_TYPE_TRUECOLOR;
  spng_set_option(ctx.get(), SPNG_ENCODE_TO_BUFFER, 1);
  spng_set_ihdr(ctx.get(), &ihdr);
  if (spng_encode_image(ctx.get(), pixels.rgb.data(), pixels.rgb.size(), SPNG_FMT_PNG,
                        SPNG_ENCODE_FINALIZE) != 0) {
    return {};
  }
  size_t length = 0;
  int error = 0;
  void* png = spng_get_png_buffer(ctx.get(), &length, &error);
  if (!png) return {};
  QByteArray bytes(static_cast<const char*>(png), static_cast<qsizetype>(length));
  std::free(png);
  return bytes;
}

}  // namespace quorvel::picture
