// The 16-bit mode words a container and the files inside it are created or
// opened with: the access and sharing bits, the words the engine passes, and
// what a word says about read-only and exclusive use.
#pragma once

#include <cstdint>

namespace norvane {

// 0xFFFF creates; any other word opens: the low two bits give the access and
// bits 4..6 the sharing.
constexpr uint16_t kModeCreate = 0xFFFF;

constexpr uint16_t kModeAccessMask = 0x03;
constexpr uint16_t kModeAccessRead = 0x00;
constexpr uint16_t kModeAccessWrite = 0x01;
constexpr uint16_t kModeAccessReadWrite = 0x02;

constexpr uint16_t kModeShareExclusive = 0x10;
constexpr uint16_t kModeShareDenyWrite = 0x20;
constexpr uint16_t kModeShareDenyRead = 0x30;
constexpr uint16_t kModeShareDenyNone = 0x40;

// The words the engine and its tools open with.
// Ordinary writing: other processes may read but not write.
constexpr uint16_t kModeReadWriteDenyWrite = kModeAccessReadWrite | kModeShareDenyWrite;  // 0x22
// Reading a file that cannot (or need not) be written; shared with everyone.
constexpr uint16_t kModeReadOnlyDenyNone = kModeAccessRead | kModeShareDenyNone;  // 0x40
// Writing with the file held alone, as a rewrite of the whole container needs.
constexpr uint16_t kModeReadWriteExclusive = kModeAccessReadWrite | kModeShareExclusive;  // 0x12
// The password and encryption probes, and the checker: read-only, default sharing.
constexpr uint16_t kModeReadOnlyProbe = kModeAccessRead;  // 0
// Reopening after compaction, and loading an existing file into memory.
constexpr uint16_t kModeReadWriteReopen = kModeAccessReadWrite;  // 2

constexpr bool ModeIsCreate(uint16_t mode) { return mode == kModeCreate; }
constexpr bool ModeIsReadOnly(uint16_t mode) {
  return !ModeIsCreate(mode) && (mode & kModeAccessMask) == kModeAccessRead;
}
constexpr bool ModeIsExclusive(uint16_t mode) {
  return ModeIsCreate(mode) || (mode & kModeShareExclusive) != 0;
}

}  // namespace norvane
