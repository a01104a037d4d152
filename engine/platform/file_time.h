// File times as the container stores them: FILETIME values (100-ns units
// since 1601-01-01, UTC) taken from the local clock at two-second resolution,
// and the local DOS date and time that enumerations report. Tests may put
// their own clock in place of the system's.
#pragma once

#include <cstdint>
#include <functional>

namespace norvane {

// "Now" as the container records it: the local time cut to an even second
// (the DOS resolution), as a UTC FILETIME.
uint64_t NowAsFileTime();
// The local DOS date (high word) and time (low word) of a UTC FILETIME;
// 0 outside the DOS range 1980..2107.
uint32_t FileTimeToLocalDosDateTime(uint64_t fileTime);
// Replaces the clock (seconds since 1970, UTC); an empty function restores
// the system clock.
void SetClockSource(std::function<int64_t()> unixSeconds);

}  // namespace norvane
