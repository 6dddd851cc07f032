// The strip cipher alone: EncodeStrip and DecodeStrip on texts of 3, 3,000
// and 98,301 characters, as characters (bytes of text) per second.
#include <benchmark/benchmark.h>

#include <vector>

#include "bench/sample_text.h"
#include "cipher/codepage.h"
#include "cipher/strip.h"

namespace quorvel {
namespace {

const KeyTriple kKeys{{7, 250, 42}};

void BM_EncodeStrip(benchmark::State& state) {
  const auto length = static_cast<std::size_t>(state.range(0));
  const std::u16string text = bench::SampleText(length);
  const CodePage& page = *FindCodePage(1252);
  for (auto _ : state) {
    EncodeResult strip = EncodeStrip(text, kKeys, page);
    benchmark::DoNotOptimize(strip.columns.data());
    if (!strip.ok()) state.SkipWithError("the sample text did not encode");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(length));
}

void BM_DecodeStrip(benchmark::State& state) {
  const auto length = static_cast<std::size_t>(state.range(0));
  const std::u16string text = bench::SampleText(length);
  const CodePage& page = *FindCodePage(1252);
  // The packed colours of row 0, as a picture box's Point would give them.
  std::vector<std::int32_t> row;
  for (const Rgb& c : EncodeStrip(text, kKeys, page).columns) {
    row.push_back(static_cast<std::int32_t>(Packed(c)));
  }
  const auto width = static_cast<std::int32_t>(row.size());
  auto point = [&row, width](std::int32_t x) {
    return x >= 0 && x < width ? row[static_cast<std::size_t>(x)] : -1;
  };
  for (auto _ : state) {
    DecodeResult decoded = DecodeStrip(kKeys, static_cast<float>(width), point, page);
    benchmark::DoNotOptimize(decoded.text.data());
    if (!decoded.ok()) state.SkipWithError("the sample strip did not decode");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(length));
}

BENCHMARK(BM_EncodeStrip)->Arg(3)->Arg(3000)->Arg(98301);
BENCHMARK(BM_DecodeStrip)->Arg(3)->Arg(3000)->Arg(98301);

}  // namespace
}  // namespace quorvel

BENCHMARK_MAIN();
