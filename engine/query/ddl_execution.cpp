// The DDL statements: tables created, dropped and restructured, and indexes
// added and deleted, each through a table component of its own after the
// script lets go of any copy of the table it holds.
#include <exception>
#include <functional>
#include <string>

#include "engine/common/engine_error.h"
#include "engine/query/ddl_alter_table.h"
#include "engine/query/ddl_index.h"
#include "engine/query/ddl_table.h"
#include "engine/query/query_context.h"
#include "engine/tables/index_header.h"
#include "engine/tables/tbl_exception.h"

namespace norvane {
namespace {

// Runs `work`; any failure becomes the statement's own native error `code`
// carrying the failure's message.
void FailingAs(int32_t code, const std::function<void()>& work) {
  try {
    work();
  } catch (const std::exception& error) {
    throw ETblException(code, {std::string(error.what())});
  }
}

// A fresh, closed component on the table, no copy of it held by the script.
void Prepare(TDeziTable& table, const std::string& name, const std::string& password, TSQLQueryContext& context) {
  context.Release("", name);
  context.Aim(table, "", name);
  table.SetPassword(password);
}

// Statements number the levels from 1 (NONE) to 4 (MAX).
TCompressionLevel CompressionOf(int statementLevel) { return static_cast<TCompressionLevel>(statementLevel - 1); }

// Identifiers up to the last one given may still be on records, or be
// remembered elsewhere for records deleted: handing them out again would
// make two records one.
void CheckLastRowId(int32_t wanted, int32_t last, const std::string& tableName) {
  if (wanted < last)
    throw EEngineError("LASTAUTOINCVALUE " + std::to_string(wanted) + " is below the last row identifier " +
                       std::to_string(last) + " of table " + tableName +
                       "; identifiers already given would be given again");
}

// Opens the closed table and makes `wanted` its last row identifier, so the
// next record gets wanted + 1; closes it again.
void SetLastRowId(TDeziTable& table, int32_t wanted) {
  table.Open();
  const int32_t last = table.Table()->Header().LastId;
  CheckLastRowId(wanted, last, table.TableName());
  if (wanted != last) table.Table()->ReserveRowIds(wanted);
  table.Close();
}

}  // namespace

int64_t TDeziDDLCreateTable::Execute(TSQLQueryContext& context) {
  FailingAs(2014, [&] {
    TDeziTable table;
    Prepare(table, TableName, Password, context);
    // Creating over a table would drop its records without a word.
    if (table.Exists()) throw EEngineError("Table \"" + TableName + "\" already exists");
    table.FieldDefs().clear();
    for (const TDeziFieldDef& column : Columns)
      table.FieldDefs().push_back({column.Name, column.Type, column.Size, !column.Nullable.value_or(true)});
    table.SetEncrypted(!Password.empty());
    if (BlobCompressionLevel != 0) table.SetBLOBCompression(CompressionOf(BlobCompressionLevel));
    if (BlobBlockSize) table.SetBLOBBlockSize(*BlobBlockSize);
    table.CreateTable();
    if (LastAutoIncValue) SetLastRowId(table, *LastAutoIncValue);
  });
  return -1;
}

int64_t TDeziDDLDropTable::Execute(TSQLQueryContext& context) {
  FailingAs(2033, [&] {
    TDeziTable table;
    Prepare(table, TableName, Password, context);
    // Dropping nothing is a mistake in the name, not a success.
    if (!table.Exists()) throw EEngineError("Table \"" + TableName + "\" does not exist");
    table.DeleteTable();
  });
  return -1;
}

int64_t TDeziDDLAlterTable::Execute(TSQLQueryContext& context) {
  TDeziTable table;
  std::vector<TFieldDef> fields;
  TCompressionLevel compression = clNone;
  int32_t blockSize = 0;
  int32_t lastId = 0;
  FailingAs(2047, [&] {
    Prepare(table, TableName, Password, context);
    table.Open();
    fields = table.RestructureFieldDefs();
    compression = BlobCompressionLevel != 0 ? CompressionOf(BlobCompressionLevel) : table.BLOBCompression();
    blockSize = BlobBlockSize.value_or(table.BLOBBlockSize());
    lastId = table.Table()->Header().LastId;
  });
  // Outside the wrapping: a column the table lacks is reported as itself.
  ApplyTo(fields);
  FailingAs(2047, [&] {
    if (LastAutoIncValue) CheckLastRowId(*LastAutoIncValue, lastId, table.TableName());
    table.Close();
    table.RestructureFieldDefs() = fields;
    const std::string password = NewPassword.value_or(Password);
    table.RestructureTable(!password.empty(), password, compression, blockSize);
    if (LastAutoIncValue && *LastAutoIncValue != lastId) SetLastRowId(table, *LastAutoIncValue);
  });
  return -1;
}

int64_t TDeziDDLCreateIndex::Execute(TSQLQueryContext& context) {
  std::string fields, descending, caseInsensitive;
  const auto add = [](std::string& list, const std::string& name) { list += (list.empty() ? "" : ";") + name; };
  for (const TDeziIndexField& field : Fields) {
    add(fields, field.Name);
    if (field.Descending) add(descending, field.Name);
    if (field.CaseInsensitive) add(caseInsensitive, field.Name);
  }
  TDeziTable table;
  Prepare(table, TableName, Password, context);
  table.Open();
  table.AddIndex(IndexName, fields, Unique ? ixUnique : 0, descending, caseInsensitive);
  table.Close();
  return -1;
}

int64_t TDeziDDLDropIndex::Execute(TSQLQueryContext& context) {
  TDeziTable table;
  Prepare(table, TableName, Password, context);
  table.Open();
  table.DeleteIndex(IndexName);
  table.Close();
  return -1;
}

}  // namespace norvane
