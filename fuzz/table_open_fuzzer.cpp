// libFuzzer target: arbitrary bytes as a table's T.dat, T.idx, T.bif and
// T.bdf (see table_input.h), served from the memory store, opened read-only
// and then writable. Every outcome must be an open table or an EEngineError;
// a read-only open must leave T.dat exactly as it was; a writable one (which
// repairs) must give records with unique identifiers no greater than the last
// one assigned; every index of an open table, whatever T.idx held, must hold
// each record once, in order; and every large value must read or fail with
// an EEngineError, and a writable table must take a new value, delete every
// value it holds and then hold no block but free ones.
#include <cstdlib>
#include <unordered_set>
#include <vector>

#include "engine/common/engine_error.h"
#include "engine/container/memory_plain_file_system.h"
#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/field_types.h"
#include "fuzz/table_input.h"

namespace {

void Put(norvane::TMemoryPlainFileSystem& store, const char* name,
         const std::vector<uint8_t>& bytes) {
  norvane::TAbstractFile* file = store.OpenFile(name, true, false, false);
  if (!bytes.empty()) file->WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
}

std::vector<uint8_t> Bytes(norvane::TMemoryPlainFileSystem& store) {
  norvane::TAbstractFile* file = store.OpenFile("T.dat", false, false, false);
  std::vector<uint8_t> bytes(static_cast<size_t>(file->Size()));
  file->SeekFromStart(0);
  if (!bytes.empty()) file->ReadBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  return bytes;
}

// Every value reads or fails cleanly; a writable table then stores one new
// value, and once every value is deleted no block is held by a value.
void ReadAndRewriteValues(norvane::TDeziDataManager& table, bool readOnly) {
  const int32_t records = table.Header().RecordCount;
  if (table.BLOBDirectory()->RowCount() != records) std::abort();
  std::vector<int32_t> fields;
  for (size_t f = 0; f < table.Fields().size(); ++f)
    if (norvane::IsLargeValueType(table.Fields()[f].Type)) fields.push_back(static_cast<int32_t>(f));
  norvane::TMemoryStream stream;
  for (int32_t r = 0; r < records; ++r)
    for (const int32_t f : fields) {
      try {
        table.ReadBLOBValue(&stream, f, r);
      } catch (const norvane::EEngineError&) {
      }
    }
  if (readOnly || records == 0) return;
  try {
    norvane::TMemoryStream value(std::vector<uint8_t>(700, 'v'));
    table.WriteBLOBValue(&value, fields.front(), 0);
    table.ReadBLOBValue(&stream, fields.front(), 0);
    if (stream.Bytes() != value.Bytes()) std::abort();
    for (int32_t r = 0; r < records; ++r)
      for (const int32_t f : fields) table.DeleteBLOBValue(f, r);
  } catch (const norvane::EEngineError&) {
    return;  // a refused value (a mode this build cannot code, no password)
  }
  for (int32_t r = 0; r < records; ++r)
    for (const int32_t f : fields) {
      table.ReadBLOBValue(&stream, f, r);
      if (stream.Size() != 0) std::abort();
    }
}

// Opens the table; an open table's geometry must agree with its fields.
void TryOpen(norvane::TMemoryPlainFileSystem& store, bool readOnly) {
  norvane::TDeziDataManager table(store, "T", readOnly);
  try {
    if (!table.Open()) std::abort();
  } catch (const norvane::EEngineError&) {
    return;
  }
  if (table.Geometry().FieldOffsets.size() != table.Fields().size() ||
      table.Geometry().RecordSize + 8 > 65535)
    std::abort();
  std::unordered_set<int32_t> ids;
  for (int32_t at = 0; at < table.Header().RecordCount; ++at) {
    const int32_t id = table.DecodeRecord(table.RecordPtr(at)).RowId;
    if (!readOnly && (!ids.insert(id).second || id > table.Header().LastId)) std::abort();
  }
  // A record's own place is where the search for it ends: the array holds
  // every record once and in key order.
  for (int32_t index = 0; index < table.IndexCount(); ++index)
    for (int32_t at = 0; at < table.Header().RecordCount; ++at)
      if (table.RecordPosition(index, table.IndexRecord(index, at)) != at) std::abort();
  if (table.BLOBDirectory() != nullptr) ReadAndRewriteValues(table, readOnly);
  table.CloseTable();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 20) return 0;
  norvane::TMemoryPlainFileSystem store("fuzz");
  const norvane::fuzz::TTableInput input = norvane::fuzz::SplitTableInput(data, size);
  Put(store, "T.dat", input.Dat);
  Put(store, "T.idx", input.Idx);
  Put(store, "T.bif", input.Bif);
  Put(store, "T.bdf", input.Bdf);
  if (!input.Jnl.empty()) Put(store, "T.jnl", input.Jnl);
  TryOpen(store, true);
  if (Bytes(store) != input.Dat) std::abort();
  TryOpen(store, false);
  return 0;
}
