// Opening, reading, checking and writing back a table's files and headers.
#include "engine/tables/dezi_data_manager.h"

#include <algorithm>

#include "engine/common/engine_error.h"
#include "engine/platform/file_system.h"
#include "engine/platform/tick_counter.h"
#include "engine/tables/field_types.h"
#include "engine/tables/table_damage.h"
#include "engine/tables/table_version.h"

namespace norvane {
namespace {

// Filled into the two refusals of table formats that cannot be read.
// How long every password check of an encrypted table takes.
constexpr uint32_t kPasswordDelayMs = 256;

const char kSupportSentence[] =
    "Please contact the support of the database engine to have the table converted.";

}  // namespace

TDeziDataManager::TDeziDataManager(TAbstractPlainFileSystem& store, std::string tableName,
                                   bool readOnly)
    : store_(store), tableName_(std::move(tableName)), readOnly_(readOnly) {}

TDeziDataManager::~TDeziDataManager() {
  try {
    CloseTable();
  } catch (const EEngineError&) {
    // Nobody is left to tell; the files are released all the same.
  }
}

TAbstractFile* TDeziDataManager::OpenOne(const std::string& extension, bool create) {
  try {
    return store_.OpenFile(tableName_ + extension, create, readOnly_, false);
  } catch (const EEngineError&) {
    throw EEngineError("TDeziDataManager.OpenFiles - can not open file \"" + tableName_ +
                       extension + "\", bCreated = " + (create ? "1" : "0") +
                       ", ReadOnly = " + (readOnly_ ? "1" : "0"));
  }
}

bool TDeziDataManager::OpenFiles(bool create) {
  if (!create && !store_.FileExists(tableName_ + ".dat")) return false;
  try {
    dat_ = OpenOne(".dat", create);
    if (dat_->ReadOnly()) readOnly_ = true;
    if (create || !store_.FileExists(tableName_ + ".idx")) {
      // A missing index file is rebuilt from the records; only a writable
      // table can have it made.
      if (!readOnly_) idx_ = OpenOne(".idx", true);
    } else {
      try {
        idx_ = OpenOne(".idx", false);
      } catch (const EEngineError&) {
        if (readOnly_) throw;
        idx_ = OpenOne(".idx", true);
      }
    }
  } catch (...) {
    ReleaseFiles();
    throw;
  }
  return true;
}

bool TDeziDataManager::Open() {
  if (!OpenFiles(false)) return false;
  OpenTable();
  return true;
}

void TDeziDataManager::ThrowDamaged(const std::string& what) const {
  ThrowTableFileDamaged(tableName_ + ".dat", what);
}

void TDeziDataManager::ReadHeaders() {
  const int64_t fileSize = dat_->Size();
  if (fileSize < kTableHeaderSize)
    ThrowDamaged("it is shorter than the table header (" + std::to_string(fileSize) + " bytes)");
  uint8_t head[kTableHeaderSize];
  dat_->SeekFromStart(0);
  dat_->ReadBuffer(head, kTableHeaderSize);
  TTableHeader header;
  const bool nameIntact = DecodeTableHeader(head, header);
  if (JudgeTableVersion(header.Version) == TVersionVerdict::Refuse)
    throw EEngineError(TableVersionMessage(tableName_, header.Version));
  // Longer names than creation allows give index names T.idx cannot hold.
  if (!nameIntact || header.RowIdName.empty() || header.RowIdName.size() > kMaxFieldNameLength)
    ThrowDamaged("the row identifier's name is not a valid name");
  if (header.FieldCount < 0 ||
      kTableHeaderSize + int64_t{kFieldHeaderSize} * header.FieldCount > fileSize)
    ThrowDamaged("the field count " + std::to_string(header.FieldCount) +
                 " does not fit the file");
  if (header.RecordCount < 0)
    ThrowDamaged("the record count " + std::to_string(header.RecordCount) + " is negative");
  if (header.Compression > 3 || header.Encrypted > 1)
    ThrowDamaged("the compression or encryption byte is not a known mode");

  // Bounded by the file's real length, checked above.
  std::vector<uint8_t> bytes(static_cast<size_t>(kFieldHeaderSize) * header.FieldCount);
  if (!bytes.empty()) dat_->ReadBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  std::vector<TFieldHeader> fields(static_cast<size_t>(header.FieldCount));
  for (size_t i = 0; i < fields.size(); ++i) {
    TFieldHeader& field = fields[i];
    const std::string which = "field " + std::to_string(i);
    if (!DecodeFieldHeader(&bytes[i * kFieldHeaderSize], field) || field.Name.empty() ||
        field.Name.size() > kMaxFieldNameLength)
      ThrowDamaged(which + " has no valid name");
    if (!IsStoredFieldType(field.Type))
      ThrowDamaged(which + " has the unknown type code " + std::to_string(field.Type));
    if (!IsValidStoredSize(field.Type, field.Size))
      ThrowDamaged(which + " has the size " + std::to_string(field.Size) +
                   ", impossible for type " + std::to_string(field.Type));
  }
  TRecordGeometry geometry = ComputeRecordGeometry(fields, "OpenTable");
  if (geometry.DataStart + int64_t{geometry.RecordSize} * header.RecordCount >
      TAbstractFile::kMaxSize)
    ThrowDamaged("the record count " + std::to_string(header.RecordCount) +
                 " is beyond what a table file can hold");
  header_ = std::move(header);
  fields_ = std::move(fields);
  geometry_ = std::move(geometry);
}

int64_t TDeziDataManager::ExactDataLength() const {
  return geometry_.DataStart + int64_t{geometry_.RecordSize} * header_.RecordCount;
}

void TDeziDataManager::CheckPassword() const {
  if (password_.Empty()) throw EInvalidTablePassword();
  const TRecordImage cipher(fields_, geometry_, password_);
  // Every attempt costs the same fixed time, whatever its outcome.
  std::vector<uint8_t> probe(static_cast<size_t>(geometry_.RecordSize), 0);
  const uint32_t start = GetTickCount();
  do {
    cipher.Encipher(probe.data());
    cipher.Decipher(probe.data());
  } while (GetTickCount() - start < kPasswordDelayMs);
  if (header_.RecordCount == 0 || dat_->Size() < geometry_.DataStart + geometry_.RecordSize)
    return;
  dat_->SeekFromStart(geometry_.DataStart);
  dat_->ReadBuffer(probe.data(), geometry_.RecordSize);
  try {
    cipher.Decipher(probe.data());
  } catch (const EEngineError&) {
    throw EInvalidTablePassword();
  }
}

void TDeziDataManager::CutToRecords() {
  // Invariant 1: a read-only table keeps its length, whatever lies past it.
  if (readOnly_) return;
  const int64_t exact = ExactDataLength();
  if (dat_->Size() > exact) dat_->SetSize(static_cast<int32_t>(exact));
}

void TDeziDataManager::UpgradeInPlace() {
  const double version = header_.Version;
  const bool largeValues = geometry_.LargeValueFields > 0;
  if (largeValues && version >= 1.249 && version < 2.199)
    throw EEngineError(std::string("Unsupported table format. ") + kSupportSentence);
  if (readOnly_)
    throw EEngineError("Error in TDeziDataManager.ConvertToCurrentTable - table is in ReadOnly mode!");
  if (largeValues && version < 1.249)
    throw EEngineError(
        "Error in TDeziDataManager.ConvertToCurrentTable - this table format is not supported, "
        "version = " + FormatTableVersion(version) + "\n" + kSupportSentence);
}

void TDeziDataManager::OpenTable() {
  try {
    ReadHeaders();
    diskChangeCounter_ = header_.ChangeCounter;
    const bool upgrade = JudgeTableVersion(header_.Version) == TVersionVerdict::Upgrade;
    // Invariant 3: every refusal comes before the first write.
    if (upgrade) UpgradeInPlace();
    if (header_.Encrypted != 0) CheckPassword();
    if (geometry_.LargeValueFields > 0) {
      bif_ = OpenOne(".bif", false);
      bdf_ = OpenOne(".bdf", false);
    }
    RepairShortFile();
    CutToRecords();
    StartRecords();
    ReplayJournal();
    StartBLOBs(false);
    upkeepSuspended_ = 0;
    lastChangeTick_.reset();
    LoadIndexFile();
    // A stale T.idx means the last session may have stopped inside a flush;
    // a current one whose row identifier order does not vouch for unique
    // identifiers below the last one is no proof of the contrary.
    const bool mayHaveStopped = !indexCounterCurrent_ || !IdentifiersVouchedFor();
    open_ = true;
    if (upgrade) {
      if (header_.Version < kIndexUpgradeVersion) UpgradeIndexes();
      header_.Version = kCurrentTableVersion;
      SaveTableHeaders();
    }
    if (!readOnly_) {
      if (mayHaveStopped) RemoveDuplicateIdentifiers();
      // Writes what the repairs changed (a short file's count too).
      FlushBuffers();
    }
    BuildAllIndexes();
    // The descriptions go back in the current format, with their options
    // byte, or the next open would misread them.
    if (upgrade) SaveIndexesToDisk();
  } catch (...) {
    open_ = false;
    ReleaseFiles();
    blobs_.reset();
    header_ = TTableHeader();
    fields_.clear();
    indexes_.clear();
    geometry_ = TRecordGeometry();
    throw;
  }
}

void TDeziDataManager::SaveTableHeaders() {
  if (readOnly_)
    throw EEngineError("Error in TDeziDataManager.SaveTableHeaders - table is in ReadOnly mode!");
  header_.FieldCount = static_cast<int32_t>(fields_.size());
  const int32_t length = kTableHeaderSize + kFieldHeaderSize * header_.FieldCount;
  std::vector<uint8_t> bytes(static_cast<size_t>(length), 0);
  // The reserved and filler bytes the writer skips keep what the file holds.
  const int32_t present = std::min(length, dat_->Size());
  dat_->SeekFromStart(0);
  if (present > 0) dat_->ReadBuffer(bytes.data(), present);
  EncodeTableHeader(header_, bytes.data());
  for (size_t i = 0; i < fields_.size(); ++i)
    EncodeFieldHeader(fields_[i], &bytes[kTableHeaderSize + i * kFieldHeaderSize]);
  dat_->SeekFromStart(0);
  dat_->WriteBuffer(bytes.data(), length);
}

void TDeziDataManager::CloseTable() {
  bool flushed = true;
  if (open_ && !readOnly_) {
    try {
      FlushBuffers();
      if (!indexCounterCurrent_ || indexFileDiffers_) SaveIndexesToDisk();
      CutToRecords();
    } catch (const EEngineError&) {
      flushed = false;
    }
  }
  open_ = false;
  ReleaseFiles();
  indexes_.clear();
  blobs_.reset();
  blobCodec_.reset();
  log_.reset();
  cache_.reset();
  if (!flushed)
    throw EEngineError(
        "TDeziDataManager.CloseTable - Cannot flush changes. Probably the table is opened by "
        "other application.");
}

void TDeziDataManager::ReleaseFiles() {
  for (TAbstractFile** file : {&bdf_, &bif_, &idx_, &dat_}) {
    TAbstractFile* held = *file;
    *file = nullptr;
    if (held != nullptr) store_.CloseFile(held);
  }
}

int32_t TDeziDataManager::InternalGetFieldNo(const std::string& name) const {
  for (size_t i = 0; i < fields_.size(); ++i)
    if (SameNameIgnoringCase(fields_[i].Name, name)) return static_cast<int32_t>(i);
  if (SameNameIgnoringCase(header_.RowIdName, name)) return -1;
  throw EEngineError("Error in TDeziDataManager.InternalGetFieldNo - field \"" + name +
                     "\" not found!");
}

}  // namespace norvane
