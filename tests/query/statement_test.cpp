// What the statement case files cannot show: ALTER TABLE applied to field
// definitions, the SELECT parser's own first-token checks, and numbers that
// keep their exact value from a parameter through a statement's text.
#include <gtest/gtest.h>

#include <pthread.h>

#include <cmath>
#include <cstring>
#include <random>

#include "engine/query/ddl_alter_table.h"
#include "engine/query/script_text.h"
#include "engine/query/sql_insert.h"
#include "engine/query/statement_printer.h"
#include "engine/tables/field_text.h"
#include "engine/tables/tbl_exception.h"

namespace norvane {
namespace {

std::string Names(const std::vector<TFieldDef>& fields) {
  std::string out;
  for (const TFieldDef& f : fields)
    out += f.Name + ":" + std::to_string(f.Type) + ":" + std::to_string(f.Size) + (f.Required ? "!" : "") + " ";
  return out;
}

TEST(AlterTable, AppliesToFieldDefinitions) {
  const std::vector<TFieldDef> table = {{"Name", ftString, 40, true}, {"Year", ftInteger, 0, false},
                                        {"Note", ftMemo, 0, false}};
  struct Case {
    const char* statement;
    const char* fields;  // or the error
  };
  const Case cases[] = {
      {"ALTER TABLE T ADD (Page SMALLINT NOT NULL, Tag STRING(5))",
       "Name:1:40! Year:3:0 Note:16:0 Page:2:0! Tag:1:5 "},
      {"ALTER TABLE T DROP (year, NOTE)", "Name:1:40! "},
      {"ALTER TABLE T MODIFY (Name STRING(80), Year NOT NULL, Note)", "Name:1:80! Year:3:0! Note:16:0 "},
      {"ALTER TABLE T MODIFY (Name NULL LARGEINT)", "Name:25:0 Year:3:0 Note:16:0 "},
      // A missing column is an error, even where DROP once skipped it.
      {"ALTER TABLE T DROP (Year, Pages)", "Field 'Pages' not found - Native error: 02048"},
      {"ALTER TABLE T MODIFY (Pages INTEGER)", "Field 'Pages' not found - Native error: 02048"},
  };
  for (const Case& c : cases) {
    TSQLScript script = ParseScript(c.statement, nullptr);
    const auto& alter = dynamic_cast<const TDeziDDLAlterTable&>(*script.Commands.at(0));
    std::vector<TFieldDef> fields = table;
    try {
      alter.ApplyTo(fields);
      EXPECT_EQ(Names(fields), c.fields) << c.statement;
    } catch (const ETblException& error) {
      EXPECT_EQ(std::string(error.what()), c.fields) << c.statement;
      EXPECT_EQ(Names(fields), Names(table)) << "a failed ALTER leaves the definitions";
    }
  }
}

// A SELECT is only created for a statement that begins with SELECT; made
// by hand on another, or on none, it still refuses.
TEST(SelectParser, RefusesAnotherStatementOrNone) {
  for (const auto& [text, message] :
       {std::pair<std::string, std::string>{"INSERT INTO t VALUES (1)",
                                            "SQL token expected, but 'INSERT' found at line 1, column 1 - "
                                            "Native error: 01005"},
        {"", "Blank SQL command - Native error: 01004"}}) {
    TDeziLexer lexer(text, nullptr);
    lexer.NextCommand();
    TDeziSQLSelect select(lexer);
    try {
      select.Parse();
      ADD_FAILURE() << text;
    } catch (const ETblException& error) {
      EXPECT_EQ(std::string(error.what()), message);
    }
  }
}

uint64_t Bits(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// Random doubles of every magnitude, passed as float parameters into an
// INSERT: the value's text reads back as the same double, bit for bit.
TEST(SqlNumbers, KeepTheirExactValue) {
  std::mt19937_64 random(20261211);
  for (int i = 0; i < 2000; ++i) {
    double value;
    do {
      const uint64_t bits = random();
      std::memcpy(&value, &bits, sizeof value);
    } while (!std::isfinite(value));
    TQueryParams params;
    params.Add(TQueryParam::Float("f", value));
    params.Add(TQueryParam::Float("g", -value));
    TSQLScript script = ParseScript("INSERT INTO t (a, b) VALUES (:f, :g)", &params);
    const auto& insert = dynamic_cast<const TDeziSQLInsert&>(*script.Commands.at(0));
    for (int k = 0; k < 2; ++k) {
      double read = 0;
      ASSERT_TRUE(ParseNumber(insert.Values[k].Text, read)) << insert.Values[k].Text;
      ASSERT_EQ(Bits(read), Bits(k == 0 ? value : -value)) << insert.Values[k].Text;
    }
  }
}

// A condition's AND and OR chains are as long as the statement. Parsing,
// printing and freeing one of 50,000 conjuncts on a 128 KB stack shows that
// nothing recurses along a chain.
TEST(SqlConditions, LongChainsNeedNoDeepStack) {
  struct TWork {
    std::string printed;
    static void* Run(void* self) {
      std::string text = "SELECT a FROM t WHERE a = 1";
      for (int i = 0; i < 25000; ++i) text += " AND b = 2 OR c = 3";
      TSQLScript script = ParseScript(text, nullptr);
      static_cast<TWork*>(self)->printed = PrintStatement(*script.Commands.at(0));
      return nullptr;
    }
  } work;
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, 128 * 1024);
  pthread_t thread;
  ASSERT_EQ(pthread_create(&thread, &attributes, &TWork::Run, &work), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
  // a = 1 AND b = 2, then 24,999 times OR c = 3 AND b = 2, then OR c = 3.
  const auto count = [&](const std::string& what) {
    size_t n = 0;
    for (size_t at = work.printed.find(what); at != std::string::npos; at = work.printed.find(what, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("(OR "), 25000u);
  EXPECT_EQ(count("(AND "), 25000u);
  EXPECT_NE(work.printed.find("where (OR (OR (OR "), std::string::npos);
}

}  // namespace
}  // namespace norvane
