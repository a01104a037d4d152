// FILETIME and DOS date/time conversions over the C library's local time.
#include "engine/platform/file_time.h"

#include <ctime>

namespace norvane {

namespace {

constexpr int64_t kUnixEpochInFileTimeSeconds = 11644473600;  // 1601 -> 1970
constexpr int64_t kFileTimeUnitsPerSecond = 10000000;

std::function<int64_t()>& ClockSource() {
  static std::function<int64_t()> source;
  return source;
}

int64_t UnixNow() {
  const auto& source = ClockSource();
  return source ? source() : static_cast<int64_t>(std::time(nullptr));
}

}  // namespace

void SetClockSource(std::function<int64_t()> unixSeconds) { ClockSource() = std::move(unixSeconds); }

uint64_t NowAsFileTime() {
  const time_t now = static_cast<time_t>(UnixNow());
  tm local{};
  localtime_r(&now, &local);
  // Through the DOS form: seconds are kept in steps of two.
  local.tm_sec &= ~1;
  local.tm_isdst = -1;
  const int64_t cut = static_cast<int64_t>(mktime(&local));
  return static_cast<uint64_t>((cut + kUnixEpochInFileTimeSeconds) * kFileTimeUnitsPerSecond);
}

uint32_t FileTimeToLocalDosDateTime(uint64_t fileTime) {
  const time_t t = static_cast<time_t>(static_cast<int64_t>(fileTime / kFileTimeUnitsPerSecond) -
                                       kUnixEpochInFileTimeSeconds);
  tm local{};
  if (localtime_r(&t, &local) == nullptr) return 0;
  const int year = local.tm_year + 1900;
  if (year < 1980 || year > 2107) return 0;
  const uint32_t date = static_cast<uint32_t>(((year - 1980) << 9) | ((local.tm_mon + 1) << 5) |
                                              local.tm_mday);
  const uint32_t time = static_cast<uint32_t>((local.tm_hour << 11) | (local.tm_min << 5) |
                                              (local.tm_sec / 2));
  return (date << 16) | time;
}

}  // namespace norvane
