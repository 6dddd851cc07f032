// The picture loader (picture::LoadPictureData) against Qt's own reader
// (QImageReader) on the same bytes in memory, in processor time of the whole
// process:
//  - a photo of the largest size the loader takes, 8192 x 4096, as a PNG
//    saved the usual way (not interlaced, zlib's default level): smooth
//    colour gradients with fine grain over them, as a photo from a camera
//    has;
//  - a strip of 98,301 characters, a 32,767 x 1 24-bit BMP, as the window
//    saves it.
// And, for the record, the heaviest files the loader accepts: a 32-bit BMP
// and an interlaced PNG of noise that does not compress, both of the
// largest size.
#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QRandomGenerator>
#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "bench/sample_text.h"
#include "cipher/codepage.h"
#include "cipher/strip.h"
#include "picture/picture_files.h"
#include "picture/strip_picture.h"

namespace quorvel {
namespace {

constexpr int kPhotoWidth = 8192, kPhotoHeight = 4096;
static_assert(qint64{kPhotoWidth} * kPhotoHeight == picture::kMaxPicturePixels);

// Slow waves of colour, different in each channel, and a grain of a few
// levels either way on every pixel.
QImage Photo() {
  QImage image(kPhotoWidth, kPhotoHeight, QImage::Format_RGB32);
  // Each channel: a wave across times a wave down, plus one along the
  // diagonal, each from a table.
  const auto wave = [](int n, double f, double phase) {
    std::vector<double> w(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) w[std::size_t(i)] = std::sin(f * i / kPhotoWidth + phase);
    return w;
  };
  const std::vector<double> across[3] = {wave(kPhotoWidth, 6.1, 0.3), wave(kPhotoWidth, 4.3, 1.1),
                                         wave(kPhotoWidth, 9.7, 2.0)};
  const std::vector<double> down[3] = {wave(kPhotoHeight, 7.4, 0.9), wave(kPhotoHeight, 3.1, 0.2),
                                       wave(kPhotoHeight, 5.3, 1.7)};
  const std::vector<double> diagonal = wave(kPhotoWidth + kPhotoHeight, 13.0, 0.5);
  QRandomGenerator random(20261208);
  for (int y = 0; y < image.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      const quint32 grain = random.generate();
      int c[3];
      for (int i = 0; i < 3; ++i) {
        const double smooth = 80 * across[i][std::size_t(x)] * down[i][std::size_t(y)] +
                              30 * diagonal[std::size_t(x + y)];
        c[i] = std::clamp(128 + int(smooth) + int((grain >> (8 * i)) & 7) - 3, 0, 255);
      }
      row[x] = qRgb(c[0], c[1], c[2]);
    }
  }
  return image;
}

// The largest picture the loader takes, of noise, twice as wide as high.
QImage Noise() {
  const int height = static_cast<int>(std::sqrt(picture::kMaxPicturePixels / 2.0));
  QImage image(2 * height, height, QImage::Format_ARGB32);
  QRandomGenerator random(20261207);
  for (int y = 0; y < image.height(); ++y) {
    random.fillRange(reinterpret_cast<quint32*>(image.scanLine(y)),
                     static_cast<qsizetype>(image.width()));
  }
  return image;
}

QByteArray Encoded(const QImage& image, const char* format, bool heaviest) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format);
  if (heaviest) {
    writer.setCompression(0);              // the largest file of this size
    writer.setProgressiveScanWrite(true);  // PNG: interlaced, the slower read
  }
  writer.write(image);
  return bytes;
}

// The strip of the benchmarks' text of 98,301 characters, one pixel high,
// as the window saves it.
QByteArray StripBmp() {
  const EncodeResult strip =
      EncodeStrip(bench::SampleText(kMaxTextLength), KeyTriple{{42, 42, 42}}, *FindCodePage(1252));
  return picture::EncodeBmp24(picture::StripImage(strip.columns, 1));
}

// Each sample made when it is first needed.
QByteArray Sample(const std::string& name) {
  if (name == "photo_png") return Encoded(Photo(), "png", false);
  if (name == "strip_bmp") return StripBmp();
  return Encoded(Noise(), name == "noise_bmp" ? "bmp" : "png", true);
}

const QByteArray& File(const std::string& name) {
  static std::map<std::string, QByteArray> made;
  auto [at, added] = made.try_emplace(name);
  if (added) at->second = Sample(name);
  return at->second;
}

void Sizes(benchmark::State& state, const QByteArray& file) {
  state.counters["megabytes"] = static_cast<double>(file.size()) / 1e6;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * file.size());
}

void BM_LoadPictureData(benchmark::State& state, const std::string& name) {
  const QByteArray& file = File(name);
  if (file.isEmpty() || file.size() > picture::kMaxPictureFileBytes) {
    state.SkipWithError("the sample file is empty, or larger than the loader reads");
    return;
  }
  for (auto _ : state) {
    const os::Result<picture::Pixels> picture = picture::LoadPictureData(file);
    if (!picture.ok()) {
      state.SkipWithError(qPrintable(picture.failure().sentence));
      break;
    }
    benchmark::DoNotOptimize(picture.value().rgb.data());
  }
  Sizes(state, file);
}

// Qt's floor: the same bytes read by QImageReader from a buffer, the format
// found from the content as the loader finds it.
void BM_QtImageReader(benchmark::State& state, const std::string& name) {
  QByteArray file = File(name);
  for (auto _ : state) {
    QBuffer buffer(&file);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QImage image = reader.read();
    if (image.isNull()) {
      state.SkipWithError(qPrintable(reader.errorString()));
      break;
    }
    benchmark::DoNotOptimize(image.constBits());
  }
  Sizes(state, file);
}

// Processor time of the whole process: the loads are long, and other
// programs' work on the machine does not count. The heaviest files are
// loaded by the loader alone.
void Loads(const std::string& name, bool against_qt) {
  for (const auto& [side, run] : {std::pair{"BM_LoadPictureData", &BM_LoadPictureData},
                                  std::pair{"BM_QtImageReader", &BM_QtImageReader}}) {
    if (run == &BM_QtImageReader && !against_qt) continue;
    benchmark::RegisterBenchmark((std::string(side) + "/" + name).c_str(), run, name)
        ->MeasureProcessCPUTime()
        ->Unit(benchmark::kMillisecond);
  }
}

}  // namespace
}  // namespace quorvel

int main(int argc, char** argv) {
  quorvel::Loads("photo_png", true);
  quorvel::Loads("strip_bmp", true);
  quorvel::Loads("noise_bmp", false);
  quorvel::Loads("noise_png", false);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
