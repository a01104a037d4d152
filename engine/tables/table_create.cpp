// Table creation: the field definitions checked and turned into field
// descriptions, the row identifier chosen, and the new files written.
#include <algorithm>
#include <random>

#include "engine/common/byte_codec.h"
#include "engine/common/engine_error.h"
#include "engine/platform/file_system.h"
#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/field_types.h"
#include "engine/tables/name_list.h"
#include "engine/tables/table_version.h"

namespace norvane {
namespace {

// The stored description of one definition; throws the creation messages.
TFieldHeader DescribeField(const TFieldDef& def) {
  if (def.Name.empty()) throw EEngineError("TDeziDataManager.CreateTable - field name is empty.");
  if (def.Name.size() > kMaxFieldNameLength)
    throw EEngineError(
        "Field name must have no more than 18 chars. Please shorten field name \"" + def.Name +
        "\"");
  const int type = def.Type == ftAutoInc ? ftInteger : def.Type;
  if (!IsStoredFieldType(type))
    throw EEngineError("Error in TDeziDataManager.CreateTable - Unsupported DB type!");
  const int64_t stored = StoredSizeOf(type, def.Size);
  if (type == ftString && stored <= 0)
    throw EEngineError("Error in TDeziDataManager.CreateTable - illegal string size !");
  if (type == ftWideString && stored <= 0)
    throw EEngineError("Error in TDeziDataManager.CreateTable - illegal wide string size !");
  if (type == ftBytes && stored <= 0)
    throw EEngineError("Error in TDeziDataManager.CreateTable - illegal ftBytes size !");
  // Anything past the 16-bit record limit is refused by the geometry; only
  // the int32 field must not wrap on the way there.
  return {def.Name, static_cast<uint8_t>(type),
          static_cast<int32_t>(std::min<int64_t>(stored, INT32_MAX)), def.Required};
}

bool HasFieldNamed(const std::vector<TFieldHeader>& fields, const std::string& name) {
  for (const TFieldHeader& field : fields)
    if (SameNameIgnoringCase(field.Name, name)) return true;
  return false;
}

// The field a primary index definition names, when it is one field of a
// type a row identifier can have; -1 otherwise (the index stays an ordinary
// one and the row identifier is chosen by name).
int32_t PrimaryField(const std::vector<TFieldDef>& defs, const std::vector<TIndexDef>& indexes) {
  for (const TIndexDef& index : indexes) {
    if ((index.Options & ixPrimary) == 0) continue;
    const std::vector<std::string> keys = SplitNameList(index.Fields);
    if (keys.size() != 1) return -1;
    for (size_t i = 0; i < defs.size(); ++i)
      if (SameNameIgnoringCase(defs[i].Name, keys[0]))
        return defs[i].Type == ftInteger || defs[i].Type == ftAutoInc ? static_cast<int32_t>(i) : -1;
    return -1;
  }
  return -1;
}

// The first automatic field becomes the row identifier, else the field of
// the primary index; otherwise "id", or "id" and a random number that no
// defined field has when one already has that name.
std::string ChooseRowId(const std::vector<TFieldDef>& defs, const std::vector<TIndexDef>& indexes,
                        std::vector<TFieldHeader>& fields) {
  auto take = [&](size_t i) {
    std::string name = fields[i].Name;
    fields.erase(fields.begin() + static_cast<std::ptrdiff_t>(i));
    return name;
  };
  for (size_t i = 0; i < defs.size(); ++i)
    if (defs[i].Type == ftAutoInc) return take(i);
  if (const int32_t primary = PrimaryField(defs, indexes); primary >= 0)
    return take(static_cast<size_t>(primary));
  if (!HasFieldNamed(fields, "id")) return "id";
  std::random_device seed;
  std::uniform_int_distribution<int> number(0, 99999);
  for (;;) {
    std::string name = "id" + std::to_string(number(seed));
    if (!HasFieldNamed(fields, name)) return name;
  }
}

}  // namespace

void TDeziDataManager::CreateTable(const std::vector<TFieldDef>& defs, uint8_t compression,
                                   bool encrypted, bool autoIndexes,
                                   const std::vector<TIndexDef>& indexDefs) {
  if (compression > 3)
    throw EEngineError("Error in TDeziDataManager.CreateTable - invalid compression mode " +
                       std::to_string(compression) + " !");
  std::vector<TFieldHeader> fields;
  for (const TFieldDef& def : defs) {
    // Two fields of one name could never be told apart again (an import's
    // cut names can make such pairs).
    if (HasFieldNamed(fields, def.Name))
      throw EEngineError("Error in TDeziDataManager.CreateTable - duplicate field name \"" +
                         def.Name + "\".");
    fields.push_back(DescribeField(def));
  }
  TTableHeader header;
  header.RowIdName = ChooseRowId(defs, indexDefs, fields);
  header.FieldCount = static_cast<int32_t>(fields.size());
  header.Compression = compression;
  header.Encrypted = encrypted ? 1 : 0;
  TRecordGeometry geometry = ComputeRecordGeometry(fields, "CreateTable");
  // An encrypted table without a password could never be opened again.
  if (encrypted && password_.Empty())
    throw EEngineError("Error in TDeziDataManager.CreateTable - no password specified.");

  OpenFiles(true);
  try {
    // Journals left by an earlier table of this name describe nothing here.
    DropJournal(kJournalExtension);
    DropJournal(kDirectoryJournalExtension);
    header_ = std::move(header);
    fields_ = std::move(fields);
    geometry_ = std::move(geometry);
    if (geometry_.LargeValueFields > 0) {
      bif_ = OpenOne(".bif", true);
      bdf_ = OpenOne(".bdf", true);
    }
    SaveTableHeaders();
    StartRecords();
    StartBLOBs(true);
    diskChangeCounter_ = header_.ChangeCounter;
    upkeepSuspended_ = 0;
    lastChangeTick_.reset();
    MakeAutomaticIndexes();
    if (!autoIndexes) indexes_.resize(1);  // the row identifier index only
    BuildAllIndexes();
    open_ = true;
    for (const TIndexDef& index : indexDefs)
      if (!index.Name.empty() && index.Name[0] != '@')
        AddIndex(index.Name, index.Fields, false, index.CaseInsFields, index.DescFields, index.Options);
    SaveIndexesToDisk();
  } catch (...) {
    open_ = false;
    indexes_.clear();
    blobs_.reset();
    ReleaseFiles();
    // Half a table must not pass for one; should a file refuse to go, the
    // failure that brought us here is still the one to report.
    try {
      DeleteTable(store_, tableName_);
    } catch (const EEngineError&) {
    }
    throw;
  }
}

}  // namespace norvane
