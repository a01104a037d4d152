// Two table cursors on one table against a model: random appends, edits,
// deletes, moves and index switches through either cursor; after every step
// each cursor counts the model's records, walks them in its index's order,
// and stands on a record that exists (on the posted one after a post).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "engine/container/disk_plain_file_system.h"
#include "engine/platform/file_system.h"
#include "engine/tables/dezi_dataset.h"
#include "engine/tables/field_types.h"
#include "tests/support/temp_folder.h"

namespace norvane {
namespace {

struct TModelRow {
  std::string name;
  int32_t no;
};

// The model's ids in the order of index `index`: "@id", "@@Name", "ByNo".
std::vector<int32_t> ModelOrder(const std::map<int32_t, TModelRow>& rows, const std::string& index) {
  std::vector<int32_t> ids;
  for (const auto& [id, row] : rows) ids.push_back(id);
  auto lower = [](std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  };
  std::stable_sort(ids.begin(), ids.end(), [&](int32_t a, int32_t b) {
    if (index == "ByNo") return rows.at(a).no < rows.at(b).no;
    if (index == "@@Name") return lower(rows.at(a).name) < lower(rows.at(b).name);
    return false;
  });
  return ids;
}

std::vector<int32_t> Walk(TDeziDataset& ds) {
  std::vector<int32_t> ids;
  for (ds.First(); !ds.Eof(); ds.Next()) ids.push_back(ds.FieldByName("id").AsInteger());
  return ids;
}

int Steps() {
  const char* steps = std::getenv("NORVANE_STEPS");
  return steps != nullptr ? std::stoi(steps) : 600;
}

TEST(DeziDatasetModel, TwoCursorsStayTrueToTheTable) {
  testing::TTempFolder dir;
  {
    TDiskPlainFileSystem store(dir.Path());
    TDeziDataManager table(store, "T", false);
    table.CreateTable({{"Name", ftString, 12, false}, {"No", ftInteger, 0, false}}, 0, false);
    table.AddIndex("ByNo", "No", true, "", "", 0);
  }
  const char* seed = std::getenv("NORVANE_SEED");
  std::mt19937 random(seed != nullptr ? static_cast<unsigned>(std::stoul(seed)) : 11u);
  TDeziDataset cursors[2];
  std::string indexOf[2] = {"@id", "@id"};
  for (TDeziDataset& ds : cursors) {
    ds.SetDatabaseName(dir.Path());
    ds.SetTableName("T");
    ds.Open();
  }
  std::map<int32_t, TModelRow> rows;
  int32_t lastId = 0;
  const char* const kIndexes[] = {"@id", "@@Name", "ByNo"};
  const char* const kNames[] = {"alpha", "Beta", "beta", "gamma", "Delta", "delta", "eps"};
  for (int step = 0; step < Steps(); ++step) {
    const int which = static_cast<int>(random() % 2);
    TDeziDataset& ds = cursors[which];
    const unsigned action = random() % 10;
    int32_t posted = 0;
    // The other cursor's record: another cursor's changes must not move it.
    TDeziDataset& other = cursors[1 - which];
    const int32_t kept = other.IsEmpty() || other.Eof() ? 0 : other.FieldByName("id").AsInteger();
    if (action < 3 || rows.empty()) {
      const TModelRow row{kNames[random() % std::size(kNames)], static_cast<int32_t>(random() % 50)};
      ds.AppendRecord({row.name, row.no});
      rows[++lastId] = row;
      posted = lastId;
    } else if (action < 5) {
      ds.SetRecNo(static_cast<int32_t>(random() % rows.size()) + 1);
      const int32_t id = ds.FieldByName("id").AsInteger();
      ds.Edit();
      const TModelRow row{kNames[random() % std::size(kNames)], static_cast<int32_t>(random() % 50)};
      ds.FieldByName("Name").SetAsString(row.name);
      ds.FieldByName("No").SetAsInteger(row.no);
      ds.Post();
      rows[id] = row;
      posted = id;
    } else if (action < 7) {
      ds.SetRecNo(static_cast<int32_t>(random() % rows.size()) + 1);
      rows.erase(ds.FieldByName("id").AsInteger());
      ds.Delete();
    } else if (action == 7) {
      indexOf[which] = kIndexes[random() % std::size(kIndexes)];
      ds.SetIndexName(indexOf[which]);
    } else {
      ds.MoveBy(static_cast<int>(random() % 5) - 2);
    }
    for (int c = 0; c < 2; ++c) {
      TDeziDataset& check = cursors[c];
      ASSERT_EQ(check.RecordCount(), static_cast<int32_t>(rows.size())) << "step " << step;
      // The other cursor's buffers hold what it last read until it is told
      // to look again, as a window is on the table's change notice.
      if (c != which) check.Refresh();
      if (c != which && kept != 0 && rows.count(kept) != 0) {
        ASSERT_EQ(check.FieldByName("id").AsInteger(), kept) << "step " << step;
      }
      if (c == which && posted != 0) {
        ASSERT_EQ(check.FieldByName("id").AsInteger(), posted) << step;
      }
      if (!check.IsEmpty()) {
        ASSERT_EQ(rows.count(check.FieldByName("id").AsInteger()), 1u) << "cursor " << c << " step " << step;
      }
    }
    if (step % 10 == 0) {
      for (int c = 0; c < 2; ++c) {
        const std::vector<int32_t> expected = ModelOrder(rows, indexOf[c]);
        ASSERT_EQ(Walk(cursors[c]), expected) << "cursor " << c << " in " << indexOf[c] << " at step " << step;
      }
    }
  }
}

}  // namespace
}  // namespace norvane
