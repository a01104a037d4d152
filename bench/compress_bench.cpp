// The compression modes of large values on 5 MB of Russian text in code
// page 1251: the compressed share of the input ("ratio") and the speed of
// compressing and of decompressing, for zlib (the baseline) and both PPMd
// modes. The text is made of sentences whose words follow a Zipf-like
// distribution over a vocabulary of inflected forms, and sentences come
// back as names and set phrases do in prose.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "engine/protection/compress_buffer.h"

namespace {

using norvane::aaCompressBuffer;
using norvane::aaDecompressBuffer;

const std::vector<uint8_t>& RussianText() {
  static const std::vector<uint8_t> text = [] {
    // Stems and endings in code page 1251 (а = 0xE0 … я = 0xFF).
    const char* const stems[] = {"\xea\xed\xe8\xe3", "\xe6\xf3\xf0\xed\xe0\xeb", "\xf1\xf2\xe0\xf2\xfc",
                                 "\xe0\xe2\xf2\xee\xf0", "\xe8\xf1\xf2\xee\xf0\xe8", "\xed\xe0\xf3\xea",
                                 "\xf0\xe0\xe1\xee\xf2", "\xe3\xee\xf0\xee\xe4", "\xe2\xf0\xe5\xec\xe5\xed",
                                 "\xe6\xe8\xe7\xed", "\xeb\xfe\xe4", "\xf1\xeb\xee\xe2", "\xe4\xe5\xeb",
                                 "\xf1\xf2\xf0\xe0\xed", "\xe2\xee\xef\xf0\xee\xf1", "\xf0\xe5\xf8\xe5\xed\xe8"};
    const char* const endings[] = {"", "\xe0", "\xfb", "\xee\xe9", "\xe5", "\xe0\xec", "\xe0\xf5", "\xee\xe2"};
    const char* const small[] = {"\xe8", "\xe2", "\xed\xe0", "\xf1", "\xef\xee", "\xed\xe5", "\xf7\xf2\xee"};
    std::mt19937 random(2026);
    std::vector<std::string> words;
    for (const char* stem : stems)
      for (const char* ending : endings) words.push_back(std::string(stem) + ending);
    for (const char* word : small) words.push_back(word);
    std::vector<double> weights;
    for (size_t i = 0; i < words.size(); ++i) weights.push_back(1.0 / static_cast<double>(i % 37 + 1));
    std::discrete_distribution<size_t> pick(weights.begin(), weights.end());
    const auto sentence = [&] {
      std::string text;
      const int length = 4 + static_cast<int>(random() % 12);
      for (int w = 0; w < length; ++w) {
        std::string word = words[pick(random)];
        if (w == 0) word[0] = static_cast<char>(static_cast<uint8_t>(word[0]) - 0x20);  // capital
        text += word;
        text += w + 1 == length ? '.' : (random() % 9 == 0 ? ',' : ' ');
      }
      return text + (random() % 5 == 0 ? '\n' : ' ');
    };
    // Prose repeats itself: names, titles and set phrases come back, so
    // most sentences are drawn again from those written before.
    std::vector<std::string> written;
    std::vector<uint8_t> out;
    while (out.size() < (5u << 20)) {
      const bool again = !written.empty() && random() % 10 < 7;
      const std::string next = again ? written[random() % written.size()] : sentence();
      if (!again) written.push_back(next);
      out.insert(out.end(), next.begin(), next.end());
    }
    out.resize(5u << 20);
    return out;
  }();
  return text;
}

void Compress(benchmark::State& state) {
  const auto mode = static_cast<uint8_t>(state.range(0));
  const std::vector<uint8_t>& text = RussianText();
  std::vector<uint8_t> out;
  size_t size = 0;
  for (auto _ : state) {
    if (!aaCompressBuffer(text.data(), text.size(), out, mode, size)) state.SkipWithError("compression failed");
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
  state.counters["ratio"] = static_cast<double>(size) / static_cast<double>(text.size());
}

void Decompress(benchmark::State& state) {
  const auto mode = static_cast<uint8_t>(state.range(0));
  const std::vector<uint8_t>& text = RussianText();
  std::vector<uint8_t> packed, out;
  size_t size = 0;
  aaCompressBuffer(text.data(), text.size(), packed, mode, size);
  for (auto _ : state) {
    size = text.size();
    if (!aaDecompressBuffer(packed.data(), packed.size(), out, mode, size) || out != text)
      state.SkipWithError("decompression failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

BENCHMARK(Compress)->Arg(norvane::cmZlib)->Arg(norvane::cmPPMdFast)->Arg(norvane::cmPPMdMax)->Unit(benchmark::kMillisecond);
BENCHMARK(Decompress)->Arg(norvane::cmZlib)->Arg(norvane::cmPPMdFast)->Arg(norvane::cmPPMdMax)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
