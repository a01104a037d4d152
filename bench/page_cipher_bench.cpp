// Page layer throughput with enciphered pages: 100 MB of payload written and
// read back in an in-memory container, with a fresh cipher (full key set-up)
// per page and with the per-key cipher cache, beside plain pages as the
// baseline of the same run.
#include <benchmark/benchmark.h>

#include "engine/container/page_file_manager.h"

namespace norvane {
namespace {

constexpr int64_t kPayloadBytes = 100 * 1000 * 1000;

void RoundTrip(benchmark::State& state, bool encrypted, bool cache) {
  TPageFileManager pages("bench.adb", 16, 4, true, "", "", encrypted ? "bench" : "", kModeCreate);
  pages.SetCipherCache(cache);
  const int32_t count = static_cast<int32_t>(kPayloadBytes / pages.PayloadSize());
  if (!pages.ExtendFile(count)) state.SkipWithError("cannot grow the container");
  auto page = pages.NewPageBuffer();
  for (size_t i = 0; i < page->Payload.size(); ++i) page->Payload[i] = static_cast<uint8_t>(i * 31);
  for (auto _ : state) {
    for (int32_t n = 1; n <= count; ++n) {
      page->Rec.Header.PageType = ptFileData;
      page->Rec.Header.EncryptionType = encrypted ? 1 : 0;
      if (!pages.WritePage(page->Rec, n, "", -1)) state.SkipWithError("write failed");
    }
    for (int32_t n = 1; n <= count; ++n)
      if (!pages.ReadPage(page->Rec, n, false, "", -1)) state.SkipWithError("read failed");
  }
  state.SetBytesProcessed(state.iterations() * 2 * static_cast<int64_t>(count) * pages.PayloadSize());
}

void BM_PlainPages(benchmark::State& state) { RoundTrip(state, false, true); }
void BM_EncipheredFreshCipherPerPage(benchmark::State& state) { RoundTrip(state, true, false); }
void BM_EncipheredCachedCipher(benchmark::State& state) { RoundTrip(state, true, true); }

BENCHMARK(BM_PlainPages)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_EncipheredFreshCipherPerPage)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_EncipheredCachedCipher)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace norvane

BENCHMARK_MAIN();
