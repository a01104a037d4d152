// The table component: the table cursor with the properties a program sets
// to create a table (encryption, large-value compression and block size,
// automatic indexes), the engine's version, and whether the table exists.
#pragma once

#include <cstdint>
#include <string>

#include "engine/tables/dezi_dataset.h"

namespace norvane {

// Large-value compression of a new table: modes 0 to 3.
enum TCompressionLevel : uint8_t { clNone = 0, clFastest = 1, clDefault = 2, clMax = 3 };

class TDeziTable : public TDeziDataset {
 public:
  // While open these read the table's header; assignments are kept for the
  // next table created and otherwise ignored while open.
  bool Encrypted() const;
  void SetEncrypted(bool encrypted) { encrypted_ = encrypted; }
  TCompressionLevel BLOBCompression() const;
  void SetBLOBCompression(TCompressionLevel level);
  int32_t BLOBBlockSize() const;
  void SetBLOBBlockSize(int32_t size);
  bool AutoIndexes() const { return autoIndexes_; }
  void SetAutoIndexes(bool on) { autoIndexes_ = on; }
  // Stored only, and changed only while closed.
  bool Exclusive() const { return exclusive_; }
  void SetExclusive(bool exclusive);

  // T.dat exists in the database's file store.
  bool Exists();
  // The engine's version: "4.11" and one blank.
  static std::string CurrentVersion() { return "4.11 "; }

 private:
  bool encrypted_ = false;
  TCompressionLevel compression_ = clNone;
  int32_t blockSize_ = 512;
  bool autoIndexes_ = true;
  bool exclusive_ = false;
};

}  // namespace norvane
