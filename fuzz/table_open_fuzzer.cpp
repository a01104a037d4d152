// libFuzzer target: arbitrary bytes as a table's T.dat and T.idx (see
// table_input.h), served from the memory store beside empty large-value
// files, opened read-only and then writable. Every outcome must be an open
// table or an EEngineError; a read-only open must leave T.dat exactly as it
// was; a writable one (which repairs) must give records with unique
// identifiers no greater than the last one assigned; and every index of an
// open table, whatever T.idx held, must hold each record once, in order.
#include <cstdlib>
#include <unordered_set>
#include <vector>

#include "engine/common/engine_error.h"
#include "engine/container/memory_plain_file_system.h"
#include "engine/tables/dezi_data_manager.h"
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
  table.CloseTable();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 20) return 0;
  norvane::TMemoryPlainFileSystem store("fuzz");
  const norvane::fuzz::TTableInput input = norvane::fuzz::SplitTableInput(data, size);
  Put(store, "T.dat", input.Dat);
  Put(store, "T.idx", input.Idx);
  Put(store, "T.bif", {});
  Put(store, "T.bdf", {});
  TryOpen(store, true);
  if (Bytes(store) != input.Dat) std::abort();
  TryOpen(store, false);
  return 0;
}
