// The table component's own properties.
#include "engine/tables/dezi_table.h"

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

bool TDeziTable::Exists() { return Table() != nullptr || TableFileExists(); }

}  // namespace norvane
