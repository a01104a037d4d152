// The write log of one table: record images changed since the last flush, in
// the form T.dat holds them (enciphered for an encrypted table), and large
// values in the form T.bdf holds them, waiting to be written. Only the newest
// image of each physical record is kept; the flush writes them in record
// order, neighbours in one write, so the file ends exactly as if every change
// had been written in the order made. Large values go out in the order
// logged, so a block freed and given to a later value ends with the later
// bytes.
//
// The flush decision counts every change as the format's log does: at least
// one change and (the bytes logged reach the byte limit, or 10000 changes,
// or the oldest change is more than 1000 milliseconds old).
#pragma once

#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/container/abstract_file.h"
#include "engine/tables/blob_directory.h"

namespace norvane {

class TaaBufferLogArray {
 public:
  static constexpr int32_t kMaxEntries = 10000;
  static constexpr uint32_t kMaxAgeMs = 1000;

  // Images of recordSize bytes; byteLimit is the logged-bytes threshold.
  TaaBufferLogArray(int32_t recordSize, int64_t byteLimit);

  // Logs the image for a physical record at tick `now`, replacing any older
  // image of that record.
  void AddRecord(int32_t position, const uint8_t* image, uint32_t now);
  // The newest logged image of the record, or null.
  const uint8_t* FindRecord(int32_t position) const;
  bool Empty() const { return entries_ == 0; }
  bool HasRecords() const { return !offsets_.empty(); }
  bool ShouldFlush(uint32_t now) const;

  // Writes the newest image of every record below recordCount (images of
  // records deleted since are dropped) at dataStart + position x record size.
  // The log is kept when a write fails, so nothing is lost to a retry.
  void WriteRecords(TAbstractFile& dat, int32_t dataStart, int32_t recordCount) const;
  // The newest image of every record below `limit`, in rising record order.
  std::vector<std::pair<int32_t, const uint8_t*>> RecordsBelow(int32_t limit) const;

  // Logs a large value's stored bytes (padded to whole blocks) for its runs.
  void AddBlobData(std::vector<uint8_t> bytes, std::vector<TBlobRun> runs, uint32_t now);
  bool HasBlobData() const { return !blobs_.empty(); }
  // Writes every logged value at its runs, in the order logged. Throws
  // "TaaBufferLogArray.FlushBuffers - error writing data to blob file, xx =
  // <written>, bc = <expected>" on a short write; the log is kept.
  void WriteBlobData(TAbstractFile& bdf, int32_t blockSize) const;
  void Clear();

 private:
  int32_t recordSize_;
  int64_t byteLimit_;
  std::unordered_map<int32_t, size_t> offsets_;  // position -> offset in images_
  std::vector<uint8_t> images_;
  struct TBlobEntry {
    std::vector<uint8_t> Bytes;
    std::vector<TBlobRun> Runs;
  };
  std::vector<TBlobEntry> blobs_;
  int64_t entries_ = 0;
  int64_t bytes_ = 0;
  uint32_t oldestTick_ = 0;
};

}  // namespace norvane
