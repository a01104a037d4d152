// The DDL statements: tables created, dropped and restructured, and indexes
// added and deleted, each through a table component of its own after the
// script lets go of any copy of the table it holds.
#include <exception>
#include <functional>
#include <string>

#include "engine/common/engine_error.h"
#include "engine/query/statement_execution.h"
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

void ExecuteCreateTable(const TDeziDDLCreateTable& create, TSQLQueryContext& context) {
  FailingAs(2014, [&] {
    TDeziTable table;
    Prepare(table, create.TableName, create.Password, context);
    // Creating over a table would drop its records without a word.
    if (table.Exists()) throw EEngineError("Table \"" + create.TableName + "\" already exists");
    table.FieldDefs().clear();
    for (const TDeziFieldDef& column : create.Columns)
      table.FieldDefs().push_back({column.Name, column.Type, column.Size, !column.Nullable.value_or(true)});
    table.SetEncrypted(!create.Password.empty());
    if (create.BlobCompressionLevel != 0) table.SetBLOBCompression(CompressionOf(create.BlobCompressionLevel));
    if (create.BlobBlockSize) table.SetBLOBBlockSize(*create.BlobBlockSize);
    table.CreateTable();
    if (create.LastAutoIncValue) SetLastRowId(table, *create.LastAutoIncValue);
  });
}

void ExecuteDropTable(const TDeziDDLDropTable& drop, TSQLQueryContext& context) {
  FailingAs(2033, [&] {
    TDeziTable table;
    Prepare(table, drop.TableName, drop.Password, context);
    // Dropping nothing is a mistake in the name, not a success.
    if (!table.Exists()) throw EEngineError("Table \"" + drop.TableName + "\" does not exist");
    table.DeleteTable();
  });
}

void ExecuteAlterTable(const TDeziDDLAlterTable& alter, TSQLQueryContext& context) {
  TDeziTable table;
  std::vector<TFieldDef> fields;
  TCompressionLevel compression = clNone;
  int32_t blockSize = 0;
  int32_t lastId = 0;
  FailingAs(2047, [&] {
    Prepare(table, alter.TableName, alter.Password, context);
    table.Open();
    fields = table.RestructureFieldDefs();
    compression = alter.BlobCompressionLevel != 0 ? CompressionOf(alter.BlobCompressionLevel) : table.BLOBCompression();
    blockSize = alter.BlobBlockSize.value_or(table.BLOBBlockSize());
    lastId = table.Table()->Header().LastId;
  });
  // Outside the wrapping: a column the table lacks is reported as itself.
  alter.ApplyTo(fields);
  FailingAs(2047, [&] {
    if (alter.LastAutoIncValue) CheckLastRowId(*alter.LastAutoIncValue, lastId, table.TableName());
    table.Close();
    table.RestructureFieldDefs() = fields;
    const std::string password = alter.NewPassword.value_or(alter.Password);
    table.RestructureTable(!password.empty(), password, compression, blockSize);
    if (alter.LastAutoIncValue && *alter.LastAutoIncValue != lastId) SetLastRowId(table, *alter.LastAutoIncValue);
  });
}

void ExecuteCreateIndex(const TDeziDDLCreateIndex& create, TSQLQueryContext& context) {
  std::string fields, descending, caseInsensitive;
  const auto add = [](std::string& list, const std::string& name) { list += (list.empty() ? "" : ";") + name; };
  for (const TDeziIndexField& field : create.Fields) {
    add(fields, field.Name);
    if (field.Descending) add(descending, field.Name);
    if (field.CaseInsensitive) add(caseInsensitive, field.Name);
  }
  TDeziTable table;
  Prepare(table, create.TableName, create.Password, context);
  table.Open();
  table.AddIndex(create.IndexName, fields, create.Unique ? ixUnique : 0, descending, caseInsensitive);
  table.Close();
}

void ExecuteDropIndex(const TDeziDDLDropIndex& drop, TSQLQueryContext& context) {
  TDeziTable table;
  Prepare(table, drop.TableName, drop.Password, context);
  table.Open();
  table.DeleteIndex(drop.IndexName);
  table.Close();
}

}  // namespace norvane
