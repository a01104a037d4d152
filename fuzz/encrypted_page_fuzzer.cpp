// libFuzzer target: arbitrary bytes as the stored pages of an encrypted
// container (header and enciphered payload), read back through the page
// layer with the container key and as directory pages. Every outcome must be
// a result or an EEngineError, never a crash or a read past a buffer.
#include <algorithm>
#include <cstring>

#include "engine/common/engine_error.h"
#include "engine/container/dir_manager.h"
#include "engine/container/page_file_manager.h"
#include "engine/platform/tick_counter.h"

namespace {

constexpr int32_t kPages = 4;

// One container for the whole run: its key set-up is the slow part.
norvane::TPageFileManager& Container() {
  static norvane::TPageFileManager* pages = [] {
    // Password checks wait 256 ms of ticks; here the ticks leap.
    static uint32_t ticks = 0;
    norvane::SetTickSource([] { return ticks += 300; });
    auto* made = new norvane::TPageFileManager("fuzz.adb", 16, 4, true, "", "", "fuzz",
                                               norvane::kModeCreate);
    made->ExtendFile(kPages);
    return made;
  }();
  return *pages;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  norvane::TPageFileManager& pages = Container();
  const int64_t pageSize = pages.PageSize();
  // The input becomes pages 1.. as stored bytes; the rest stays as it was.
  std::vector<uint8_t> stored(static_cast<size_t>(kPages * pageSize), 0);
  std::memcpy(stored.data(), data, std::min(size, stored.size()));
  pages.Stream().Seek(0, pageSize);
  pages.Stream().Write(stored.data(), static_cast<int64_t>(stored.size()));
  // The header points the directory at page 1, with as many records as fit.
  pages.Header().SetFirstDirectoryPage(1);
  pages.Header().SetDirectoryPageCount(1);
  pages.Header().SetDirectoryItemCount(size > 0 ? data[0] % 8 : 0);
  try {
    std::vector<uint8_t> payload(static_cast<size_t>(pages.PayloadSize()));
    for (int32_t n = 1; n <= kPages; ++n) {
      norvane::TPageRecord rec;
      rec.Data = payload.data();
      pages.ReadPage(rec, n, false, "", -1);
      pages.ReadPage(rec, n, false, "", 100);
    }
    norvane::TDIRManager::KeyReadsDirectory(pages);
  } catch (const norvane::EEngineError&) {
  }
  return 0;
}
