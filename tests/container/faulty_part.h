// A test double for part files: wraps a real disk or memory part and fails
// the operations a test plan names, so every failure of the part layer can be
// driven from a test.
#pragma once

#include <memory>
#include <string>

#include "engine/container/part_file.h"

namespace norvane::testing {

// Counts are shared by every part the factory makes; "at" numbers are
// 1-based and 0 means never.
struct TFaultPlan {
  int FailReadAt = 0;      // that read transfers nothing
  int ShortReadAt = 0;     // that read transfers half of what was asked
  int FailWriteAt = 0;     // that write transfers nothing
  int ShortWriteAt = 0;    // that write transfers half of what it was given
  int FailFlushAt = 0;     // that flush throws
  int FailSetSizeAt = 0;   // that size change throws
  int FailOpenAt = 0;      // that open throws
  int64_t FreeBytes = -1;  // bytes the disk can still take; -1 is unlimited
  int ExitAtWrite = 0;     // the process ends at once, as if killed, before that write

  int Reads = 0, Writes = 0, Flushes = 0, SetSizes = 0, Opens = 0;
  int LiveParts = 0;       // parts made and not yet destroyed
};

class TFaultyPart : public TESFSAbstractFile {
 public:
  TFaultyPart(std::unique_ptr<TESFSAbstractFile> inner, std::shared_ptr<TFaultPlan> plan);
  ~TFaultyPart() override;

  void SetExclusive(bool on) override;
  void SetReadOnly(bool on) override;
  void Open(bool create) override;
  void Close() override;
  void Flush() override;
  int64_t Read(void* buffer, int64_t n) override;
  int64_t Write(const void* buffer, int64_t n) override;
  int64_t Seek(int64_t offset, int origin) override;
  void SetSize(int64_t size) override;
  int64_t Size() override;

 private:
  // Bytes of a growth to `end` the disk refuses; takes the rest from the plan.
  int64_t Refused(int64_t end);

  std::unique_ptr<TESFSAbstractFile> inner_;
  std::shared_ptr<TFaultPlan> plan_;
};

TPartFactory MakeFaultyFactory(std::shared_ptr<TFaultPlan> plan);

}  // namespace norvane::testing
