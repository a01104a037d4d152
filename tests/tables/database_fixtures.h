// What the tests of the database component and its managers share: a fake
// dataset that opens its table through the shared managers as a cursor
// will, catalogues made with tables of numbered records, and a look at the
// records a table holds.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/container/disk_plain_file_system.h"
#include "engine/container/pfs_manager.h"
#include "engine/tables/dataset_tables.h"
#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/engine_registries.h"
#include "engine/tables/field_types.h"
#include "engine/tables/managed_dataset.h"
#include "tests/tables/field_values.h"

namespace norvane::testing {

class TFakeDataset : public TManagedDataset {
 public:
  TFakeDataset() = default;
  TFakeDataset(std::string databaseName, std::string databaseFileName = "")
      : databaseName_(std::move(databaseName)), databaseFileName_(std::move(databaseFileName)) {}
  ~TFakeDataset() override {
    try {
      Close();
    } catch (const EEngineError&) {
    }
  }

  std::string DatabaseName() const override { return databaseName_; }
  std::string DatabaseFileName() const override { return databaseFileName_; }
  bool InMemory() const override { return inMemory_; }
  bool ReadOnly() const override { return readOnly_; }
  void SetReadOnly(bool readOnly) override { readOnly_ = readOnly; }
  std::string Password() const override { return password_; }
  int32_t RecordsPerPage() const override { return recordsPerPage_; }
  bool Active() const override { return table_ != nullptr; }
  void CloseForDisconnect() override {
    ++closedByDisconnect_;
    Close();
  }

  // ConnectDataset's result.
  int32_t Open(const std::string& tableName) {
    int32_t result = 0;
    table_ = aaOpenTableForDataset(*this, tableName, result);
    return result;
  }
  void Close() {
    if (table_ == nullptr) return;
    TDeziDataManager* table = table_;
    table_ = nullptr;
    aaCloseTableForDataset(*this, *table);
  }
  TDeziDataManager* Table() const { return table_; }

  std::string databaseName_;
  std::string databaseFileName_;
  std::string password_;
  bool inMemory_ = false;
  bool readOnly_ = false;
  int32_t recordsPerPage_ = 1000;
  int closedByDisconnect_ = 0;

 private:
  TDeziDataManager* table_ = nullptr;
};

inline const std::vector<TFieldDef>& CatalogueFields() {
  static const std::vector<TFieldDef> fields = {{"N", ftInteger, 0, false},
                                                {"Title", ftString, 120, false}};
  return fields;
}

inline std::vector<uint8_t> NumberedRecord(const TDeziDataManager& table, int32_t n) {
  TRecordValues values;
  values.Fields = {IntValue(n), TextValue("Article number " + std::to_string(n))};
  return table.EncodeRecord(values);
}

// Creates `name` in `store` with records numbered first..first+count-1.
inline void MakeTable(TAbstractPlainFileSystem& store, const std::string& name, int32_t count,
                      int32_t first = 1) {
  TDeziDataManager table(store, name, false);
  table.CreateTable(CatalogueFields(), 0, false);
  for (int32_t n = first; n < first + count; ++n) {
    std::vector<uint8_t> image = NumberedRecord(table, n);
    table.aaAddRecord(image.data());
  }
  table.CloseTable();
}

// A container file holding the tables, each with its record count.
inline void MakeCatalogue(const std::string& file,
                          const std::vector<std::pair<std::string, int32_t>>& tables,
                          const std::string& password = "") {
  TPFSManager& registry = TPFSManager::Instance();
  ASSERT_TRUE(registry.CreateContainer(file, password, false));
  bool readOnly = false;
  auto store = registry.GetPFSHandle(file, password, false, readOnly, smContainer);
  ASSERT_NE(store, nullptr);
  for (const auto& [name, count] : tables) MakeTable(*store, name, count);
  store.reset();
  registry.ReleasePFS(file, false);
}

inline void MakeFolderTables(const std::string& folder,
                             const std::vector<std::pair<std::string, int32_t>>& tables) {
  TDiskPlainFileSystem store(folder);
  for (const auto& [name, count] : tables) MakeTable(store, name, count);
}

// The numbers of the table's records, in physical order.
inline std::vector<int32_t> RecordNumbers(TDeziDataManager& table) {
  std::vector<int32_t> numbers;
  for (int32_t i = 0; i < table.Header().RecordCount; ++i) {
    const TRecordValues values = table.DecodeRecord(table.RecordPtr(i));
    numbers.push_back(GetI32LE(reinterpret_cast<const uint8_t*>(values.Fields[0].Bytes.data())));
  }
  return numbers;
}

// The registries hold nothing of this test any more.
inline void ExpectNothingShared() {
  EXPECT_TRUE(TEngineRegistries::Instance().DatabaseManagers().empty());
  EXPECT_TRUE(TEngineRegistries::Instance().DataManagers().empty());
}

}  // namespace norvane::testing
