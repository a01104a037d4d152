// The directory of a table's large values, as T.bif holds it and as the
// table keeps it in memory: one row of value headers per record, each value's
// runs of blocks in T.bdf, and the list of free runs. It decides where a value
// goes; the bytes themselves are written by the table through its write log.
//
// Invariants:
// 1. Rows are reached only through the row map (physical record number ->
//    first header); a deleted row's headers are orphans until the next image
//    is built, which writes the mapped rows only, in physical order.
// 2. Every block below BlockCount() belongs to at most one value or free
//    run; a directory read from a file that breaks this is refused, so an
//    allocation never hands out a block another value still holds.
// 3. Nothing read from T.bif is used before it is checked (counts, offsets,
//    runs, sizes); damage throws, naming the file, never reads out of range.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace norvane {

// A run of consecutive blocks of T.bdf.
struct TBlobRun {
  int32_t First = 0;
  int32_t Count = 0;
  bool operator==(const TBlobRun&) const = default;
};

// One large value of one record. No runs means no value.
struct TBlobValueHeader {
  int32_t StoredSize = 0;  // bytes after compression and encipherment
  int32_t PlainSize = 0;   // bytes as the application sees them
  std::string Check;       // CRC-32 text of the plain bytes, at most 15 characters
  std::vector<TBlobRun> Runs;
  bool Stored() const { return !Runs.empty(); }
};

// Large-value header, 24 bytes at the start of the image, little-endian:
//    0  i32  block size in bytes
//    4  i32  number of free runs (the free list ends the image)
//    8  i32  number of large-value fields
//   12  i32  RecordCount: records that have a row of value headers
//   16  f64  version, as in the table header
// Then per record, in physical order, per large-value field, a value header
// of 32 bytes:
//    0  i32  number of runs (0 = no value)
//    4  i32  offset of the value's runs inside the image
//    8  i32  stored size
//   12  i32  plain size
//   16  s15  check string (length byte + 15 characters)
// Then the runs of every stored value, same order, 8 bytes each (i32 first
// block, i32 block count); then the free runs, 8 bytes each.
constexpr int32_t kBlobHeaderSize = 24;
constexpr int32_t kBlobValueHeaderSize = 32;
constexpr int32_t kBlobRunSize = 8;
constexpr size_t kBlobCheckCapacity = 15;

class TaaBLOBDirectory {
 public:
  // An empty directory (no rows) for a new table.
  TaaBLOBDirectory(int32_t blockSize, int32_t fieldCount, double version);

  // The directory an image describes, for a table with `fieldCount`
  // large-value fields whose T.bdf holds `bdfLength` bytes. Throws "Error in
  // TDeziDataManager.OpenTable - table file "<fileName>" is damaged: <what>."
  // for anything the image cannot hold.
  static TaaBLOBDirectory Decode(const std::vector<uint8_t>& image, int32_t fieldCount,
                                 int64_t bdfLength, const std::string& fileName);
  // The image of the mapped rows, run offsets computed afresh; renumbers the
  // rows in memory the same way (orphans are dropped).
  std::vector<uint8_t> Encode();

  int32_t BlockSize() const { return blockSize_; }
  int32_t FieldCount() const { return fieldCount_; }
  int32_t RowCount() const { return static_cast<int32_t>(map_.size()); }
  // The record count the header states; equals RowCount() while the two
  // are kept in step.
  int32_t HeaderRecordCount() const { return recordCount_; }
  int32_t BlockCount() const { return blockCount_; }
  const std::vector<TBlobRun>& FreeRuns() const { return free_; }

  // The header of large-value field `field` (0-based among the large-value
  // fields) of row `row`. Requires both in range.
  TBlobValueHeader& Value(int32_t row, int32_t field);

  // Adds a row of empty headers at the end.
  void AddRow();
  // Frees the values of `row`, moves the last row into its place and drops
  // the last map entry.
  void DeleteRow(int32_t row);
  // Returns the value's runs to the end of the free list, in order, and
  // clears its header.
  void DeleteValue(TBlobValueHeader& value);

  // Blocks a value of `blocks` blocks would add to the end of T.bdf.
  int32_t BlocksToGrow(int32_t blocks) const;
  // Takes `blocks` blocks: runs from the end of the free list backwards (a
  // longer run gives its first blocks), then one run at the end of T.bdf.
  std::vector<TBlobRun> Allocate(int32_t blocks);
  // An empty table keeps no blocks: the free list goes, T.bdf is cut.
  void ForgetBlocks();
  // New blocks go after the `bdfLength` bytes T.bdf already holds.
  void KeepBlocks(int64_t bdfLength);

 private:
  // Renumbers the mapped rows in physical order, dropping the orphans.
  void DropOrphans();

  int32_t blockSize_;
  int32_t fieldCount_;
  double version_;
  int32_t recordCount_ = 0;
  int32_t blockCount_ = 0;
  std::vector<TBlobValueHeader> headers_;
  std::vector<int32_t> map_;  // physical number -> first header
  std::vector<TBlobRun> free_;
  int64_t freeBlocks_ = 0;  // the blocks of all free runs, kept as they change
};

}  // namespace norvane
