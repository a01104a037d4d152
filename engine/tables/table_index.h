// One index of an open table as the table keeps it in memory: the stored
// description, the key encoder made from it, and the physical record numbers
// in key order. Among records with equal keys the array keeps row identifier
// order, so every record has exactly one place and is found by a bounded
// search, never a scan of its run of equals.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/tables/index_array.h"
#include "engine/tables/index_header.h"
#include "engine/tables/index_key.h"

namespace norvane {

// The first eight bytes of an encoded key as a big-endian number, zeros past
// its end: when one key sorts before another, its head is never the larger,
// so unequal heads decide a comparison without the rest of either key.
inline uint64_t KeyHead(const std::string& key) {
  uint64_t head = 0;
  for (size_t i = 0; i < 8; ++i)
    head = (head << 8) | (i < key.size() ? static_cast<uint8_t>(key[i]) : 0);
  return head;
}

// One entry of an index array: a record and the head of its key and row
// identifier, kept beside it so that a search compares heads in the array's
// own memory and reads a record only when two heads are equal (a key on an
// empty or numeric field fits its head whole). Twelve bytes.
struct TIndexEntry {
  TIndexEntry() = default;
  TIndexEntry(uint64_t head, int32_t record)
      : HeadHigh(static_cast<uint32_t>(head >> 32)), HeadLow(static_cast<uint32_t>(head)), Record(record) {}
  uint64_t Head() const { return (uint64_t{HeadHigh} << 32) | HeadLow; }
  uint32_t HeadHigh = 0, HeadLow = 0;
  int32_t Record = 0;
};

struct TTableIndex {
  TTableIndex(TIndexDescription description, const std::vector<TFieldHeader>& fields,
              const TRecordGeometry& geometry)
      : Description(std::move(description)), Encoder(fields, geometry, Description) {}

  // Temporary indexes ("$_IDX_" and a number) are never written to T.idx.
  bool Temporary() const { return !Description.Name.empty() && Description.Name[0] == '$'; }

  TIndexDescription Description;
  TIndexKeyEncoder Encoder;
  TChunkedArray<TIndexEntry> Array;
  // Clear: the array is not in key order and is rebuilt before any use.
  bool Built = false;
};

// Told when the indexes of a table are rebuilt from its records (at open,
// when T.idx does not describe T.dat), so that a program can show it.
class TIndexBuildProgress {
 public:
  virtual ~TIndexBuildProgress() = default;
  virtual void IndexBuildStarted(const std::string& tableName) = 0;
  // 0 to 100.
  virtual void IndexBuildProgress(int percent) = 0;
  virtual void IndexBuildEnded() = 0;
};

}  // namespace norvane
