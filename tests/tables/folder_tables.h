// A folder database for the tests of whole-table operations: table
// components that name it, and every file it holds with its bytes, to tell
// whether an operation left the folder exactly as it was.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/tables/dezi_table.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_folder.h"

namespace norvane::testing {

class FolderTables : public ::testing::Test {
 protected:
  std::unique_ptr<TDeziTable> Table(const std::string& name) {
    auto table = std::make_unique<TDeziTable>();
    table->SetDatabaseName(dir.Path());
    table->SetTableName(name);
    return table;
  }
  std::map<std::string, std::vector<uint8_t>> Files() const {
    std::map<std::string, std::vector<uint8_t>> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
      files[entry.path().filename().string()] = ReadFileBytes(entry.path().string());
    return files;
  }
  std::set<std::string> FileNames() const {
    std::set<std::string> names;
    for (const auto& [name, bytes] : Files()) names.insert(name);
    return names;
  }

  TTempFolder dir;
};

}  // namespace norvane::testing
