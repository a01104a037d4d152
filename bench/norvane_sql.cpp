// The engine's side of the SQL workloads: the lists of sections and journals
// made beside the article table, and statements run as the program runs
// them, through the script processor against a query context on the
// catalogue file.
#include <stdexcept>

#include "bench/norvane_side.h"
#include "engine/query/script_processor.h"

namespace norvane::bench {

void TNorvaneSide::CreateLists(const std::vector<TCatalogueList>& lists) {
  if (store_ == nullptr) throw std::logic_error("the catalogue is not open");
  for (const TCatalogueList& list : lists) {
    TDeziDataManager table(*store_, list.Table, false);
    table.CreateTable(list.Fields(), 0, false, true);
    for (const TListEntry& entry : list.Entries) {
      TRecordValues values;
      values.Fields = {IntValue(entry.Id), TFieldValue{false, entry.Name}};
      std::vector<uint8_t> image = table.EncodeRecord(values);
      table.aaAddRecord(image.data());
    }
    table.FlushBuffers();
    table.CloseTable();
  }
}

std::vector<TSqlRow> TNorvaneSide::Select(const std::string& sql) {
  // The context outlives the statement, whose cursors it may hold.
  TSQLQueryContext context("", file_);
  TSQLScriptProcessor processor(sql, nullptr);
  processor.ExecuteAll(context);
  TDeziTable* result = processor.ResultDataset();
  if (result == nullptr) throw std::logic_error("not a SELECT: " + sql);
  TFields& fields = result->Fields();
  const int32_t count = fields.Count();
  std::vector<TSqlRow> rows;
  for (result->First(); !result->Eof(); result->Next()) {
    TSqlRow& row = rows.emplace_back();
    row.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i)
      row.push_back(fields[i].IsNull() ? TSqlValue() : TSqlValue(fields[i].AsString()));
  }
  return rows;
}

int64_t TNorvaneSide::Change(const std::string& script) {
  int64_t changed = 0;
  {
    TSQLQueryContext context("", file_);
    TSQLScriptProcessor processor(script, nullptr);
    processor.ExecuteAll(context, [&](const TDeziSQLCommand&, int64_t rows) {
      if (rows > 0) changed += rows;
    });
  }
  // The script's tables are closed with its context, but the cursor keeps
  // the article table open: its writes are flushed here, as Update's are.
  Cursor().Table()->FlushBuffers();
  return changed;
}

}  // namespace norvane::bench
