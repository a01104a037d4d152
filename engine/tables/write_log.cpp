// Keeping the newest image per record and writing them out in runs.
#include "engine/tables/write_log.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "engine/common/engine_error.h"

namespace norvane {

TaaBufferLogArray::TaaBufferLogArray(int32_t recordSize, int64_t byteLimit)
    : recordSize_(recordSize), byteLimit_(byteLimit) {}

void TaaBufferLogArray::AddRecord(int32_t position, const uint8_t* image, uint32_t now) {
  if (entries_ == 0) oldestTick_ = now;
  ++entries_;
  bytes_ += recordSize_;
  const auto [slot, added] = offsets_.try_emplace(position, images_.size());
  if (added) images_.resize(images_.size() + static_cast<size_t>(recordSize_));
  std::memcpy(images_.data() + slot->second, image, static_cast<size_t>(recordSize_));
}

const uint8_t* TaaBufferLogArray::FindRecord(int32_t position) const {
  const auto slot = offsets_.find(position);
  return slot == offsets_.end() ? nullptr : images_.data() + slot->second;
}

bool TaaBufferLogArray::ShouldFlush(uint32_t now) const {
  if (entries_ == 0) return false;
  // Ticks wrap modulo 2^32; the difference is still the elapsed time.
  return bytes_ >= byteLimit_ || entries_ >= kMaxEntries || now - oldestTick_ > kMaxAgeMs;
}

std::vector<std::pair<int32_t, const uint8_t*>> TaaBufferLogArray::RecordsBelow(int32_t limit) const {
  std::vector<std::pair<int32_t, const uint8_t*>> records;
  records.reserve(offsets_.size());
  for (const auto& [position, offset] : offsets_)
    if (position < limit) records.emplace_back(position, images_.data() + offset);
  std::sort(records.begin(), records.end());
  return records;
}

void TaaBufferLogArray::WriteRecords(TAbstractFile& dat, int32_t dataStart,
                                     int32_t recordCount) const {
  const std::vector<std::pair<int32_t, const uint8_t*>> live = RecordsBelow(recordCount);
  const size_t size = static_cast<size_t>(recordSize_);
  // Consecutive records go out as one write of at most this many bytes,
  // straight from the log when it holds them side by side (as appends are).
  constexpr size_t kRunBytes = size_t{1} << 20;
  const size_t perRun = std::max<size_t>(1, kRunBytes / size);
  std::vector<uint8_t> run;
  for (size_t i = 0; i < live.size();) {
    const int32_t first = live[i].first;
    const uint8_t* start = live[i].second;
    bool adjacent = true;
    size_t j = i + 1;
    for (; j < live.size() && j - i < perRun && live[j].first == first + static_cast<int32_t>(j - i); ++j)
      adjacent = adjacent && live[j].second == start + (j - i) * size;
    if (!adjacent) {
      run.clear();
      for (size_t k = i; k < j; ++k) run.insert(run.end(), live[k].second, live[k].second + size);
      start = run.data();
    }
    dat.SeekFromStart(dataStart + first * recordSize_);
    dat.WriteBuffer(start, static_cast<int32_t>((j - i) * size));
    i = j;
  }
}

void TaaBufferLogArray::AddBlobData(std::vector<uint8_t> bytes, std::vector<TBlobRun> runs,
                                    uint32_t now) {
  if (entries_ == 0) oldestTick_ = now;
  ++entries_;
  bytes_ += static_cast<int64_t>(bytes.size());
  blobs_.push_back({std::move(bytes), std::move(runs)});
}

void TaaBufferLogArray::WriteBlobData(TAbstractFile& bdf, int32_t blockSize) const {
  for (const TBlobEntry& entry : blobs_) {
    size_t taken = 0;
    for (const TBlobRun& run : entry.Runs) {
      // The directory keeps every run inside a file's 2 GiB.
      const int32_t expected = run.Count * blockSize;
      bdf.SeekFromStart(static_cast<int32_t>(int64_t{run.First} * blockSize));
      const int32_t written = bdf.Write(entry.Bytes.data() + taken, expected);
      if (written != expected)
        throw EEngineError("TaaBufferLogArray.FlushBuffers - error writing data to blob file, xx = " +
                           std::to_string(written) + ", bc = " + std::to_string(expected));
      taken += static_cast<size_t>(expected);
    }
  }
}

void TaaBufferLogArray::Clear() {
  offsets_.clear();
  images_.clear();
  blobs_.clear();
  entries_ = 0;
  bytes_ = 0;
}

}  // namespace norvane
