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

// The first sixteen bytes of an encoded key (with the row identifier that
// follows it), zeros past its end, as two big-endian numbers: when one key
// sorts before another, its head is never the larger, so unequal heads decide
// a comparison without the rest of either key. Sixteen bytes hold most keys
// of numeric and short text fields whole, row identifier included.
struct TKeyHead {
  uint64_t High = 0, Low = 0;
  auto operator<=>(const TKeyHead&) const = default;
  // The sixteen bytes as the key has them.
  void CopyBytes(uint8_t* out) const {
    for (size_t i = 0; i < 16; ++i) out[i] = static_cast<uint8_t>((i < 8 ? High : Low) >> (56 - 8 * (i % 8)));
  }
};

inline TKeyHead KeyHead(const uint8_t* key, size_t size) {
  TKeyHead head;
  for (size_t i = 0; i < 16; ++i) {
    uint64_t& half = i < 8 ? head.High : head.Low;
    half = (half << 8) | (i < size ? key[i] : 0);
  }
  return head;
}
inline TKeyHead KeyHead(const std::string& key) {
  return KeyHead(reinterpret_cast<const uint8_t*>(key.data()), key.size());
}

// One entry of an index array: a record and the head of its key, kept beside
// it so that a search compares heads in the array's own memory and reads a
// record only when two heads are equal. Twenty bytes, as 32-bit words.
struct TIndexEntry {
  TIndexEntry() = default;
  TIndexEntry(TKeyHead head, int32_t record)
      : Words{static_cast<uint32_t>(head.High >> 32), static_cast<uint32_t>(head.High),
              static_cast<uint32_t>(head.Low >> 32), static_cast<uint32_t>(head.Low)},
        Record(record) {}
  TKeyHead Head() const {
    return {(uint64_t{Words[0]} << 32) | Words[1], (uint64_t{Words[2]} << 32) | Words[3]};
  }
  uint32_t Words[4] = {};
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
  // The array is T.idx's and is read, checked for holding each record once
  // and for its order, and given its key heads, when the index is first
  // used: an open neither reads every array nor encodes every key.
  bool Loaded = false;
  // Where in T.idx a loaded array still lies (-1: read into Array).
  int64_t StoredAt = -1;
  // Neither built nor waiting for its check: sorted again before use.
  void Drop() {
    Built = Loaded = false;
    StoredAt = -1;
  }
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
