// A filtered table cursor as the program uses it: a detail's filter within
// its master's records, the record filter event, posts and deletes that
// leave or keep records in the view, record numbers and bookmarks, a filter
// set before the table opens, and positions of row identifiers.
#include <gtest/gtest.h>

#include "engine/tables/data_source.h"
#include "tests/query/filter_catalogue.h"
#include "tests/support/error_message.h"

namespace norvane {
namespace {

using testing::MessageOf;
using testing::TCatalogue;

std::vector<int32_t> Ids(TDeziTable& table) {
  std::vector<int32_t> ids;
  for (table.First(); !table.Eof(); table.Next()) ids.push_back(table.FieldByName("ID").AsInteger());
  return ids;
}

void Filter(TDeziTable& table, const std::string& text) {
  table.SetFilter(text);
  table.SetFiltered(true);
}

TEST(FilterView, DetailFilteredWithinItsMaster) {
  TCatalogue catalogue;
  auto sections = catalogue.Open("Razdel");
  auto articles = catalogue.Open("Article");
  TDataSource source(sections.get());
  articles->SetIndexName("@IDRazdel");
  articles->SetMasterSource(&source);
  articles->SetMasterFields("IDRazdel");
  Filter(*articles, "NN = 3");
  ASSERT_TRUE(sections->Locate("IDRazdel", {1}));
  EXPECT_EQ(Ids(*articles), (std::vector<int32_t>{1}));
  ASSERT_TRUE(sections->Locate("IDRazdel", {2}));
  EXPECT_EQ(Ids(*articles), (std::vector<int32_t>{2}));
  articles->SetFilter("NN < 3");
  EXPECT_EQ(Ids(*articles), (std::vector<int32_t>{4}));
  articles->SetDistinctFields("IDRazdel");
  articles->SetFiltered(false);
  EXPECT_EQ(Ids(*articles), (std::vector<int32_t>{2}));  // one per key, within the master's
}

TEST(FilterView, RecordFilterEventHasTheLastWord) {
  TCatalogue catalogue;
  auto articles = catalogue.Open("Article");
  int asked = 0;
  articles->OnFilterRecord = [&](TDataSet& ds, bool& accept) {
    ++asked;
    accept = ds.FieldByName("ID").AsInteger() % 2 == 0;
  };
  EXPECT_EQ(Ids(*articles), (std::vector<int32_t>{1, 2, 3, 4, 5, 6}));  // only while filtered
  EXPECT_EQ(asked, 0);
  articles->SetFiltered(true);
  EXPECT_EQ(Ids(*articles), (std::vector<int32_t>{2, 4, 6}));
  articles->SetFilter("Year = 2004");
  EXPECT_EQ(Ids(*articles), (std::vector<int32_t>{2}));
  articles->Last();
  EXPECT_EQ(articles->FieldByName("ID").AsInteger(), 2);
  std::vector<uint8_t> record(articles->Table()->RecordPtr(0),
                              articles->Table()->RecordPtr(0) + articles->Table()->Geometry().RecordSize);
  EXPECT_TRUE(articles->IsRecordVisible(record.data(), false));  // record 1 passes the filter
  EXPECT_FALSE(articles->IsRecordVisible(record.data(), true));   // but not the event
}

TEST(FilterView, PostsAndDeletesFollowTheFilter) {
  TCatalogue catalogue;
  auto articles = catalogue.Open("Article");
  Filter(*articles, "Year = 2004");
  articles->AppendRecord({2003, 1, "Outside", 1});
  EXPECT_EQ(articles->RecordCount(), 2);
  articles->AppendRecord({2004, 1, "Inside", 1});
  EXPECT_EQ(articles->RecordCount(), 3);
  EXPECT_EQ(articles->FieldByName("ArticleName").AsString(), "Inside");
  ASSERT_TRUE(articles->Locate("ID", {1}));
  articles->Edit();
  articles->FieldByName("Year").SetAsInteger(2010);
  articles->Post();
  EXPECT_EQ(Ids(*articles), (std::vector<int32_t>{2, 8}));
  ASSERT_TRUE(articles->Locate("ID", {2}));
  articles->Delete();
  EXPECT_EQ(Ids(*articles), (std::vector<int32_t>{8}));
  articles->SetFiltered(false);
  EXPECT_EQ(articles->RecordCount(), 7);
}

// A lookup only reads: an edit under way is neither posted nor moved.
TEST(FilterView, LookupLeavesAnEditAlone) {
  TCatalogue catalogue;
  auto articles = catalogue.Open("Article");
  ASSERT_TRUE(articles->Locate("ID", {3}));
  articles->Edit();
  articles->FieldByName("ArticleName").SetAsString("Changed");
  const std::vector<TFieldArgument> found = articles->Lookup("Year;NN", {2004, 3}, "ArticleName;ID");
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].Text(), "Alpha");
  EXPECT_EQ(found[1].Integer(), 1);
  EXPECT_EQ(articles->State(), dsEdit);
  EXPECT_EQ(articles->FieldByName("ArticleName").AsString(), "Changed");
  articles->Cancel();
  EXPECT_EQ(articles->FieldByName("ArticleName").AsString(), "Gamma");
}

TEST(FilterView, NumbersBookmarksAndPositions) {
  TCatalogue catalogue;
  auto articles = catalogue.Open("Article");
  Filter(*articles, "NN = 3");
  EXPECT_EQ(articles->RecordCount(), 3);
  ASSERT_TRUE(articles->Locate("ID", {6}));
  EXPECT_EQ(articles->RecNo(), 3);
  const TBookmark six = articles->GetBookmark();
  articles->First();
  EXPECT_EQ(articles->CompareBookmarks(articles->GetBookmark(), six), -1);
  articles->GotoBookmark(six);
  EXPECT_EQ(articles->FieldByName("ID").AsInteger(), 6);
  EXPECT_EQ(articles->FindRowPosition(6), 2);
  EXPECT_EQ(articles->FindRowPosition(3), -1);
  articles->SetRecNo(2);
  EXPECT_EQ(articles->FieldByName("ID").AsInteger(), 2);
}

TEST(FilterView, FilterSetBeforeOpening) {
  TCatalogue catalogue;
  auto articles = std::make_unique<TDeziTable>();
  auto open = catalogue.Open("Article");  // the same folder
  const std::string folder = open->DatabaseName();
  articles->SetDatabaseName(folder);
  articles->SetTableName("Article");
  articles->SetFilter("Year = 2005 x");
  articles->SetFiltered(true);
  EXPECT_EQ(MessageOf([&] { articles->Open(); }), "End of line expected, but \" x\" found");
  EXPECT_FALSE(articles->Active());
  articles->SetFilter("Year = 2005");
  articles->Open();
  EXPECT_EQ(Ids(*articles), (std::vector<int32_t>{3, 6}));
}

// Deep nesting is refused with a message and the view stays.
TEST(FilterView, DeepNestingIsRefused) {
  TCatalogue catalogue;
  auto articles = catalogue.Open("Article");
  Filter(*articles, "NN = 1");
  for (const std::string open : {"(", "not "}) {
    std::string text;
    for (int i = 0; i < 100000; ++i) text += open;
    text += "Year = 2005";
    if (open == "(") text += std::string(100000, ')');
    EXPECT_EQ(MessageOf([&] { articles->SetFilter(text); }),
              "Filter nested deeper than 200 levels at character " + std::to_string(200 * open.size() + 1));
    EXPECT_EQ(Ids(*articles), (std::vector<int32_t>{4}));
  }
  std::string fine;
  for (int i = 0; i < 90; ++i) fine += "(not ";
  articles->SetFilter(fine + "Year = 2005" + std::string(90, ')'));
  EXPECT_EQ(Ids(*articles), (std::vector<int32_t>{3, 6}));  // an even number of nots
}

}  // namespace
}  // namespace norvane
