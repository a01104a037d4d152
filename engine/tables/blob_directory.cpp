// The large-value directory: its image codec with every check, the row map,
// and the allocation of blocks from the free list.
#include "engine/tables/blob_directory.h"

#include <algorithm>
#include <cstring>

#include "engine/common/byte_codec.h"
#include "engine/common/engine_error.h"
#include "engine/container/abstract_file.h"
#include "engine/tables/table_damage.h"

namespace norvane {
namespace {

// Beyond this a single block could not be addressed in a 2 GiB file anyway.
constexpr int32_t kMaxBlockSize = 1 << 26;

struct TImageReader {
  const std::vector<uint8_t>& image;
  const std::string& fileName;

  [[noreturn]] void Damaged(const std::string& what) const { ThrowTableFileDamaged(fileName, what); }
  // Bytes [at, at + n) must lie inside the image.
  void Need(int64_t at, int64_t n, const std::string& what) const {
    if (at < 0 || n < 0 || at + n > static_cast<int64_t>(image.size())) Damaged(what);
  }
  // `owner` names the run's holder, asked only for a message.
  template <typename TOwner>
  TBlobRun Run(int64_t at, int32_t blockSize, TOwner owner) const {
    const TBlobRun run{GetI32LE(&image[at]), GetI32LE(&image[at + 4])};
    if (run.First < 0 || run.Count <= 0 ||
        (int64_t{run.First} + run.Count) * blockSize > TAbstractFile::kMaxSize)
      Damaged(owner() + " has the run of " + std::to_string(run.Count) + " blocks from block " +
              std::to_string(run.First));
    return run;
  }
};

}  // namespace

TaaBLOBDirectory::TaaBLOBDirectory(int32_t blockSize, int32_t fieldCount, double version)
    : blockSize_(blockSize), fieldCount_(fieldCount), version_(version) {}

TaaBLOBDirectory TaaBLOBDirectory::Decode(const std::vector<uint8_t>& image, int32_t fieldCount,
                                          int64_t bdfLength, const std::string& fileName) {
  const TImageReader in{image, fileName};
  in.Need(0, kBlobHeaderSize, "it is shorter than the large-value header");
  const int32_t blockSize = GetI32LE(&image[0]);
  const int32_t freeCount = GetI32LE(&image[4]);
  const int32_t fields = GetI32LE(&image[8]);
  const int32_t records = GetI32LE(&image[12]);
  if (blockSize <= 0 || blockSize > kMaxBlockSize)
    in.Damaged("the block size " + std::to_string(blockSize) + " is impossible");
  if (fields != fieldCount)
    in.Damaged("it describes " + std::to_string(fields) + " large-value fields, the table has " +
               std::to_string(fieldCount));
  if (records < 0 || freeCount < 0)
    in.Damaged("the record count " + std::to_string(records) + " or free run count " +
               std::to_string(freeCount) + " is negative");
  const int64_t headersEnd = kBlobHeaderSize + int64_t{records} * fieldCount * kBlobValueHeaderSize;
  const int64_t freeAt = static_cast<int64_t>(image.size()) - int64_t{freeCount} * kBlobRunSize;
  in.Need(kBlobHeaderSize, headersEnd - kBlobHeaderSize,
          "its " + std::to_string(records) + " rows do not fit the image");
  if (freeAt < headersEnd) in.Damaged("its free list does not fit the image");

  TaaBLOBDirectory directory(blockSize, fieldCount, GetF64LE(&image[16]));
  directory.recordCount_ = records;
  directory.headers_.resize(static_cast<size_t>(records) * fieldCount);
  directory.map_.resize(static_cast<size_t>(records));
  for (int32_t r = 0; r < records; ++r) directory.map_[r] = r * fieldCount;
  // Every block is claimed once at most (invariant 2): checked over the
  // runs sorted by their first block, not block by block. A claim names its
  // owner by header number (the free list as -1); the words for it are made
  // only for a message.
  constexpr int64_t kFreeList = -1;
  auto what = [fieldCount](int64_t owner) {
    if (owner == kFreeList) return std::string("the free list");
    return "the value " + std::to_string(owner % fieldCount) + " of row " + std::to_string(owner / fieldCount);
  };
  std::vector<std::pair<TBlobRun, int64_t>> claims;
  for (size_t h = 0; h < directory.headers_.size(); ++h) {
    const int64_t at = kBlobHeaderSize + static_cast<int64_t>(h) * kBlobValueHeaderSize;
    const int64_t owner = static_cast<int64_t>(h);
    TBlobValueHeader& value = directory.headers_[h];
    const int32_t runCount = GetI32LE(&image[at]);
    const int32_t runsAt = GetI32LE(&image[at + 4]);
    value.StoredSize = GetI32LE(&image[at + 8]);
    value.PlainSize = GetI32LE(&image[at + 12]);
    if (runCount < 0 || value.StoredSize < 0 || value.PlainSize < 0)
      in.Damaged(what(owner) + " has a negative size or run count");
    // A header without stored bytes holds no value, whatever it lists.
    if (runCount == 0 || value.StoredSize == 0) {
      value = TBlobValueHeader();
      continue;
    }
    if (runsAt < headersEnd || int64_t{runsAt} + int64_t{runCount} * kBlobRunSize > freeAt)
      in.Damaged(what(owner) + " has its runs outside the image");
    const uint8_t checkLength = image[at + 16];
    if (checkLength > kBlobCheckCapacity) in.Damaged(what(owner) + " has no valid check string");
    value.Check.assign(reinterpret_cast<const char*>(&image[at + 17]), checkLength);
    int64_t capacity = 0;
    value.Runs.reserve(static_cast<size_t>(runCount));
    for (int32_t k = 0; k < runCount; ++k) {
      const TBlobRun run = in.Run(runsAt + int64_t{k} * kBlobRunSize, blockSize, [&] { return what(owner); });
      claims.emplace_back(run, owner);
      capacity += int64_t{run.Count} * blockSize;
      value.Runs.push_back(run);
    }
    if (value.StoredSize > capacity)
      in.Damaged(what(owner) + " stores " + std::to_string(value.StoredSize) + " bytes in " +
                 std::to_string(capacity));
  }
  for (int32_t k = 0; k < freeCount; ++k) {
    const TBlobRun run = in.Run(freeAt + int64_t{k} * kBlobRunSize, blockSize, [&] { return what(kFreeList); });
    claims.emplace_back(run, kFreeList);
    directory.free_.push_back(run);
    directory.freeBlocks_ += run.Count;
  }
  std::sort(claims.begin(), claims.end(),
            [](const auto& a, const auto& b) { return a.first.First < b.first.First; });
  int64_t blocks = bdfLength / blockSize;
  for (size_t k = 0; k < claims.size(); ++k) {
    const TBlobRun& run = claims[k].first;
    if (k > 0 && claims[k - 1].first.First + int64_t{claims[k - 1].first.Count} > run.First)
      in.Damaged(what(claims[k].second) + " claims block " + std::to_string(run.First) +
                 ", which " + what(claims[k - 1].second) + " holds");
    blocks = std::max<int64_t>(blocks, int64_t{run.First} + run.Count);
  }
  directory.blockCount_ = static_cast<int32_t>(blocks);
  return directory;
}

void TaaBLOBDirectory::DropOrphans() {
  if (headers_.size() == map_.size() * static_cast<size_t>(fieldCount_)) {
    // No row was deleted since the last image: the rows are in physical
    // order already (rows are only ever added at the end).
    return;
  }
  std::vector<TBlobValueHeader> rows;
  rows.reserve(map_.size() * static_cast<size_t>(fieldCount_));
  for (const int32_t first : map_)
    for (int32_t f = 0; f < fieldCount_; ++f)
      rows.push_back(std::move(headers_[static_cast<size_t>(first + f)]));
  headers_ = std::move(rows);
  for (size_t r = 0; r < map_.size(); ++r) map_[r] = static_cast<int32_t>(r) * fieldCount_;
}

std::vector<uint8_t> TaaBLOBDirectory::Encode() {
  DropOrphans();
  recordCount_ = RowCount();
  size_t runs = 0;
  for (TBlobValueHeader& value : headers_) {
    // Stored bytes make a value; a header without them keeps nothing.
    if (value.StoredSize <= 0) value = TBlobValueHeader();
    runs += value.Runs.size();
  }

  const size_t runsAt = kBlobHeaderSize + headers_.size() * kBlobValueHeaderSize;
  std::vector<uint8_t> image(runsAt + (runs + free_.size()) * kBlobRunSize, 0);
  PutI32LE(&image[0], blockSize_);
  PutI32LE(&image[4], static_cast<int32_t>(free_.size()));
  PutI32LE(&image[8], fieldCount_);
  PutI32LE(&image[12], recordCount_);
  PutF64LE(&image[16], version_);
  size_t runAt = runsAt;
  auto putRun = [&](const TBlobRun& run) {
    PutI32LE(&image[runAt], run.First);
    PutI32LE(&image[runAt + 4], run.Count);
    runAt += kBlobRunSize;
  };
  for (size_t h = 0; h < headers_.size(); ++h) {
    const TBlobValueHeader& value = headers_[h];
    uint8_t* at = &image[kBlobHeaderSize + h * kBlobValueHeaderSize];
    PutI32LE(at, static_cast<int32_t>(value.Runs.size()));
    PutI32LE(at + 4, value.Runs.empty() ? 0 : static_cast<int32_t>(runAt));
    PutI32LE(at + 8, value.StoredSize);
    PutI32LE(at + 12, value.PlainSize);
    const size_t checkLength = std::min(value.Check.size(), kBlobCheckCapacity);
    at[16] = static_cast<uint8_t>(checkLength);
    std::memcpy(at + 17, value.Check.data(), checkLength);
    for (const TBlobRun& run : value.Runs) putRun(run);
  }
  for (const TBlobRun& run : free_) putRun(run);
  return image;
}

TBlobValueHeader& TaaBLOBDirectory::Value(int32_t row, int32_t field) {
  return headers_[static_cast<size_t>(map_[static_cast<size_t>(row)] + field)];
}

void TaaBLOBDirectory::AddRow() {
  map_.push_back(static_cast<int32_t>(headers_.size()));
  headers_.resize(headers_.size() + static_cast<size_t>(fieldCount_));
  ++recordCount_;
}

void TaaBLOBDirectory::DeleteRow(int32_t row) {
  for (int32_t f = 0; f < fieldCount_; ++f) DeleteValue(Value(row, f));
  map_[static_cast<size_t>(row)] = map_.back();
  map_.pop_back();
  --recordCount_;
}

void TaaBLOBDirectory::DeleteValue(TBlobValueHeader& value) {
  // Neighbouring runs are not merged: the free list keeps the order freed.
  free_.insert(free_.end(), value.Runs.begin(), value.Runs.end());
  for (const TBlobRun& run : value.Runs) freeBlocks_ += run.Count;
  value = TBlobValueHeader();
}

int32_t TaaBLOBDirectory::BlocksToGrow(int32_t blocks) const {
  return static_cast<int32_t>(std::max<int64_t>(blocks - freeBlocks_, 0));
}

std::vector<TBlobRun> TaaBLOBDirectory::Allocate(int32_t blocks) {
  std::vector<TBlobRun> taken;
  while (blocks > 0 && !free_.empty()) {
    TBlobRun& last = free_.back();
    if (last.Count <= blocks) {
      taken.push_back(last);
      blocks -= last.Count;
      freeBlocks_ -= last.Count;
      free_.pop_back();
    } else {
      taken.push_back({last.First, blocks});
      last.First += blocks;
      last.Count -= blocks;
      freeBlocks_ -= blocks;
      blocks = 0;
    }
  }
  if (blocks > 0) {
    taken.push_back({blockCount_, blocks});
    blockCount_ += blocks;
  }
  return taken;
}

void TaaBLOBDirectory::KeepBlocks(int64_t bdfLength) {
  blockCount_ = static_cast<int32_t>((bdfLength + blockSize_ - 1) / blockSize_);
}

void TaaBLOBDirectory::ForgetBlocks() {
  free_.clear();
  freeBlocks_ = 0;
  blockCount_ = 0;
}

}  // namespace norvane
