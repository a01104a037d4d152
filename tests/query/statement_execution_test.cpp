// Statements carried out on a folder database: INSERT into tables a script
// holds open, and CREATE, DROP and ALTER TABLE and CREATE and DROP INDEX,
// each judged by reading the tables back through a table component.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <stdexcept>

#include "engine/query/literal_assignment.h"
#include "engine/query/script_text.h"
#include "engine/query/query_context.h"
#include "engine/tables/index_header.h"
#include "tests/support/error_message.h"
#include "tests/support/temp_folder.h"

namespace norvane {
namespace {

using testing::MessageOf;
using testing::TTempFolder;

// A folder database and one script context on it; the context goes first,
// closing what it holds before the folder is removed.
class TDatabase {
 public:
  // Every statement of `script` in order; the first failure throws.
  void Run(const std::string& script) {
    if (script.empty()) return;
    const TSQLScript parsed = ParseScript(script, nullptr);
    for (const auto& command : parsed.Commands) command->Execute(context_);
  }
  std::string Error(const std::string& script) {
    return MessageOf([&] { Run(script); });
  }
  std::unique_ptr<TDeziTable> Open(const std::string& table, const std::string& password = "") {
    auto opened = std::make_unique<TDeziTable>();
    opened->SetDatabaseName(dir_.Path());
    opened->SetTableName(table);
    opened->SetPassword(password);
    opened->Open();
    return opened;
  }
  // Every record in identifier order, its values as text ("null" for
  // none), records separated by " / ".
  std::string Rows(const std::string& table, const std::string& password = "") {
    auto t = Open(table, password);
    std::string out;
    for (t->First(); !t->Eof(); t->Next()) {
      out += out.empty() ? "" : " / ";
      for (int32_t f = 0; f < t->Fields().Count(); ++f) {
        const TField& field = t->Fields()[f];
        out += (f == 0 ? "" : ",") + (field.IsNull() ? std::string("null") : field.AsString());
      }
    }
    return out;
  }
  // The field definitions as "name:type:size" ("!" when required), then
  // the encryption, compression level and BLOB block size, then the rows.
  std::string Shape(const std::string& table, const std::string& password = "") {
    std::string out;
    {
      auto t = Open(table, password);
      for (const TFieldDef& f : t->FieldDefs())
        out += f.Name + ":" + std::to_string(f.Type) + ":" + std::to_string(f.Size) + (f.Required ? "! " : " ");
      out += "| " + std::string(t->Encrypted() ? "encrypted" : "plain") + " level " +
             std::to_string(t->BLOBCompression()) + " block " + std::to_string(t->BLOBBlockSize()) + " | ";
    }
    return out + Rows(table, password);
  }
  bool Exists(const std::string& table) {
    TDeziTable t;
    t.SetDatabaseName(dir_.Path());
    t.SetTableName(table);
    return t.Exists();
  }

 private:
  TTempFolder dir_;
  TSQLQueryContext context_{dir_.Path(), ""};
};

constexpr const char* kNoError = "(no error)";
constexpr const char* kArticles =
    "CREATE TABLE T (Name STRING(20) NOT NULL, Year INTEGER, Price FLOAT, Paid LOGICAL, Born DATE, ID AUTOINC)";

TEST(InsertExecution, ValuesReachTheirFields) {
  struct Case {
    const char* name;
    const char* before;     // run first on a fresh T; must succeed
    const char* statement;  // run next, failing with `error` or not at all
    const char* error;
    const char* after;      // run last in the same script context
    const char* rows;       // T at the end
  };
  const Case cases[] = {
      {"by name, in any order", "", "INSERT INTO T (Year, Name, Born) VALUES (2005, 'b', '01.02.2003')", kNoError, "",
       "b,2005,null,null,01.02.2003,1"},
      {"by position, the identifier last", "", "INSERT INTO T VALUES ('p', 1, 2.5, TRUE, '31.12.1999')", kNoError, "",
       "p,1,2.5,True,31.12.1999,1"},
      {"NULL clears what was written, a quoted 'NULL' is text", "",
       "INSERT INTO T (Name, Year, Price, Year) VALUES ('NULL', 5, NULL, NULL)", kNoError, "",
       "NULL,null,null,null,null,1"},
      {"an identifier asked for, then the next one", "", "INSERT INTO T (ID, Name) VALUES (100, 'a')", kNoError,
       "INSERT INTO T (Name) VALUES ('b')", "a,null,null,null,null,100 / b,null,null,null,null,101"},
      {"an identifier by position", "", "INSERT INTO T VALUES ('p', 1, 2, FALSE, NULL, 7)", kNoError,
       "INSERT INTO T (Name) VALUES ('q')", "p,1,2,False,null,7 / q,null,null,null,null,8"},
      {"an identifier below the last one, free", "INSERT INTO T (ID, Name) VALUES (5, 'five')",
       "INSERT INTO T (ID, Name) VALUES (3, 'three')", kNoError, "INSERT INTO T (Name) VALUES ('six')",
       "three,null,null,null,null,3 / five,null,null,null,null,5 / six,null,null,null,null,6"},
      {"an identifier a record has is refused", "INSERT INTO T (Name) VALUES ('a')",
       "INSERT INTO T (ID, Name) VALUES (1, 'dup')",
       "TDeziDataManager.aaAddRecord - key violation.\nTable name = \"T\".\nUnique index name = \"@ID\".",
       "INSERT INTO T (Name) VALUES ('c')", "a,null,null,null,null,1 / c,null,null,null,null,2"},
      {"no identifier 0", "", "INSERT INTO T (ID, Name) VALUES (0, 'a')",
       "'0' is not a valid row identifier for field 'ID'", "", ""},
      {"no identifier past 32 bits", "", "INSERT INTO T (ID, Name) VALUES (2147483648, 'a')",
       "'2147483648' is not a valid row identifier for field 'ID'", "", ""},
      {"more values than fields", "", "INSERT INTO T VALUES ('a', 1, 2, TRUE, NULL, 7, 8)",
       "INSERT INTO T gives 7 values, but the table has 6 fields", "", ""},
      {"a field the table lacks", "", "INSERT INTO T (Nope) VALUES (1)", "Field 'Nope' not found", "", ""},
      {"a required field left out, and the table not left inserting", "", "INSERT INTO T (Year) VALUES (1)",
       "Field 'Name' must have a value", "INSERT INTO T (Name) VALUES ('x')", "x,null,null,null,null,1"},
      {"a value the field's text assignment refuses", "", "INSERT INTO T (Name, Year) VALUES ('a', 'many')",
       "'many' is not a valid value for field 'Year'", "", ""},
      {"a float written with a comma", "", "INSERT INTO T (Name, Price) VALUES ('a', '1,5')",
       "'1,5' is not a valid number for field 'Price'", "", ""},
      {"a float that is a word", "", "INSERT INTO T (Name, Price) VALUES ('a', inf)",
       "'inf' is not a valid number for field 'Price'", "", ""},
      {"an empty float", "", "INSERT INTO T (Name, Price) VALUES ('a', '')",
       "'' is not a valid number for field 'Price'", "", ""},
      {"from a SELECT", "", "INSERT INTO T (Name) SELECT Name FROM T",
       "Insert from select is not supported yet - Native error: 02078", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TDatabase db;
    db.Run(kArticles);
    db.Run(c.before);
    EXPECT_EQ(db.Error(c.statement), c.error);
    db.Run(c.after);
    EXPECT_EQ(db.Rows("T"), c.rows);
  }
}

TEST(InsertExecution, FloatsReadExactly) {
  struct Case {
    const char* text;
    double value;
  };
  const Case cases[] = {
      {"0.1", 0.1},
      {"1.0000000000000002", 1.0000000000000002},
      {"-12.75e-3", -12.75e-3},
      {"'2.5'", 2.5},
      {"123456789.12345679", 123456789.12345679},
      {"4.9406564584124654e-324", 4.9406564584124654e-324},
      {"1.7976931348623157e308", 1.7976931348623157e308},
      {"-0", -0.0},
  };
  TDatabase db;
  db.Run("CREATE TABLE N (F FLOAT, C CURRENCY, B BCD)");
  for (const Case& c : cases)
    db.Run(std::string("INSERT INTO N VALUES (") + c.text + ", " + c.text + ", " + c.text + ")");
  auto n = db.Open("N");
  n->First();
  for (const Case& c : cases) {
    for (const char* field : {"F", "C", "B"})
      EXPECT_EQ(std::bit_cast<uint64_t>(n->FieldByName(field).AsFloat()), std::bit_cast<uint64_t>(c.value))
          << c.text << " in " << field;
    n->Next();
  }
  EXPECT_TRUE(n->Eof());
}

TEST(InsertExecution, HeldTablesServeWholeScripts) {
  TDatabase db;
  db.Run(kArticles);
  std::string script;
  for (int i = 0; i < 1000; ++i)
    script += "INSERT INTO T (Name, Year) VALUES ('n" + std::to_string(i) + "', " + std::to_string(i) + ");\n";
  db.Run(script);
  auto t = db.Open("T");
  EXPECT_EQ(t->Table()->DatasetList().size(), 2u);  // this reader and the script's one held copy
  EXPECT_EQ(t->RecordCount(), 1000);
  int i = 0;
  for (t->First(); !t->Eof(); t->Next(), ++i) {
    ASSERT_EQ(t->FieldByName("Name").AsString(), "n" + std::to_string(i));
    ASSERT_EQ(t->FieldByName("Year").AsInteger(), i);
    ASSERT_EQ(t->FieldByName("ID").AsInteger(), i + 1);
  }
  EXPECT_EQ(i, 1000);

  // A held table is lent only under the password it was opened with.
  db.Run("CREATE TABLE S (A INTEGER, PASSWORD 'pw'); INSERT INTO S PASSWORD 'pw' VALUES (1)");
  EXPECT_EQ(db.Error("INSERT INTO S PASSWORD 'bad' VALUES (2)"), "TDeziDataset.OpenTable - invalid password.");
  db.Run("INSERT INTO S PASSWORD 'pw' VALUES (3)");
  EXPECT_EQ(db.Rows("S", "pw"), "1,1 / 3,2");
}

// UPDATE writes its values the same way; a row identifier asked for while
// editing would only wait for the next append and land on the wrong record.
TEST(InsertExecution, RowIdentifierOnlyForNewRecords) {
  TDatabase db;
  db.Run(std::string(kArticles) + "; INSERT INTO T (Name) VALUES ('a')");
  auto t = db.Open("T");
  t->First();
  t->Edit();
  EXPECT_EQ(MessageOf([&] { AssignLiteral(*t, t->FieldByName("ID"), {"5"}); }),
            "Field 'ID' is the row identifier and cannot be changed");
  t->Cancel();
  t->Append();
  AssignLiteral(*t, t->FieldByName("Name"), {"b"});
  AssignLiteral(*t, t->FieldByName("ID"), {"5"});
  t->Post();
  t->Append();
  AssignLiteral(*t, t->FieldByName("Name"), {"c"});
  t->Post();
  EXPECT_EQ(db.Rows("T"), "a,null,null,null,null,1 / b,null,null,null,null,5 / c,null,null,null,null,6");
}

TEST(TableStatements, CreateTable) {
  struct Case {
    const char* statement;
    const char* insert;  // one record, under the password
    const char* password;
    const char* shape;
  };
  const Case cases[] = {
      {"CREATE TABLE T (A INTEGER, Name STRING(40) NOT NULL, Price FLOAT, Born DATE, Flag LOGICAL, "
       "Wide WIDESTRING(10), Raw BYTES(16), Big LARGEINT, Small SMALLINT, Cash CURRENCY)",
       "INSERT INTO T (A, Name) VALUES (1, 'n')", "",
       "A:3:0 Name:1:40! Price:6:0 Born:9:0 Flag:5:0 Wide:24:10 Raw:12:16 Big:25:0 Small:2:0 Cash:7:0 id:14:0 "
       "| plain level 0 block 512 | 1,n,null,null,null,null,null,null,null,null,1"},
      {"CREATE TABLE T (A INTEGER NOT NULL, Note MEMO, RowNo AUTOINC, PASSWORD 'pw', BLOBCOMPRESSIONLEVEL MAX, "
       "BLOBBLOCKSIZE 1024)",
       "INSERT INTO T PASSWORD 'pw' (A, Note) VALUES (1, 'memo')", "pw",
       "A:3:0! Note:16:0 RowNo:14:0 | encrypted level 3 block 1024 | 1,memo,1"},
      {"CREATE TABLE T (A INTEGER, Note BLOB, BLOBCOMPRESSIONLEVEL FASTEST, LASTAUTOINCVALUE 50)",
       "INSERT INTO T (A) VALUES (1)", "", "A:3:0 Note:15:0 id:14:0 | plain level 1 block 512 | 1,null,51"},
      {"CREATE TABLE T (A INTEGER, Note MEMO, BLOBCOMPRESSIONLEVEL DEFAULT, LASTAUTOINCVALUE 0)",
       "INSERT INTO T (A) VALUES (1)", "", "A:3:0 Note:16:0 id:14:0 | plain level 2 block 512 | 1,null,1"},
      {"CREATE TABLE T (A INTEGER, BLOBCOMPRESSIONLEVEL NONE, LASTAUTOINCVALUE 2147483646)",
       "INSERT INTO T (A) VALUES (1)", "", "A:3:0 id:14:0 | plain level 0 block 512 | 1,2147483647"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.statement);
    TDatabase db;
    db.Run(c.statement);
    db.Run(c.insert);
    EXPECT_EQ(db.Shape("T", c.password), c.shape);
    if (*c.password != 0) {  // the script still holds T open, so its copy checks
      EXPECT_EQ(MessageOf([&] { db.Open("T"); }), "TDeziDataManager.ConnectDataset - Inavlid password for table \"T\"");
    }
  }
}

TEST(TableStatements, CreateAndDropFailures) {
  struct Case {
    const char* setup;
    bool keepOpen;  // T open in another component meanwhile
    const char* statement;
    const char* error;
  };
  const Case cases[] = {
      {"", false, "CREATE TABLE T (A INTEGER, a STRING(5))",
       "Error creating table: 'Error in TDeziDataManager.CreateTable - duplicate field name \"a\".' - Native "
       "error: 02014"},
      {"", false, "CREATE TABLE T (A INTEGER, BLOBBLOCKSIZE 0)",
       "Error creating table: 'TDeziDataSet.InternalCreateTable - BlobBlockSize must be > 0' - Native error: 02014"},
      // Created over a table of that name, its records would be lost.
      {"CREATE TABLE T (A INTEGER)", false, "CREATE TABLE T (B INTEGER)",
       "Error creating table: 'Table \"T\" already exists' - Native error: 02014"},
      {"", false, "DROP TABLE T", "Error dropping table: 'Table \"T\" does not exist' - Native error: 02033"},
      {"CREATE TABLE T (A INTEGER)", true, "DROP TABLE T",
       "Error dropping table: 'TDeziDataSet.InternalDeleteTable - Table is busy, table T' - Native error: 02033"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.statement);
    TDatabase db;
    db.Run(c.setup);
    std::unique_ptr<TDeziTable> reader = c.keepOpen ? db.Open("T") : nullptr;
    EXPECT_EQ(db.Error(c.statement), c.error);
    reader.reset();
    if (*c.setup != 0) {
      EXPECT_EQ(db.Shape("T"), "A:3:0 id:14:0 | plain level 0 block 512 | ");
    }
  }
}

TEST(TableStatements, DropTableLetsGoOfHeldTables) {
  TDatabase db;
  db.Run("CREATE TABLE T (A INTEGER); INSERT INTO T VALUES (1); DROP TABLE T");
  EXPECT_FALSE(db.Exists("T"));
  // The name is free for a new table, which starts afresh.
  db.Run("CREATE TABLE T (B STRING(5)); INSERT INTO T VALUES ('x')");
  EXPECT_EQ(db.Shape("T"), "B:1:5 id:14:0 | plain level 0 block 512 | x,1");
}

TEST(TableStatements, AlterTable) {
  // T holds a, b and z, whose identifier 10 is the last given.
  constexpr const char* kBase =
      "CREATE TABLE T (Name STRING(10) NOT NULL, Year INTEGER, Price FLOAT, Note MEMO, BLOBBLOCKSIZE 2048, "
      "BLOBCOMPRESSIONLEVEL FASTEST); "
      "INSERT INTO T VALUES ('a', 2004, 1.5, 'first'); INSERT INTO T (Name, Price) VALUES ('b', 0.1); "
      "INSERT INTO T (ID, Name) VALUES (10, 'z')";
  constexpr const char* kUnchanged =
      "Name:1:10! Year:3:0 Price:6:0 Note:16:0 id:14:0 | plain level 1 block 2048 | "
      "a,2004,1.5,first,1 / b,null,0.1,null,2 / z,null,null,null,10";
  struct Case {
    const char* statement;
    const char* error;
    const char* password;  // T's afterwards
    const char* shape;     // after one more INSERT of Name = 'n'
  };
  const Case cases[] = {
      {"ALTER TABLE T ADD (Pages SMALLINT, Tag STRING(3))", kNoError, "",
       "Name:1:10! Year:3:0 Price:6:0 Note:16:0 Pages:2:0 Tag:1:3 id:14:0 | plain level 1 block 2048 | "
       "a,2004,1.5,first,null,null,1 / b,null,0.1,null,null,null,2 / z,null,null,null,null,null,10 / "
       "n,null,null,null,null,null,11"},
      {"ALTER TABLE T DROP (year, NOTE)", kNoError, "",
       "Name:1:10! Price:6:0 id:14:0 | plain level 1 block 512 | a,1.5,1 / b,0.1,2 / z,null,10 / n,null,11"},
      {"ALTER TABLE T MODIFY (Name STRING(40) NULL, Year FLOAT)", kNoError, "",
       "Name:1:40 Year:6:0 Price:6:0 Note:16:0 id:14:0 | plain level 1 block 2048 | "
       "a,2004,1.5,first,1 / b,null,0.1,null,2 / z,null,null,null,10 / n,null,null,null,11"},
      {"ALTER TABLE T MODIFY (Year NOT NULL)", "Error dropping column(s): 'Error in TDeziDataset.RestructureTable - "
       "error while saving data. Restructure aborted. Field 'Year' must have a value' - Native error: 02047",
       "", nullptr},
      {"ALTER TABLE T DROP (x)", "Field 'x' not found - Native error: 02048", "", nullptr},
      {"ALTER TABLE T MODIFY (Price INTEGER, x INTEGER)", "Field 'x' not found - Native error: 02048", "", nullptr},
      {"ALTER TABLE T ADD (NAME INTEGER)",
       "Error dropping column(s): 'Error in TDeziDataset.RestructureTable - Error in TDeziDataManager.CreateTable - "
       "duplicate field name \"NAME\".' - Native error: 02047",
       "", nullptr},
      {"ALTER TABLE T MODIFY (LASTAUTOINCVALUE 9)",
       "Error dropping column(s): 'LASTAUTOINCVALUE 9 is below the last row identifier 10 of table T; identifiers "
       "already given would be given again' - Native error: 02047",
       "", nullptr},
      {"ALTER TABLE T MODIFY (LASTAUTOINCVALUE 10)", kNoError, "",
       "Name:1:10! Year:3:0 Price:6:0 Note:16:0 id:14:0 | plain level 1 block 2048 | "
       "a,2004,1.5,first,1 / b,null,0.1,null,2 / z,null,null,null,10 / n,null,null,null,11"},
      {"ALTER TABLE T ADD (Tag STRING(3), LASTAUTOINCVALUE 100, BLOBBLOCKSIZE 4096, BLOBCOMPRESSIONLEVEL MAX)",
       kNoError, "",
       "Name:1:10! Year:3:0 Price:6:0 Note:16:0 Tag:1:3 id:14:0 | plain level 3 block 4096 | "
       "a,2004,1.5,first,null,1 / b,null,0.1,null,null,2 / z,null,null,null,null,10 / n,null,null,null,null,101"},
      {"ALTER TABLE T MODIFY (NEW PASSWORD 'pw')", kNoError, "pw",
       "Name:1:10! Year:3:0 Price:6:0 Note:16:0 id:14:0 | encrypted level 1 block 2048 | "
       "a,2004,1.5,first,1 / b,null,0.1,null,2 / z,null,null,null,10 / n,null,null,null,11"},
      {"ALTER TABLE T MODIFY (NEW PASSWORD 'pw'); ALTER TABLE T ADD (Tag STRING(3), PASSWORD 'pw')", kNoError, "pw",
       "Name:1:10! Year:3:0 Price:6:0 Note:16:0 Tag:1:3 id:14:0 | encrypted level 1 block 2048 | "
       "a,2004,1.5,first,null,1 / b,null,0.1,null,null,2 / z,null,null,null,null,10 / n,null,null,null,null,11"},
      {"ALTER TABLE T MODIFY (NEW PASSWORD 'pw'); ALTER TABLE T MODIFY (PASSWORD 'pw', NEW PASSWORD '')", kNoError,
       "",
       "Name:1:10! Year:3:0 Price:6:0 Note:16:0 id:14:0 | plain level 1 block 2048 | "
       "a,2004,1.5,first,1 / b,null,0.1,null,2 / z,null,null,null,10 / n,null,null,null,11"},
      {"ALTER TABLE T MODIFY (NEW PASSWORD 'pw'); ALTER TABLE T ADD (Tag STRING(3))",
       "Error dropping column(s): 'TDeziDataset.OpenTable - invalid password.' - Native error: 02047", "pw", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.statement);
    TDatabase db;
    db.Run(kBase);  // T stays held by the script: the ALTER must let go of it
    EXPECT_EQ(db.Error(c.statement), c.error);
    if (c.shape == nullptr) {
      if (*c.password == 0) {
        EXPECT_EQ(db.Shape("T"), kUnchanged);
      }
      continue;
    }
    db.Run(std::string("INSERT INTO T PASSWORD '") + c.password + "' (Name) VALUES ('n')");
    EXPECT_EQ(db.Shape("T", c.password), c.shape);
  }
}

TEST(TableStatements, Indexes) {
  // "b" and "B" differ only in case, so an index that ignores case cannot
  // be unique over them.
  const auto base = [](const std::string& password) {
    const std::string given = password.empty() ? "" : " PASSWORD '" + password + "'";
    return "CREATE TABLE T (Name STRING(10), Year INTEGER" + (given.empty() ? "" : "," + given) + "); " +
           "INSERT INTO T" + given + " VALUES ('b', 2004); INSERT INTO T" + given + " VALUES ('a', 2004); " +
           "INSERT INTO T" + given + " VALUES ('B', 2003)";
  };
  struct Case {
    const char* password;  // T's
    const char* statement;
    const char* error;
    const char* indexes;  // the user's indexes: name, fields, unique, case-insensitive, descending
    const char* order;    // the names in the order of index ix, when it exists
  };
  const char* const violation =
      "Error in TDeziDataManager.InternalAddIndex - key violation.\nTable name = \"T\".\nUnique index name = \"ix\".";
  const Case cases[] = {
      {"", "CREATE INDEX ix ON T (Year DESC, Name NOCASE)", kNoError, "ix:Year;Name:0:Name:Year ", "a b B"},
      {"", "CREATE INDEX ix ON T (Name)", kNoError, "ix:Name:0:: ", "a b B"},
      {"", "CREATE INDEX ix ON T (Name DESC)", kNoError, "ix:Name:0::Name ", "B b a"},
      {"", "CREATE UNIQUE INDEX ix ON T (Name)", kNoError, "ix:Name:2:: ", "a b B"},
      {"", "CREATE UNIQUE INDEX ix ON T (Name NOCASE)", violation, "", ""},
      {"", "CREATE UNIQUE INDEX ix ON T (Year)", violation, "", ""},
      {"", "CREATE INDEX ix ON T (Pages)", "Error in TDeziDataManager.InternalGetFieldNo - field \"Pages\" not found!",
       "", ""},
      {"", "CREATE INDEX ix ON T (Name); DROP INDEX T.ix", kNoError, "", ""},
      {"", "CREATE INDEX ix ON T (Name); CREATE INDEX iy ON T (Year DESC); DROP INDEX T.ix", kNoError,
       "iy:Year:0::Year ", ""},
      {"pw", "CREATE INDEX ix ON T (Name DESC, PASSWORD 'pw')", kNoError, "ix:Name:0::Name ", "B b a"},
      {"pw", "CREATE INDEX ix ON T (Name)", "TDeziDataset.OpenTable - invalid password.", "", ""},
      {"pw", "CREATE INDEX ix ON T (Name, PASSWORD 'pw'); DROP INDEX T.ix", "TDeziDataset.OpenTable - invalid password.",
       "ix:Name:0:: ", "a b B"},
      {"pw", "CREATE INDEX ix ON T (Name, PASSWORD 'pw'); DROP INDEX T.ix PASSWORD 'pw'", kNoError, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.statement);
    TDatabase db;
    db.Run(base(c.password));
    EXPECT_EQ(db.Error(c.statement), c.error);
    auto t = db.Open("T", c.password);
    std::string indexes;
    for (const TIndexDef& index : t->UserIndexDefs())
      indexes += index.Name + ":" + index.Fields + ":" + std::to_string(index.Options & ixUnique) + ":" +
                 index.CaseInsFields + ":" + index.DescFields + " ";
    EXPECT_EQ(indexes, c.indexes);
    if (*c.order == 0) continue;
    t->SetIndexName("ix");
    std::string order;
    for (t->First(); !t->Eof(); t->Next()) order += (order.empty() ? "" : " ") + t->FieldByName("Name").AsString();
    EXPECT_EQ(order, c.order);
  }
}

}  // namespace
}  // namespace norvane
