// Retrying an open while another program holds the catalogue.
#include "tools/norvane-db/busy_wait.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "engine/platform/cp1251.h"
#include "engine/platform/tick_counter.h"
#include "tools/norvane-db/open_container.h"

namespace norvane::tool {

namespace {

// Short enough that a command rarely waits much longer than the holder
// needs, long enough that a waiting command costs the processor nothing.
constexpr uint32_t kRetryMs = 20;
constexpr int64_t kDefaultWaitSeconds = 5;
// The tick counter wraps after 49 days; a day keeps far from that.
constexpr int64_t kMaxWaitSeconds = 86400;

std::function<void(uint32_t)>& PauseSource() {
  static std::function<void(uint32_t)> pause;
  return pause;
}

void Pause(uint32_t milliseconds) {
  if (PauseSource()) {
    PauseSource()(milliseconds);
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
}

}  // namespace

int64_t WaitSecondsOf(const TCommandLine& line) {
  const auto it = line.Options.find("wait");
  if (it == line.Options.end()) return kDefaultWaitSeconds;
  const std::string& text = it->second;
  const bool digits = !text.empty() && text.size() <= 5 &&
                      std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (!digits || std::stoll(text) > kMaxWaitSeconds)
    throw TUsageError{"--wait takes a whole number of seconds from 0 to " +
                      std::to_string(kMaxWaitSeconds) + ", not \"" + Cp1251ToUtf8(text) + "\"",
                      false};
  return std::stoll(text);
}

bool RetryWhileBusy(int64_t waitSeconds, const std::function<bool()>& attempt) {
  const uint32_t budget = static_cast<uint32_t>(waitSeconds * 1000);
  const uint32_t start = GetTickCount();
  for (;;) {
    if (attempt()) return true;
    const uint32_t waited = GetTickCount() - start;
    if (waited >= budget) return false;
    Pause(std::min(kRetryMs, budget - waited));
  }
}

void SetBusyPause(std::function<void(uint32_t milliseconds)> pause) {
  PauseSource() = std::move(pause);
}

}  // namespace norvane::tool
