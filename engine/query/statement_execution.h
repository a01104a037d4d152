// Running the statements that change data or structure: INSERT into a table
// the script holds open, and the DDL statements, each through a table
// component of its own. Tables named without a database are looked up in
// the context's database.
#pragma once

#include "engine/query/ddl_alter_table.h"
#include "engine/query/ddl_index.h"
#include "engine/query/ddl_table.h"
#include "engine/query/query_context.h"
#include "engine/query/sql_insert.h"

namespace norvane {

// Appends one record to the table (held open by `context` for the rest of
// the script) and posts it. Value i goes to the field the column list names
// at i, or, without a name there, to the dataset's field i (the row
// identifier is the last); values are written by AssignLiteral. Throws
// ETblException 2078 for INSERT ... SELECT; EEngineError "INSERT INTO <t>
// gives <n> values, but the table has <m> fields" when there are more
// values than the dataset shows fields; and whatever opening the table,
// finding a field, writing a value or posting throws (a duplicate row
// identifier: the key violation). On any failure the new record is
// cancelled, so the held table is back in browse state, unchanged.
void ExecuteInsert(const TDeziSQLInsert& insert, TSQLQueryContext& context);

// Creates the table from the columns (a column is required when NOT NULL
// is given for it), encrypted with the password when one is given,
// with the BLOB compression level and block size when given, replacing a
// table of that name. With LASTAUTOINCVALUE n the first record gets n + 1.
// Any failure is ETblException 2014 "Error creating table: '<message>'".
void ExecuteCreateTable(const TDeziDDLCreateTable& create, TSQLQueryContext& context);

// Deletes the table's files. Any failure (the table open elsewhere) is
// ETblException 2033 "Error dropping table: '<message>'".
void ExecuteDropTable(const TDeziDDLDropTable& drop, TSQLQueryContext& context);

// Opens the table with the statement's password, applies the statement to
// its field definitions (TDeziDDLAlterTable::ApplyTo) and restructures it,
// keeping every record, its identifier and the values of surviving fields.
// BLOB block size and compression, the last row identifier and the password
// stay as they are unless the statement gives them (NEW PASSWORD ''
// removes encryption). A column DROP or MODIFY names that the table lacks
// is ETblException 2048 "Field '<name>' not found", the table untouched.
// LASTAUTOINCVALUE below the table's last given identifier is refused
// before anything changes: identifiers are never given twice. That and
// every other failure is ETblException 2047 "Error dropping column(s):
// '<message>'"; the restructure leaves the table as it was when it fails.
void ExecuteAlterTable(const TDeziDDLAlterTable& alter, TSQLQueryContext& context);

// Adds the index over the listed fields (";"-joined, with the descending
// and case-insensitive ones), unique when asked, and writes it to the
// table's index file. Throws what opening the table or adding the index
// throws (a name in use, an unknown field, a key violation of UNIQUE).
void ExecuteCreateIndex(const TDeziDDLCreateIndex& create, TSQLQueryContext& context);

// Deletes the named index from the table's index file. Throws what opening
// the table or deleting the index throws.
void ExecuteDropIndex(const TDeziDDLDropIndex& drop, TSQLQueryContext& context);

}  // namespace norvane
