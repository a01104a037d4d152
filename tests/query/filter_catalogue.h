// The small catalogue of the filter tests, in a folder database: "Article"
// with the automatic indexes, "ArticleScan" with the same rows and no index
// but the row identifier's, and "Razdel".
//   ID Year IDRazdel ArticleName NN Page IDJournal
//   1  2004 1        Alpha       3  1    1
//   2  2004 2        Beta        3  12   -
//   3  2005 1        Gamma       31 -    2
//   4  -    2        alpha       1  -    1
//   5  2003 -        Delta       2  -    -
//   6  2005 9        O'Brien     3  -    7
// Razdel: 1 Science, 2 Sport, 9 Culture. Journal: 1 Nature, 2 Time, 3 Idle.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/container/disk_plain_file_system.h"
#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/dezi_table.h"
#include "engine/tables/field_types.h"
#include "tests/support/temp_folder.h"

namespace norvane::testing {

using TRow = std::vector<TFieldArgument>;

// The table `name` of the folder database, open.
inline std::unique_ptr<TDeziTable> OpenFolderTable(const std::string& folder, const std::string& name) {
  auto table = std::make_unique<TDeziTable>();
  table->SetDatabaseName(folder);
  table->SetTableName(name);
  table->Open();
  return table;
}

inline const std::vector<TRow> kArticles = {
    {2004, 1, "Alpha", 3, "1", 1},     {2004, 2, "Beta", 3, "12", nullptr},
    {2005, 1, "Gamma", 31, nullptr, 2}, {nullptr, 2, "alpha", 1, nullptr, 1},
    {2003, nullptr, "Delta", 2, nullptr, nullptr}, {2005, 9, "O'Brien", 3, nullptr, 7},
};

class TCatalogue {
 public:
  TCatalogue() {
    TDiskPlainFileSystem store(dir_.Path());
    const std::vector<TFieldDef> fields = {{"Year", ftInteger, 0, false},     {"IDRazdel", ftInteger, 0, false},
                                           {"ArticleName", ftString, 100, false}, {"NN", ftInteger, 0, false},
                                           {"Page", ftString, 10, false},    {"IDJournal", ftInteger, 0, false},
                                           {"ID", ftAutoInc, 0, false}};
    for (const bool indexed : {true, false}) {
      TDeziDataManager table(store, indexed ? "Article" : "ArticleScan", false);
      table.CreateTable(fields, 0, false, indexed);
    }
    TDeziDataManager razdel(store, "Razdel", false);
    razdel.CreateTable({{"IDRazdel", ftInteger, 0, false}, {"Razdel", ftString, 40, false}}, 0, false);
    razdel.CloseTable();
    for (const char* name : {"Article", "ArticleScan"}) {
      auto table = Open(name);
      for (const TRow& row : kArticles) table->AppendRecord(row);
    }
    auto sections = Open("Razdel");
    for (const TRow& row : std::vector<TRow>{{1, "Science"}, {2, "Sport"}, {9, "Culture"}})
      sections->AppendRecord(row);
    TDeziDataManager journal(store, "Journal", false);
    journal.CreateTable({{"IDJournal", ftInteger, 0, false}, {"Journal", ftString, 40, false}}, 0, false);
    journal.CloseTable();
    auto journals = Open("Journal");
    for (const TRow& row : std::vector<TRow>{{1, "Nature"}, {2, "Time"}, {3, "Idle"}}) journals->AppendRecord(row);
  }

  std::string Folder() const { return dir_.Path(); }

  std::unique_ptr<TDeziTable> Open(const std::string& name) { return OpenFolderTable(dir_.Path(), name); }

 private:
  TTempFolder dir_;
};

}  // namespace norvane::testing
