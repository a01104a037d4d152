// The long operations that report progress to their caller, numbered as the
// components' progress events carry them. Percentages are doubles from 0 to
// 100; the handler may set a cancel flag that the operation polls.
#pragma once

#include <cstdint>

namespace norvane {

enum TaaProgressProcess : int32_t {
  aappImport = 0,
  aappExport = 1,
  aappRestructure = 2,
  aappRepair = 3,
  aappChangeCompression = 4,
  aappCompactDB = 5,
  aappRepairDB = 6,
  aappChangeEncryption = 7,
  aappChangeEncryptionDB = 8,
  aappAddingRecords = 9,
};

}  // namespace norvane
