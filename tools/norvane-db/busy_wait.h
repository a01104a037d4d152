// Waiting for a catalogue another program holds: a command that finds the
// file busy tries again every little while until --wait SECONDS have passed.
// Time is read from the engine's tick counter and the pause between tries
// can be replaced, so tests run the waiting without a clock on the wall.
#pragma once

#include <cstdint>
#include <functional>

#include "tools/norvane-db/command_line.h"

namespace norvane::tool {

// The seconds --wait gives: 5 without it, 0 for no waiting at all. Throws
// TUsageError for anything but a whole number from 0 to 86400.
int64_t WaitSecondsOf(const TCommandLine& line);

// Calls `attempt` until it returns true, pausing between tries, for as long
// as `waitSeconds` allow: false means the file was busy, and any other
// failure is the attempt's to throw. Returns false when the file was still
// busy once the time was up; with no time at all, after the first try.
bool RetryWhileBusy(int64_t waitSeconds, const std::function<bool()>& attempt);

// Puts `pause` in place of sleeping between tries (it is given the
// milliseconds to pause); an empty function restores the real sleep.
void SetBusyPause(std::function<void(uint32_t milliseconds)> pause);

}  // namespace norvane::tool
