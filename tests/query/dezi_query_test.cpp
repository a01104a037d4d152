// The query component over the small catalogue of filter_catalogue.h:
// which rows and fields it shows after its script ran, its parameters, its
// master, and the scripts that leave it closed.
#include <gtest/gtest.h>

#include "engine/query/dezi_query.h"
#include "engine/tables/data_source.h"
#include "engine/tables/tbl_exception.h"
#include "tests/query/dataset_rows.h"
#include "tests/query/filter_catalogue.h"

namespace norvane {
namespace {

// The rows without the last line break.
std::string Shown(TDataSet& query) {
  std::string text = testing::DatasetRows(query);
  text.pop_back();
  return text;
}

class QueryTest : public ::testing::Test {
 protected:
  QueryTest() { query.SetDatabaseName(catalogue.Folder()); }

  std::string Open(const std::string& sql) {
    query.Close();
    query.SetSQL(sql);
    try {
      query.Open();
    } catch (const std::exception& error) {
      return std::string("error: ") + error.what();
    }
    return query.Active() ? Shown(query) : "closed";
  }

  testing::TCatalogue catalogue;
  TDeziQuery query;
};

TEST_F(QueryTest, ShowsTheLastStatementsRows) {
  struct Case {
    const char* sql;
    std::string shown;
  };
  const Case cases[] = {
      {"SELECT * FROM Razdel", "IDRazdel | Razdel | id\n1 | Science | 1\n2 | Sport | 2\n9 | Culture | 3"},
      {"SELECT * FROM Razdel; SELECT * FROM Journal", "IDJournal | Journal | id\n1 | Nature | 1\n2 | Time | 2\n3 | Idle | 3"},
      {"SELECT Razdel AS N, Razdel FROM Razdel WHERE IDRazdel = 2", "N | Razdel\nSport | Sport"},
      {"SELECT Razdel, Razdel FROM Razdel WHERE IDRazdel = 9", "Razdel | Razdel_1\nCulture | Culture"},
      // The statement's conditions compare whole values: 'Alph' is no
      // prefix match here, whatever the query's own filter options say.
      {"SELECT ArticleName FROM Article WHERE ArticleName = 'Alph'", "ArticleName"},
      {"SELECT A.ArticleName, J.Journal FROM Article A LEFT JOIN Journal J ON A.IDJournal = J.IDJournal "
       "WHERE A.Year = 2004 ORDER BY A.ID",
       "ArticleName | Journal\nAlpha | Nature\nBeta | NULL"},
      {"INSERT INTO Razdel (Razdel) VALUES ('x'); SELECT Razdel FROM Razdel WHERE Razdel = 'x'", "Razdel\nx"},
      // A script without a SELECT runs and leaves the query closed.
      {"INSERT INTO Journal (Journal) VALUES ('New')", "closed"},
      {"SELECT Journal FROM Journal WHERE Journal = 'New'", "Journal\nNew"},
      {";;", "error: Blank SQL command - Native error: 01001"},
      {"CREATE TABLE T (A INTEGER); SELECT * FROM Q",
       ("error: Cannot open table 'Q'. DatabaseName = " + catalogue.Folder() +
        ", DatabaseFileName = , InMemory = 0. - Native error: 00004")},
      {"SELECT * FROM T", "A | id"},
  };
  for (const Case& c : cases) EXPECT_EQ(Open(c.sql), c.shown) << c.sql;
}

// Joined rows are a copy: editing them is refused; one table's rows are
// the table's own, and an edit through the query reaches it.
TEST_F(QueryTest, OnlyOneTablesRowsCanBeEdited) {
  ASSERT_EQ(Open("SELECT A.ArticleName, R.Razdel FROM Article A, Razdel R WHERE A.IDRazdel = R.IDRazdel"
                 " AND R.IDRazdel = 9"),
            "ArticleName | Razdel\nO'Brien | Culture");
  EXPECT_FALSE(query.CanModify());
  EXPECT_ANY_THROW(query.Edit());
  ASSERT_EQ(Open("SELECT Razdel FROM Razdel WHERE IDRazdel = 9"), "Razdel\nCulture");
  EXPECT_TRUE(query.CanModify());
  query.Edit();
  query.FieldByName("Razdel").SetAsString("Arts");
  query.Post();
  EXPECT_EQ(Shown(*catalogue.Open("Razdel")), "IDRazdel | Razdel | id\n1 | Science | 1\n2 | Sport | 2\n9 | Arts | 3");
}

TEST_F(QueryTest, ParametersFollowTheText) {
  query.SetSQL("SELECT Razdel FROM Razdel WHERE IDRazdel = :id OR Razdel = :name");
  ASSERT_EQ(query.Params().Items().size(), 2u);
  TQueryParams given;
  given.Add({"ID", ftInteger, std::string("2")});
  given.Add({"other", ftInteger, std::string("7")});
  query.SetParams(given);
  query.Params().Add({"unused", ftString, std::string("x")});
  query.Open();
  EXPECT_EQ(Shown(query), "Razdel\nSport");
  // The same text keeps the query open; another closes it and keeps the
  // values of the names it still uses.
  query.SetSQL(query.SQL());
  EXPECT_TRUE(query.Active());
  query.SetSQL("SELECT Razdel FROM Razdel WHERE IDRazdel = :id");
  EXPECT_FALSE(query.Active());
  ASSERT_EQ(query.Params().Items().size(), 1u);
  EXPECT_EQ(query.Params().Items()[0].Value, std::optional<std::string>("2"));
  query.SetParamCheck(false);
  query.SetSQL("SELECT Razdel FROM Razdel WHERE IDRazdel = :other");
  EXPECT_EQ(query.Params().Items().size(), 1u);
}

TEST_F(QueryTest, AMasterGivesParametersAndRunsItAgain) {
  auto razdel = catalogue.Open("Razdel");
  razdel->SetIndexFieldNames("IDRazdel");
  TDataSource source;
  source.SetDataSet(razdel.get());
  query.SetSQL("SELECT ArticleName FROM Article WHERE IDRazdel = :IDRazdel ORDER BY ArticleName");
  query.SetDataSource(&source);
  query.Open();
  EXPECT_EQ(Shown(query), "ArticleName\nAlpha\nGamma");
  razdel->Next();
  EXPECT_EQ(Shown(query), "ArticleName\nalpha\nBeta");
  razdel->Last();
  EXPECT_EQ(Shown(query), "ArticleName\nO'Brien");

  // A source that leads back to the query is refused.
  TDataSource own;
  own.SetDataSet(&query);
  try {
    query.SetDataSource(&own);
    ADD_FAILURE();
  } catch (const ETblException& error) {
    EXPECT_EQ(error.NativeError(), 1056);
  }
  TDeziQuery detail;
  detail.SetDataSource(&own);
  TDataSource viaDetail;
  viaDetail.SetDataSet(&detail);
  EXPECT_THROW(query.SetDataSource(&viaDetail), ETblException);
  EXPECT_EQ(query.DataSource(), &source);
}

}  // namespace
}  // namespace norvane
