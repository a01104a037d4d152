// The table component's own properties.
#include "engine/tables/dezi_table.h"

#include "engine/tables/database_lookup.h"
#include "engine/tables/database_manager.h"

namespace norvane {

bool TDeziTable::Encrypted() const { return Table() != nullptr ? Table()->Header().Encrypted != 0 : encrypted_; }

TCompressionLevel TDeziTable::BLOBCompression() const {
  return Table() != nullptr ? static_cast<TCompressionLevel>(Table()->Header().Compression) : compression_;
}

void TDeziTable::SetBLOBCompression(TCompressionLevel level) {
  if (Table() == nullptr) compression_ = level;
}

int32_t TDeziTable::BLOBBlockSize() const { return Table() != nullptr ? Table()->BLOBBlockSize() : blockSize_; }

void TDeziTable::SetBLOBBlockSize(int32_t size) {
  if (Table() == nullptr) blockSize_ = size;
}

void TDeziTable::SetExclusive(bool exclusive) {
  if (!TDataSet::Active()) exclusive_ = exclusive;
}

bool TDeziTable::Exists() {
  if (Table() != nullptr) return true;
  const std::string name = DatabaseFileName().empty() ? DatabaseName() : DatabaseFileName();
  TDeziDatabaseManager& database = aaGetDatabaseManager(name, this);
  bool exists = false;
  try {
    exists = database.FileExists(TableName() + ".dat", InMemory() ? smMemory : 0);
  } catch (...) {
    aaReleaseDatabaseManager(&database);
    throw;
  }
  aaReleaseDatabaseManager(&database);
  return exists;
}

}  // namespace norvane
