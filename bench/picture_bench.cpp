// The picture loader on the heaviest files it accepts: pictures of the
// largest size it takes, as a 32-bit BMP and as an interlaced PNG of noise
// that does not compress. Measured as processor time of the whole process,
// since these are the inputs a stranger can hand the window's Load.
#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QRandomGenerator>
#include <cmath>

#include "picture/picture_files.h"

namespace quorvel {
namespace {

// The largest picture the loader takes, twice as wide as high.
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

QByteArray Encoded(const char* format) {
  static const QImage noise = Noise();
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format);
  writer.setCompression(0);              // the largest file of this size
  writer.setProgressiveScanWrite(true);  // PNG: interlaced, the slower read
  writer.write(noise);
  return bytes;
}

void BM_LoadLargestPicture(benchmark::State& state, const char* format) {
  const QByteArray file = Encoded(format);
  if (file.size() > picture::kMaxPictureFileBytes) {
    state.SkipWithError("the sample file is larger than the loader reads");
    return;
  }
  for (auto _ : state) {
    const os::Result<picture::Pixels> picture = picture::LoadPictureData(file);
    if (!picture.ok()) state.SkipWithError(qPrintable(picture.failure().sentence));
    benchmark::DoNotOptimize(picture.value().rgb.data());
  }
  state.counters["megabytes"] = static_cast<double>(file.size()) / 1e6;
}

BENCHMARK_CAPTURE(BM_LoadLargestPicture, bmp, "bmp")
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK_CAPTURE(BM_LoadLargestPicture, png, "png")
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

}  // namespace
}  // namespace quorvel

BENCHMARK_MAIN();
