// The sql command: statements run against a catalogue or a folder database,
// a SELECT's rows printed as CSV exactly as dump prints the table, a line
// per INSERT, UPDATE and DELETE, typed parameters, parse trees, errors that
// change nothing, and the shell that runs each statement as it is ended.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "engine/platform/file_system.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_folder.h"
#include "tests/tools/tool_runner.h"
#include "tools/norvane-db/open_container.h"
#include "tools/norvane-db/sql_input_end.h"
#include "tools/norvane-db/sql_params.h"
#include "tools/norvane-db/sql_script.h"
#include "tools/norvane-db/sql_shell.h"

namespace norvane {
namespace {

using tool::TInputState;

// Every type a statement can fill, and three rows: one with a value of
// each, one with nothing but a text that needs quoting, and one all null.
constexpr const char* kCreate =
    "CREATE TABLE Item (Name STRING(40), Small SMALLINT, Count INTEGER, Flag LOGICAL, Price FLOAT, "
    "Cost CURRENCY, Day DATE, Hour TIME, Stamp DATETIME, Raw BYTES(4), Note MEMO, Pic GRAPHIC, "
    "Wide WIDESTRING(20), Big LARGEINT, ID AUTOINC)";
constexpr const char* kInsert =
    "INSERT INTO Item VALUES ('Ёлка, \"зимняя\"', -3, 70000, TRUE, 0.1, 2.5, '31.12.1999', '13:45:01', "
    "'01.02.2003 04:05:06', 'ab', 'line one\nline two', 'gg', 'Ж', 9000000000, NULL);\n"
    "INSERT INTO Item (Name) VALUES ('say \"hi\", twice');\n"
    "INSERT INTO Item (Flag, Price) VALUES (FALSE, 1e300)";
constexpr const char* kItems =
    "Name,Small,Count,Flag,Price,Cost,Day,Hour,Stamp,Raw,Note,Pic,Wide,Big,ID\n"
    "\"Ёлка, \"\"зимняя\"\"\",-3,70000,true,0.1,2.5,1999-12-31,13:45:01,2003-02-01 04:05:06,61620000,"
    "\"line one\nline two\",2 bytes,Ж,9000000000,1\n"
    "\"say \"\"hi\"\", twice\",,,,,,,,,,,,,,2\n"
    ",,,false,1e+300,,,,,,,,,,3\n";

class ToolSql : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RunDb({"create", file}).status, 0);
    ASSERT_TRUE(CreateFolder(folder));
  }
  // Runs SCRIPT on `where`; fails the test unless it succeeds.
  std::string Sql(const std::string& where, const std::string& script) {
    const TRun run = RunDb({"sql", where, script});
    EXPECT_EQ(run.status, 0) << script << "\n" << run.err;
    return run.out;
  }
  std::string Dump(const std::string& where, const std::string& table) {
    const TRun run = RunDb({"dump", where, table});
    EXPECT_EQ(run.status, 0) << run.err;
    return run.out;
  }
  testing::TTempFolder dir;
  std::string file = dir / "cat.adb";
  std::string folder = dir / "db";
};

TEST_F(ToolSql, SelectPrintsWhatDumpPrints) {
  for (const std::string& where : {file, folder}) {
    EXPECT_EQ(Sql(where, kCreate), "") << where;
    EXPECT_EQ(Sql(where, kInsert), "1 row inserted\n1 row inserted\n1 row inserted\n") << where;
    const std::string selected = Sql(where, "SELECT * FROM Item");
    EXPECT_EQ(selected, kItems) << where;
    EXPECT_EQ(selected, Dump(where, "Item")) << where;
    // The header is the dataset's names: those a projection gives.
    EXPECT_EQ(Sql(where, "SELECT Count, Name FROM Item WHERE ID = 2"), "Count,Name\n,\"say \"\"hi\"\", twice\"\n");
  }
}

// A reader of CSV that nobody here wrote takes the output back value for value.
TEST_F(ToolSql, PythonReadsTheCsvBack) {
  if (std::system("python3 -c pass >/dev/null 2>&1") != 0) GTEST_SKIP() << "no python3";
  Sql(file, kCreate);
  Sql(file, kInsert);
  const std::string csv = dir / "items.csv";
  const std::string selected = Sql(file, "SELECT Name, Note, ID FROM Item");
  testing::WriteFileBytes(csv, std::vector<uint8_t>(selected.begin(), selected.end()));
  const std::string script = dir / "read.py";
  const std::string program =
      "import csv, sys\n"
      "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
      "    for row in csv.reader(f):\n"
      "        print('|'.join(v.replace('\\n', '\\\\n') for v in row))\n";
  testing::WriteFileBytes(script, std::vector<uint8_t>(program.begin(), program.end()));
  FILE* pipe = popen(("python3 '" + script + "' '" + csv + "'").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string read;
  char chunk[4096];
  for (size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;) read.append(chunk, n);
  ASSERT_EQ(pclose(pipe), 0);
  EXPECT_EQ(read,
            "Name|Note|ID\n"
            "Ёлка, \"зимняя\"|line one\\nline two|1\n"
            "say \"hi\", twice||2\n"
            "||3\n");
}

TEST_F(ToolSql, ChangesPrintTheirRowCounts) {
  struct Case {
    const char* script;
    const char* out;
    const char* rows;  // the table's dump afterwards, without its header
  };
  const Case cases[] = {
      {"CREATE TABLE T (Name STRING(10), N INTEGER, ID AUTOINC)", "", ""},
      {"CREATE INDEX ByN ON T (N)", "", ""},
      {"INSERT INTO T (Name, N) VALUES ('a', 1)", "1 row inserted\n", "a,1,1\n"},
      {"INSERT INTO T (Name, N) VALUES ('b', 2); INSERT INTO T (Name, N) VALUES ('c', 2)",
       "1 row inserted\n1 row inserted\n", "a,1,1\nb,2,2\nc,2,3\n"},
      {"UPDATE T SET N = 5 WHERE N = 2", "2 rows updated\n", "a,1,1\nb,5,2\nc,5,3\n"},
      {"UPDATE T SET Name = 'z' WHERE N = 1", "1 row updated\n", "z,1,1\nb,5,2\nc,5,3\n"},
      {"UPDATE T SET Name = 'y' WHERE N = 9", "0 rows updated\n", "z,1,1\nb,5,2\nc,5,3\n"},
      {"DELETE FROM T WHERE N = 5", "2 rows deleted\n", "z,1,1\n"},
      {"DELETE FROM T WHERE N = 5", "0 rows deleted\n", "z,1,1\n"},
      {"DELETE FROM T", "1 row deleted\n", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Sql(file, c.script), c.out) << c.script;
    EXPECT_EQ(Dump(file, "T"), std::string("Name,N,ID\n") + c.rows) << c.script;
  }
}

TEST(SqlParams, TypedByTheirForm) {
  struct Case {
    const char* given;
    const char* name;
    TFieldType type;
    const char* value;
  };
  const Case cases[] = {
      {"n=42", "n", ftInteger, "42"},
      {"n=-7", "n", ftInteger, "-7"},
      {"n=+5", "n", ftInteger, "5"},
      {"n=007", "n", ftInteger, "7"},
      {"n=2147483648", "n", ftLargeint, "2147483648"},
      {"n=-9223372036854775808", "n", ftLargeint, "-9223372036854775808"},
      {"f=2.5", "f", ftFloat, "2.5"},
      {"f=.5", "f", ftFloat, "0.5"},
      {"f=5.", "f", ftFloat, "5"},
      {"f=1e3", "f", ftFloat, "1000"},
      {"f=-1.5E-3", "f", ftFloat, "-0.0015"},
      {"f=0.1", "f", ftFloat, "0.1"},
      {"s=abc", "s", ftString, "abc"},
      {"s=1.2.3", "s", ftString, "1.2.3"},
      {"s=12abc", "s", ftString, "12abc"},
      {"s=1e", "s", ftString, "1e"},
      {"s=.", "s", ftString, "."},
      {"s=-", "s", ftString, "-"},
      {"s= 1", "s", ftString, " 1"},
      {"s=inf", "s", ftString, "inf"},
      {"s=", "s", ftString, ""},
      {"s=a=b", "s", ftString, "a=b"},
  };
  for (const Case& c : cases) {
    const TQueryParam param = tool::ParamOf(c.given);
    EXPECT_EQ(param.Name, c.name) << c.given;
    EXPECT_EQ(param.DataType, c.type) << c.given;
    EXPECT_EQ(param.Value, std::optional<std::string>(c.value)) << c.given;
  }
  struct Refusal {
    const char* given;
    const char* message;
  };
  const Refusal refusals[] = {
      {"n", "--param n: give it as NAME=VALUE"},
      {"=1", "--param =1: the name is empty"},
      {"n=9223372036854775808", "--param n=9223372036854775808: the whole number does not fit 64 bits"},
      {"f=1e999", "--param f=1e999: the number is out of a float's range"},
  };
  for (const Refusal& r : refusals) {
    try {
      tool::ParamOf(r.given);
      ADD_FAILURE() << r.given << " was taken";
    } catch (const tool::TUsageError& e) {
      EXPECT_EQ(e.Message, r.message);
    }
  }
}

TEST_F(ToolSql, ParamsReachTheStatement) {
  Sql(file, "CREATE TABLE P (S STRING(20), I INTEGER, L LARGEINT, F FLOAT, ID AUTOINC)");
  struct Case {
    std::vector<std::string> params;
    int status;
    const char* row;  // the row inserted, or the error's text
  };
  const Case cases[] = {
      {{"--param", "s=it's, so", "--param", "i=-12", "--param", "l=5000000000", "--param", "f=0.30000000000000004"},
       0, "\"it's, so\",-12,5000000000,0.30000000000000004"},
      {{"--param", "S=7", "--param", "i=7", "--param", "L=7", "--param", "f=7.0"}, 0, "7,7,7,7"},
      {{"--param", "s=", "--param", "i=1", "--param", "l=1", "--param", "f=1"}, 0, ",1,1,1"},
      {{"--param", "s=x", "--param", "i=1.5", "--param", "l=1", "--param", "f=1"}, 1, "not a valid"},
      {{"--param", "s=x", "--param", "i=1", "--param", "l=1"}, 1, "Parameter 'f' not found"},
      {{"--param", "s=x", "--param", "S=y"}, 2, "--param S=y: the name is given twice"},
      {{"--param", "s"}, 2, "--param s: give it as NAME=VALUE"},
  };
  int32_t id = 0;
  for (const Case& c : cases) {
    std::vector<std::string> args = {"sql", file, "INSERT INTO P (S, I, L, F) VALUES (:s, :i, :l, :f)"};
    args.insert(args.end(), c.params.begin(), c.params.end());
    const TRun run = RunDb(args);
    EXPECT_EQ(run.status, c.status) << c.row << "\n" << run.err;
    if (c.status != 0) {
      EXPECT_NE(run.err.find(c.row), std::string::npos) << run.err;
      continue;
    }
    EXPECT_EQ(run.out, "1 row inserted\n");
    const std::string last = LinesOf(Dump(file, "P")).back();
    EXPECT_EQ(last, std::string(c.row) + "," + std::to_string(++id));
  }
  // A parameter stands where a value does, in a condition too.
  const TRun found = RunDb({"sql", file, "SELECT S FROM P WHERE I = :i", "--param", "i=-12"});
  EXPECT_EQ(found.out, "S\n\"it's, so\"\n") << found.err;
}

TEST_F(ToolSql, ExplainPrintsTreesAndPlansAndRunsNothing) {
  Sql(file, "CREATE TABLE Article (Title STRING(20), IDJ INTEGER, ID AUTOINC); "
            "CREATE TABLE Journal (IDJ INTEGER, Name STRING(20))");
  const std::string tables = RunDb({"tables", file}).out;
  const TRun run = RunDb({"sql", file,
                          "CREATE TABLE X (Name STRING(20) NOT NULL, N INTEGER);\n"
                          "INSERT INTO X (Name, N) VALUES (:s, :n);\n"
                          "UPDATE X SET N = 2 WHERE Name = 'a';\n"
                          "SELECT A.Title, J.Name FROM Article A LEFT JOIN Journal J ON A.IDJ = J.IDJ "
                          "WHERE A.ID < :f ORDER BY A.Title",
                          "--explain", "--param", "s=x", "--param", "n=7", "--param", "f=2.5"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "-- statement 1: parse tree\n"
            "CREATE TABLE X\n"
            "  column Name STRING(20) NOT NULL\n"
            "  column N INTEGER NULL\n"
            "-- statement 2: parse tree\n"
            "INSERT INTO X\n"
            "  columns Name, N\n"
            "  values 'x', 7\n"
            "-- statement 3: parse tree\n"
            "UPDATE X\n"
            "  set N = 2\n"
            "  SELECT\n"
            "    columns\n"
            "      N\n"
            "    from\n"
            "      table X\n"
            "    where (= Name 'a')\n"
            "-- statement 4: parse tree\n"
            "SELECT\n"
            "  columns\n"
            "    A.Title\n"
            "    J.Name\n"
            "  from\n"
            "    join LEFT\n"
            "      table Article AS A\n"
            "      table Journal AS J\n"
            "      on (= A.IDJ J.IDJ)\n"
            "  where (< A.ID float:2.5)\n"
            "  order by\n"
            "    A.Title\n"
            "-- statement 4: plan\n"
            "left join on IDJ = IDJ_1, merged in memory\n"
            "  filter ([ID]<2.5) AND ([ID] IS NOT NULL)\n"
            "  order by Title, a temporary index\n"
            "  table Article AS A\n"
            "    order by IDJ, index @IDJ\n"
            "  table Journal AS J\n"
            "    order by IDJ, index @IDJ\n");
  EXPECT_EQ(RunDb({"tables", file}).out, tables);
}

// A script is parsed whole first: a mistake anywhere in it runs nothing.
// A statement that fails when it runs stops the script there; those before
// it stay done and their lines are printed.
TEST_F(ToolSql, FailuresChangeNothingThatWasNotDone) {
  Sql(file, "CREATE TABLE T (Name STRING(10), ID AUTOINC); INSERT INTO T (Name) VALUES ('kept')");
  const std::string before = Dump(file, "T");
  struct Case {
    const char* script;
    const char* out;
    const char* error;
    const char* rows;  // the rows afterwards, without the header
  };
  const Case cases[] = {
      {"DELETE FROM T; INSERT INTO T (Name) VALUES ('new'); SELECT * FROM T WHERE", "",
       "Unexpected end of SQL command found at line 1 - Native error: 01039", "kept,1\n"},
      {"DELETE FROM T; INSERT INTO T (Name) VALUES ('it''s", "",
       "Unterminated string at line 1, column 45 - Native error: 00003", "kept,1\n"},
      {"DELETE FROM T; FROB T", "", "SQL token expected, but 'FROB' found at line 1, column 16", "kept,1\n"},
      {"INSERT INTO T (Name) VALUES ('two'); INSERT INTO Nope (Name) VALUES ('x')", "1 row inserted\n",
       "TDeziDataset.OpenTable - table \"Nope\" does not exist.", "kept,1\ntwo,2\n"},
      {"INSERT INTO T (Nope) VALUES ('x')", "", "Field 'Nope' not found", "kept,1\ntwo,2\n"},
  };
  for (const Case& c : cases) {
    const TRun run = RunDb({"sql", file, c.script});
    EXPECT_EQ(run.status, 1) << c.script;
    EXPECT_EQ(run.out, c.out) << c.script;
    EXPECT_NE(run.err.find(c.error), std::string::npos) << c.script << "\n" << run.err;
    EXPECT_EQ(Dump(file, "T"), std::string("Name,ID\n") + c.rows) << c.script;
  }
  EXPECT_EQ(before, "Name,ID\nkept,1\n");
  // FILE itself must open: a missing one, a wrong password.
  EXPECT_EQ(RunDb({"sql", dir / "none.adb", "SELECT * FROM T"}).status, 1);
  const TRun wrong = RunDb({"sql", file, "SELECT * FROM T", "--password", "pw"});
  EXPECT_EQ(wrong.status, 0) << wrong.err;  // a plain catalogue: only a warning
  EXPECT_NE(wrong.err.find("is not encrypted"), std::string::npos) << wrong.err;
}

TEST_F(ToolSql, EncryptedCatalogues) {
  const std::string secret = dir / "secret.adb";
  ASSERT_EQ(RunDb({"create", secret, "--password", "pw"}).status, 0);
  const TRun made = RunDb({"sql", secret, "CREATE TABLE T (Name STRING(10)); INSERT INTO T (Name) VALUES ('x')",
                           "--password", "pw"});
  EXPECT_EQ(made.status, 0) << made.err;
  EXPECT_EQ(RunDb({"sql", secret, "SELECT * FROM T", "--password", "pw"}).out, "Name,id\nx,1\n");
  const TRun missing = RunDb({"sql", secret, "SELECT * FROM T"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("is encrypted: give its password"), std::string::npos) << missing.err;
  const TRun wrong = RunDb({"sql", secret, "DELETE FROM T", "--password", "nope"});
  EXPECT_EQ(wrong.status, 1);
  EXPECT_NE(wrong.err.find("wrong password"), std::string::npos) << wrong.err;
  EXPECT_EQ(RunDb({"sql", secret, "SELECT * FROM T", "--password", "pw"}).out, "Name,id\nx,1\n");
}

// A script of SELECTs reads beside other readers; any other script writes,
// and waits for the catalogue to itself.
TEST_F(ToolSql, ReadersShareAndWritersHoldAlone) {
  Sql(file, "CREATE TABLE T (Name STRING(10)); INSERT INTO T (Name) VALUES ('a')");
  struct Case {
    tool::TOpenFor held;
    const char* script;
    bool runs;
  };
  const Case cases[] = {
      {tool::TOpenFor::Reading, "SELECT * FROM T", true},
      {tool::TOpenFor::Reading, "SELECT Name FROM T WHERE Name = 'a'; SELECT * FROM T", true},
      {tool::TOpenFor::Reading, "INSERT INTO T (Name) VALUES ('b')", false},
      {tool::TOpenFor::Reading, "SELECT * INTO U FROM T", false},
      {tool::TOpenFor::Reading, "CREATE TABLE U (Name STRING(10))", false},
      {tool::TOpenFor::Writing, "SELECT * FROM T", false},
      {tool::TOpenFor::Writing, "DELETE FROM T", false},
  };
  for (const Case& c : cases) {
    tool::TOpenCatalogue hold = tool::OpenContainer(file, c.held, {});
    const TRun run = RunDb({"sql", file, c.script, "--wait", "0"});
    EXPECT_EQ(run.status, c.runs ? 0 : 1) << c.script << "\n" << run.err;
    if (!c.runs) {
      EXPECT_EQ(run.err.find(file + " is in use by another program; try again later\n"), 0u) << run.err;
    }
  }
  EXPECT_EQ(Dump(file, "T"), "Name,id\na,1\n");
  EXPECT_EQ(RunDb({"tables", file}).out, "T\n");
}

TEST_F(ToolSql, ScriptFromStandardInput) {
  const TRun run = RunDb({"sql", folder},
                         "-- a table of names\n"
                         "CREATE TABLE N (Name STRING(10));\n"
                         "INSERT INTO N (Name) VALUES ('Жук; жук');\n"
                         "SELECT * FROM N;\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "1 row inserted\nName,id\nЖук; жук,1\n");
  const TRun blank = RunDb({"sql", folder}, "  -- nothing\n;\n");
  EXPECT_EQ(blank.status, 1);
  EXPECT_NE(blank.err.find("Blank SQL command"), std::string::npos) << blank.err;
  const TRun notUtf8 = RunDb({"sql", folder}, "SELECT * FROM N WHERE Name = '\xff'");
  EXPECT_EQ(notUtf8.status, 1);
  EXPECT_EQ(notUtf8.err.find("standard input: "), 0u) << notUtf8.err;
  // A read that fails runs nothing, not even the statements read before it.
  TFailingInput failing("DELETE FROM N;\n");
  std::istream in(&failing);
  const TRun cut = RunDbReading({"sql", folder}, in);
  EXPECT_EQ(cut.status, 1);
  EXPECT_EQ(cut.err, "Cannot read standard input: Input/output error.\n");
  EXPECT_EQ(Dump(folder, "N"), "Name,id\nЖук; жук,1\n");
}

TEST_F(ToolSql, JoinedRows) {
  Sql(folder,
      "CREATE TABLE Article (Title STRING(20), IDJ INTEGER, ID AUTOINC);\n"
      "CREATE TABLE Journal (IDJ INTEGER, Name STRING(20), ID AUTOINC);\n"
      "INSERT INTO Journal (IDJ, Name) VALUES (1, 'Nature');\n"
      "INSERT INTO Journal (IDJ, Name) VALUES (2, 'Time, \"weekly\"');\n"
      "INSERT INTO Article (Title, IDJ) VALUES ('Alpha', 1);\n"
      "INSERT INTO Article (Title, IDJ) VALUES ('Beta', 2);\n"
      "INSERT INTO Article (Title, IDJ) VALUES ('Gamma', 3)");
  struct Case {
    const char* select;
    const char* out;
  };
  const Case cases[] = {
      {"SELECT A.Title, J.Name FROM Article A LEFT JOIN Journal J ON A.IDJ = J.IDJ ORDER BY A.ID",
       "Title,Name\nAlpha,Nature\nBeta,\"Time, \"\"weekly\"\"\"\nGamma,\n"},
      {"SELECT * FROM Article A INNER JOIN Journal J ON A.IDJ = J.IDJ",
       "Title,IDJ,ID,IDJ_1,Name,ID_1\nAlpha,1,1,1,Nature,1\nBeta,2,2,2,\"Time, \"\"weekly\"\"\",2\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(Sql(folder, c.select), c.out) << c.select;
  const TRun changed = RunDb({"sql", folder, "DELETE FROM Article A INNER JOIN Journal J ON A.IDJ = J.IDJ"});
  EXPECT_EQ(changed.status, 1);
  EXPECT_EQ(Dump(folder, "Article"), "Title,IDJ,ID\nAlpha,1,1\nBeta,2,2\nGamma,3,3\n");
}

TEST(SqlInputEnd, TheLexerSaysWhereStatementsEnd) {
  struct Case {
    const char* text;
    TInputState state;
  };
  const Case cases[] = {
      {"", TInputState::Empty},
      {"  \n", TInputState::Empty},
      {";\n", TInputState::Empty},
      {"-- only a comment\n", TInputState::Empty},
      {"/* a comment */ ;", TInputState::Empty},
      {"SELECT * FROM T\n", TInputState::Unfinished},
      {"SELECT * FROM T;\n", TInputState::Complete},
      {"SELECT * FROM T; -- done\n", TInputState::Complete},
      {"SELECT * FROM T ; /* done */\n", TInputState::Complete},
      {"SELECT * FROM T; SELECT 1\n", TInputState::Unfinished},
      {"SELECT * FROM T WHERE A = ';'\n", TInputState::Unfinished},
      {"SELECT * FROM T WHERE A = 'x;\n", TInputState::Unfinished},
      {"SELECT * FROM T WHERE A = \"x;\n", TInputState::Unfinished},
      {"SELECT * FROM T WHERE A = 'it''s;';\n", TInputState::Complete},
      {"SELECT * FROM T /* ; \n", TInputState::Unfinished},
      {"SELECT * FROM T /* ; */;\n", TInputState::Complete},
      {"SELECT * FROM T -- ;\n", TInputState::Unfinished},
      {"SELECT a--b;\n", TInputState::Unfinished},
      {"SELECT x'y;\n", TInputState::Complete},
      {"INSERT INTO T VALUES (1;\n", TInputState::Complete},
      {"INSERT INTO T VALUES (1\n", TInputState::Unfinished},
      {"SELECT 1);\n", TInputState::Complete},
      {"SELECT norvane_probe\n", TInputState::Unfinished},
  };
  for (const Case& c : cases) EXPECT_EQ(tool::InputStateOf(c.text), c.state) << c.text;
}

// Lines typed, as a test gives them; the prompts each was read with.
class TScriptedLines : public tool::TLineReader {
 public:
  explicit TScriptedLines(std::vector<std::string> lines) : lines_(std::move(lines)) {}
  bool ReadLine(const std::string& prompt, std::string& line) override {
    prompts += prompt;
    if (next_ == lines_.size()) return false;
    line = lines_[next_++];
    return true;
  }
  void Remember(const std::string& line) override { remembered.push_back(line); }
  std::string prompts;
  std::vector<std::string> remembered;

 private:
  std::vector<std::string> lines_;
  size_t next_ = 0;
};

TEST_F(ToolSql, ShellRunsEachStatementAsItIsEnded) {
  TScriptedLines lines({"CREATE TABLE T (Name STRING(10));", "", "INSERT INTO T (Name)", "  VALUES ('a;b');",
                        "SELECT * FROM Nope;", "SELECT Name", "FROM T; SELECT * FROM T WHERE Name = :n;",
                        "-- a comment", "DELETE FROM T"});
  std::ostringstream out, err;
  std::istringstream in;
  tool::TToolOutput output{in, out, err};
  tool::TCommandLine line;
  line.Positional = {folder};
  tool::TSqlRequest request{folder, &line, {}, false, true};
  request.Params.Add({"n", ftString, "none"});
  tool::RunShell(lines, [&](const std::string& script) { tool::RunSqlScript(script, request, output); }, line,
                 output);
  EXPECT_EQ(lines.prompts, "sql> sql> sql> ...> sql> sql> ...> sql> sql> ...> ");
  EXPECT_EQ(out.str(), "1 row inserted\nName\na;b\nName,id\n");
  EXPECT_EQ(LinesOf(err.str()),
            (std::vector<std::string>{"Cannot open table 'Nope'. DatabaseName = " + folder +
                                          ", DatabaseFileName = , InMemory = 0. - Native error: 00004",
                                      "The unfinished statement at the end was not run."}));
  EXPECT_EQ(lines.remembered.size(), 8u);  // every line but the empty one
  EXPECT_EQ(Dump(folder, "T"), "Name,id\na;b,1\n");
}

}  // namespace
}  // namespace norvane
