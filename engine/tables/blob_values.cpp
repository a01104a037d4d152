// The large values of an open table: T.bif read and written whole, values
// read, written and deleted through the directory and the write log, and the
// rows kept one per record.
#include <algorithm>
#include <cstring>
#include <utility>

#include "engine/common/byte_codec.h"
#include "engine/common/engine_error.h"
#include "engine/platform/tick_counter.h"
#include "engine/protection/compress_buffer.h"
#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/record_journal.h"
#include "engine/tables/field_types.h"
#include "engine/tables/table_damage.h"

namespace norvane {
namespace {

constexpr int32_t kMaxBLOBBlockSize = 1 << 26;
// The graphic prefix some writers put before a bitmap: 1, 0, 0, 1, four
// bytes of their own, then the bitmap's "BM".
constexpr size_t kGraphicPrefix = 8;

}  // namespace

void TDeziDataManager::SetBLOBBlockSize(int32_t size) {
  if (size < 1 || size > kMaxBLOBBlockSize)
    throw EEngineError("Error in TDeziDataManager.SetBLOBBlockSize - invalid block size " +
                       std::to_string(size) + " !");
  requestedBlockSize_ = size;
}

int32_t TDeziDataManager::BLOBBlockSize() const {
  return blobs_ ? blobs_->BlockSize() : requestedBlockSize_;
}

bool TDeziDataManager::IsStreamGraphic(const TMemoryStream* stream) {
  if (stream == nullptr)
    throw EEngineError("Error in TDeziDataManager.IsStreamGraphic - buf 0 pointer.");
  const uint8_t* b = stream->Data();
  return stream->Size() >= 10 && b[0] == 1 && b[1] == 0 && b[2] == 0 && b[3] == 1 &&
         b[8] == 'B' && b[9] == 'M';
}

void TDeziDataManager::StartBLOBs(bool created) {
  blobs_.reset();
  blobCodec_.reset();
  blobsDirty_ = false;
  if (geometry_.LargeValueFields == 0) return;
  blobCodec_ = std::make_unique<TBlobValueCodec>(header_.Compression,
                                                 header_.Encrypted != 0 ? &password_ : nullptr);
  if (created) {
    blobs_ = std::make_unique<TaaBLOBDirectory>(requestedBlockSize_, geometry_.LargeValueFields,
                                                header_.Version);
    SaveBLOBFile();
    return;
  }
  LoadBLOBFile();
  ReconcileBLOBRows();
}

void TDeziDataManager::LoadBLOBFile() {
  const std::string fileName = tableName_ + ".bif";
  auto damaged = [&](const std::string& what) { ThrowTableFileDamaged(fileName, what); };
  std::vector<uint8_t> bytes;
  // A T.bif being written over when the program stopped is whole in its
  // journal: a writable table writes it back, a read-only one reads it there.
  std::optional<TRecordJournal> journal = CurrentJournal(kDirectoryJournalExtension, 0);
  if (journal && journal->Images.size() == 1 && journal->Images[0].first == 0) {
    bytes = std::move(journal->Images[0].second);
    if (!readOnly_) {
      WriteDirectoryFile(bytes);
      DropJournal(kDirectoryJournalExtension);
    }
  } else {
    bytes.resize(static_cast<size_t>(std::max(bif_->Size(), 0)));
    bif_->SeekFromStart(0);
    if (!bytes.empty()) bif_->ReadBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  }
  const int32_t size = static_cast<int32_t>(bytes.size());
  if (size == 0) {
    // Nothing describes the values: a table whose program stopped inside the
    // save that cut T.bif, or files put together by hand. The records stay
    // usable, without values, and their blocks are never written over.
    blobs_ = std::make_unique<TaaBLOBDirectory>(requestedBlockSize_, geometry_.LargeValueFields,
                                                header_.Version);
    blobs_->KeepBlocks(bdf_->Size());
    blobsDirty_ = true;
    return;
  }
  if (size < 4) damaged("it is shorter than its length word");
  const int32_t length = GetI32LE(bytes.data());
  if (length < kBlobHeaderSize) damaged("its image length " + std::to_string(length) + " is impossible");
  std::vector<uint8_t> image;
  size_t produced = static_cast<size_t>(length);
  if (!aaDecompressBuffer(bytes.data() + 4, bytes.size() - 4, image, cmZlib, produced) ||
      produced != static_cast<size_t>(length))
    damaged("its directory does not decompress to " + std::to_string(length) + " bytes");
  blobs_ = std::make_unique<TaaBLOBDirectory>(TaaBLOBDirectory::Decode(
      image, geometry_.LargeValueFields, bdf_->Size(), fileName));
}

void TDeziDataManager::ReconcileBLOBRows() {
  const int32_t rows = blobs_->RowCount();
  if (rows == header_.RecordCount) return;
  // Only the records decide: surplus rows are dropped with their values,
  // and records without a row get empty ones (their values did not reach
  // the directory before the program stopped).
  while (blobs_->RowCount() > header_.RecordCount) blobs_->DeleteRow(blobs_->RowCount() - 1);
  while (blobs_->RowCount() < header_.RecordCount) blobs_->AddRow();
  blobsDirty_ = true;
  if (readOnly_) return;
  ++header_.ChangeCounter;
}

void TDeziDataManager::SaveBLOBFile() {
  if (blobs_->RowCount() == 0) {
    // No record is left: no block is kept either.
    blobs_->ForgetBlocks();
  }
  const std::vector<uint8_t> image = blobs_->Encode();
  std::vector<uint8_t> packed;
  size_t size = 0;
  if (!aaCompressBuffer(image.data(), image.size(), packed, cmZlib, size))
    throw EEngineError("Error in TDeziDataManager.SaveBLOBFile - compressing error, size = " +
                       std::to_string(image.size()));
  std::vector<uint8_t> bytes(4 + packed.size());
  PutI32LE(bytes.data(), static_cast<int32_t>(image.size()));
  std::memcpy(bytes.data() + 4, packed.data(), packed.size());
  // Invariant 6: the new T.bif is whole in its journal before T.bif is
  // written over, and the journal goes once T.bif is whole again.
  WriteJournalFile(kDirectoryJournalExtension, static_cast<int32_t>(bytes.size()), {{0, bytes.data()}});
  if (blobs_->RowCount() == 0) bdf_->SetSize(0);
  WriteDirectoryFile(bytes);
  DropJournal(kDirectoryJournalExtension);
  blobsDirty_ = false;
}

void TDeziDataManager::WriteDirectoryFile(const std::vector<uint8_t>& bytes) {
  bif_->SetSize(0);
  bif_->SeekFromStart(0);
  bif_->WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  bif_->Flush();
}

int32_t TDeziDataManager::BLOBFieldIndex(int32_t field, const char* operation) const {
  if (field < 0 || static_cast<size_t>(field) >= fields_.size() ||
      !IsLargeValueType(fields_[static_cast<size_t>(field)].Type) || !blobs_)
    throw EEngineError(std::string("Error in TDeziDataManager.") + operation +
                       " - 0 pointer to pFieldHeader, fieldNum = ." + std::to_string(field));
  int32_t before = 0;
  for (int32_t f = 0; f < field; ++f)
    if (IsLargeValueType(fields_[static_cast<size_t>(f)].Type)) ++before;
  return before;
}

void TDeziDataManager::CheckBLOBRow(int32_t physical, const char* operation) const {
  if (physical < 0 || physical >= blobs_->RowCount())
    throw EEngineError(std::string("TDeziDataManager.") + operation +
                       " - invalid record Number, recPos = " + std::to_string(physical));
}

void TDeziDataManager::ReadBLOBValue(TMemoryStream* stream, int32_t field, int32_t physical) {
  const int32_t index = BLOBFieldIndex(field, "ReadBLOBValue");
  if (stream == nullptr)
    throw EEngineError("Error in TDeziDataManager.aaReadBLOBValue - stream is not opened.");
  CheckBLOBRow(physical, "aaReadBLOBValue");
  stream->Clear();
  if (!blobs_->Value(physical, index).Stored()) return;
  // T.bdf must hold every value before one is read from it.
  if (log_->HasBlobData()) FlushBuffers();
  const TBlobValueHeader& value = blobs_->Value(physical, index);
  const int32_t blockSize = blobs_->BlockSize();
  std::vector<uint8_t> stored;
  stored.reserve(static_cast<size_t>(value.StoredSize));
  for (const TBlobRun& run : value.Runs) {
    const size_t at = stored.size();
    const int32_t want = static_cast<int32_t>(std::min<int64_t>(
        int64_t{run.Count} * blockSize, int64_t{value.StoredSize} - static_cast<int64_t>(at)));
    if (want <= 0) break;
    stored.resize(at + static_cast<size_t>(want));
    bdf_->SeekFromStart(static_cast<int32_t>(int64_t{run.First} * blockSize));
    // Blocks past the end of T.bdf are damage, told by the check below.
    const int32_t got = bdf_->Read(stored.data() + at, want);
    if (got < want) stored.resize(at + static_cast<size_t>(std::max(got, 0)));
    if (got < want) break;
  }
  if (stored.size() != static_cast<size_t>(value.StoredSize))
    throw EEngineError("Error in TDeziDataManager.aaReadBLOBValue - crc error");
  std::vector<uint8_t> plain =
      blobCodec_->Decode(stored.data(), value.StoredSize, value.PlainSize, value.Check);
  stream->Assign(std::move(plain));
}

TStoredBlobValue TDeziDataManager::PrepareBLOBValue(const TMemoryStream& stream,
                                                    int32_t field) const {
  const uint8_t* data = stream.Data();
  size_t n = static_cast<size_t>(stream.Size());
  // Only a picture field drops the prefix: a memo or binary value that
  // happens to start with those bytes keeps them.
  if (fields_[static_cast<size_t>(field)].Type == ftGraphic && IsStreamGraphic(&stream)) {
    data += kGraphicPrefix;
    n -= kGraphicPrefix;
  }
  if (n > static_cast<size_t>(TAbstractFile::kMaxSize))
    throw EEngineError("Error in TDeziDataManager.aaWriteBLOBValue - a value of " +
                       std::to_string(n) + " bytes cannot be stored.");
  static const uint8_t kNothing = 0;
  return blobCodec_->Encode(n == 0 ? &kNothing : data, n);
}

int32_t TDeziDataManager::BlocksOf(const TStoredBlobValue& value) const {
  const int64_t size = blobs_->BlockSize();
  return static_cast<int32_t>((static_cast<int64_t>(value.Bytes.size()) + size - 1) / size);
}

void TDeziDataManager::CheckBLOBGrowth(int64_t blocks) const {
  const int64_t grow = blobs_->BlocksToGrow(static_cast<int32_t>(std::min<int64_t>(blocks, INT32_MAX)));
  if ((int64_t{blobs_->BlockCount()} + grow) * blobs_->BlockSize() > TAbstractFile::kMaxSize)
    throw EEngineError("TDeziDataManager.aaWriteBLOBValue - the large-value file \"" + tableName_ +
                       ".bdf\" cannot grow past " + std::to_string(TAbstractFile::kMaxSize) +
                       " bytes.");
}

void TDeziDataManager::StoreBLOBValue(TBlobValueHeader& header, TStoredBlobValue value) {
  const int32_t blocks = BlocksOf(value);
  header = TBlobValueHeader();
  header.StoredSize = static_cast<int32_t>(value.Bytes.size());
  header.PlainSize = value.PlainSize;
  // Written whole blocks at a time; the padding is zeros.
  value.Bytes.resize(static_cast<size_t>(blocks) * static_cast<size_t>(blobs_->BlockSize()), 0);
  header.Check = std::move(value.Check);
  header.Runs = blobs_->Allocate(blocks);
  log_->AddBlobData(std::move(value.Bytes), header.Runs, GetTickCount());
  blobsDirty_ = true;
}

void TDeziDataManager::WriteBLOBValue(TMemoryStream* stream, int32_t field, int32_t physical) {
  const int32_t index = BLOBFieldIndex(field, "WriteBLOBValue");
  if (stream == nullptr)
    throw EEngineError("Error in TDeziDataManager.aaWriteBLOBValue - stream is not opened.");
  CheckWritable("aaWriteBLOBValue");
  CheckBLOBRow(physical, "aaWriteBLOBValue");
  if (stream->Size() == 0) {
    DeleteBLOBValue(field, physical);
    return;
  }
  TStoredBlobValue value = PrepareBLOBValue(*stream, field);
  CheckBLOBGrowth(BlocksOf(value));
  StoreBLOBValue(blobs_->Value(physical, index), std::move(value));
  AfterChange();
}

void TDeziDataManager::DeleteBLOBValue(int32_t field, int32_t physical) {
  const int32_t index = BLOBFieldIndex(field, "DeleteBLOBValue");
  CheckWritable("DeleteBLOBValue");
  CheckBLOBRow(physical, "DeleteBLOBValue");
  TBlobValueHeader& value = blobs_->Value(physical, index);
  if (!value.Stored()) return;
  blobs_->DeleteValue(value);
  blobsDirty_ = true;
}

}  // namespace norvane
