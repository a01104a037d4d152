// The dataset base's editing: which operations each state allows, the
// events of insert, edit, post, cancel and delete in order, the required
// check, post errors with retry and abort, and whole-record appends.
#include <gtest/gtest.h>

#include "tests/tables/dataset_test_support.h"

namespace norvane::testing {
namespace {

using TLog = std::vector<std::string>;

// How a case brings the dataset into its starting state.
enum TStart { stClosed, stBrowse, stEdit, stInsert, stReadOnly, stEmpty };

struct TStateCase {
  const char* Name;
  TStart Start;
  std::function<void(TDataSet&)> Op;
  TDataSetState After;  // expected state when the operation succeeds
  const char* Error;    // expected message, or null
};

std::unique_ptr<TMemoryDataSet> Started(TStart start) {
  auto ds = NumberedDataSet(start == stEmpty ? 0 : 3);
  ds->ReadOnly = start == stReadOnly;
  if (start == stClosed) return ds;
  ds->Open();
  if (start == stEdit) ds->Edit();
  if (start == stInsert) ds->Insert();
  return ds;
}

void SetName(TDataSet& ds) { ds.FieldByName("Name").SetAsString("x"); }

const TStateCase kStates[] = {
    {"post while closed", stClosed, [](TDataSet& d) { d.Post(); }, dsInactive,
     "Dataset not in edit or insert mode"},
    {"edit while closed", stClosed, [](TDataSet& d) { d.Edit(); }, dsInactive,
     "Cannot perform this operation on a closed dataset"},
    {"delete while closed", stClosed, [](TDataSet& d) { d.Delete(); }, dsInactive,
     "Cannot perform this operation on a closed dataset"},
    {"post in browse", stBrowse, [](TDataSet& d) { d.Post(); }, dsBrowse,
     "Dataset not in edit or insert mode"},
    {"field write in browse", stBrowse, SetName, dsBrowse, "Dataset not in edit or insert mode"},
    {"cancel in browse does nothing", stBrowse, [](TDataSet& d) { d.Cancel(); }, dsBrowse, nullptr},
    {"edit in browse", stBrowse, [](TDataSet& d) { d.Edit(); }, dsEdit, nullptr},
    {"insert in browse", stBrowse, [](TDataSet& d) { d.Insert(); }, dsInsert, nullptr},
    {"append in browse", stBrowse, [](TDataSet& d) { d.Append(); }, dsInsert, nullptr},
    {"edit on an empty set appends", stEmpty, [](TDataSet& d) { d.Edit(); }, dsInsert, nullptr},
    {"delete on an empty set", stEmpty, [](TDataSet& d) { d.Delete(); }, dsBrowse,
     "Cannot perform this operation on an empty dataset"},
    {"edit while editing stays", stEdit, [](TDataSet& d) { d.Edit(); }, dsEdit, nullptr},
    {"post an edit", stEdit, [](TDataSet& d) { d.Post(); }, dsBrowse, nullptr},
    {"cancel an edit", stEdit, [](TDataSet& d) { d.Cancel(); }, dsBrowse, nullptr},
    {"next from an unmodified edit cancels", stEdit, [](TDataSet& d) { d.Next(); }, dsBrowse, nullptr},
    {"insert from an edit posts it first", stEdit,
     [](TDataSet& d) {
       SetName(d);
       d.Insert();
     },
     dsInsert, nullptr},
    {"field write while inserting", stInsert, SetName, dsInsert, nullptr},
    {"delete while inserting cancels", stInsert, [](TDataSet& d) { d.Delete(); }, dsBrowse, nullptr},
    {"edit on read-only", stReadOnly, [](TDataSet& d) { d.Edit(); }, dsBrowse,
     "Cannot modify a read-only dataset"},
    {"insert on read-only", stReadOnly, [](TDataSet& d) { d.Insert(); }, dsBrowse,
     "Cannot modify a read-only dataset"},
    {"delete on read-only", stReadOnly, [](TDataSet& d) { d.Delete(); }, dsBrowse,
     "Cannot modify a read-only dataset"},
    {"append record on read-only", stReadOnly, [](TDataSet& d) { d.AppendRecord({1, "a"}); },
     dsBrowse, "Cannot modify a read-only dataset"},
};

class DataSetStates : public ::testing::TestWithParam<TStateCase> {};

TEST_P(DataSetStates, OperationIsAllowedOrRefused) {
  const TStateCase& c = GetParam();
  auto ds = Started(c.Start);
  if (c.Error != nullptr) {
    try {
      c.Op(*ds);
      FAIL() << "no error";
    } catch (const EDatabaseError& e) {
      EXPECT_STREQ(e.what(), c.Error);
    }
  } else {
    c.Op(*ds);
  }
  EXPECT_EQ(ds->State(), c.After);
}

INSTANTIATE_TEST_SUITE_P(Table, DataSetStates, ::testing::ValuesIn(kStates), TCaseName());

TEST(DataSetStates, ErrorsCarryTheDatasetName) {
  auto ds = NumberedDataSet(1);
  ds->Name = "Articles";
  try {
    ds->First();
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Articles: Cannot perform this operation on a closed dataset");
  }
}

struct TEventCase {
  const char* Name;
  std::function<void(TMemoryDataSet&)> Op;
  TLog Events;
};

const TEventCase kEvents[] = {
    {"open", [](TMemoryDataSet&) {}, {}},
    {"edit and post",
     [](TMemoryDataSet& d) {
       d.Edit();
       SetName(d);
       d.Post();
     },
     {"BeforeEdit", "AfterEdit", "BeforePost", "AfterPost"}},
    {"edit and cancel",
     [](TMemoryDataSet& d) {
       d.Edit();
       SetName(d);
       d.Cancel();
     },
     {"BeforeEdit", "AfterEdit", "BeforeCancel", "AfterCancel"}},
    {"insert and post",
     [](TMemoryDataSet& d) {
       d.Insert();
       SetName(d);
       d.Post();
     },
     {"BeforeInsert", "BeforeScroll", "OnNewRecord", "AfterInsert", "AfterScroll", "BeforePost",
      "AfterPost"}},
    {"append and cancel",
     [](TMemoryDataSet& d) {
       d.Append();
       d.Cancel();
     },
     {"BeforeInsert", "BeforeScroll", "OnNewRecord", "AfterInsert", "AfterScroll", "BeforeCancel",
      "AfterCancel"}},
    {"delete",
     [](TMemoryDataSet& d) { d.Delete(); },
     {"BeforeDelete", "BeforeScroll", "AfterDelete", "AfterScroll"}},
    {"modified edit posted by next",
     [](TMemoryDataSet& d) {
       d.Edit();
       SetName(d);
       d.Next();
     },
     {"BeforeEdit", "AfterEdit", "BeforePost", "AfterPost", "BeforeScroll", "AfterScroll"}},
    {"append record",
     [](TMemoryDataSet& d) { d.AppendRecord({9, "nine"}); },
     {"BeforeInsert", "BeforeScroll", "OnNewRecord", "AfterInsert", "BeforePost", "AfterPost"}},
    {"close with a pending edit drops it",
     [](TMemoryDataSet& d) {
       d.Edit();
       SetName(d);
       d.Close();
     },
     {"BeforeEdit", "AfterEdit", "BeforeClose", "AfterClose"}},
};

class DataSetEvents : public ::testing::TestWithParam<TEventCase> {};

TEST_P(DataSetEvents, FireInOrder) {
  const TEventCase& c = GetParam();
  TLog log;  // outlives the dataset, whose destructor still fires close events
  auto ds = NumberedDataSet(3);
  RecordEvents(*ds, log);
  ds->Open();
  EXPECT_EQ(log, (TLog{"BeforeOpen", "AfterOpen", "AfterScroll"}));
  log.clear();
  c.Op(*ds);
  EXPECT_EQ(log, c.Events);
}

INSTANTIATE_TEST_SUITE_P(Table, DataSetEvents, ::testing::ValuesIn(kEvents), TCaseName());

TEST(DataSetEditing, PostStoresAndCancelRestores) {
  auto ds = NumberedDataSet(3);
  ds->Open();
  ds->Next();
  ds->Edit();
  ds->FieldByName("Name").SetAsString("changed");
  EXPECT_TRUE(ds->Modified());
  ds->Cancel();
  EXPECT_EQ(ds->FieldByName("Name").AsString(), "r2");
  EXPECT_FALSE(ds->Modified());
  ds->Edit();
  ds->FieldByName("Name").SetAsString("changed");
  ds->Post();
  EXPECT_EQ(ds->FieldByName("Name").AsString(), "changed");
  EXPECT_EQ(CurrentN(*ds), 2);
  EXPECT_EQ(ds->Rows.size(), 3u);
  EXPECT_EQ(ds->Rows[1].Image[6], 'c');  // N's 5 bytes, then Name's presence byte
}

TEST(DataSetEditing, InsertGoesBeforeTheActiveRecordAndAppendAfterTheLast) {
  auto ds = NumberedDataSet(3);
  ds->Open();
  ds->Next();
  ds->Insert();
  EXPECT_EQ(ds->RecNo(), 4);  // the cursor numbers a record being inserted after the stored ones
  ds->FieldByName("N").SetAsInteger(15);
  ds->Post();
  EXPECT_EQ(CurrentN(*ds), 15);
  ds->Append();
  ds->FieldByName("N").SetAsInteger(40);
  ds->Post();
  std::vector<int> order;
  for (ds->First(); !ds->Eof(); ds->Next()) order.push_back(CurrentN(*ds));
  EXPECT_EQ(order, (std::vector<int>{1, 15, 2, 3, 40}));
}

TEST(DataSetEditing, CancelledInsertLeavesNoRecord) {
  auto ds = NumberedDataSet(2);
  ds->Open();
  ds->Last();
  ds->Insert();
  ds->FieldByName("N").SetAsInteger(99);
  ds->Cancel();
  EXPECT_EQ(CurrentN(*ds), 2);
  EXPECT_EQ(ds->RecordCount(), 2);
  ds->First();
  EXPECT_EQ(CurrentN(*ds), 1);
}

TEST(DataSetEditing, DeleteMovesToTheNextThenToTheNewLast) {
  auto ds = NumberedDataSet(3);
  ds->Open();
  ds->Delete();
  EXPECT_EQ(CurrentN(*ds), 2);
  ds->Last();
  ds->Delete();
  EXPECT_EQ(CurrentN(*ds), 2);
  ds->Delete();
  EXPECT_TRUE(ds->IsEmpty());
  EXPECT_TRUE(ds->Eof());
  EXPECT_TRUE(ds->Bof());
  EXPECT_EQ(ds->RecNo(), 0);
}

TEST(DataSetEditing, RequiredFieldMustHaveAValue) {
  auto ds = NumberedDataSet(1, /*nameRequired=*/true);
  ds->Open();
  ds->Append();
  ds->FieldByName("N").SetAsInteger(5);
  try {
    ds->Post();
    FAIL() << "posted without the required field";
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Field 'Name' must have a value");
  }
  EXPECT_EQ(ds->State(), dsInsert);  // a failed post keeps the edit
  EXPECT_EQ(ds->FieldByName("N").AsInteger(), 5);
  EXPECT_EQ(ds->Rows.size(), 1u);
  ds->FieldByName("Name").SetAsString("five");
  ds->Post();
  EXPECT_EQ(ds->Rows.size(), 2u);
  EXPECT_THROW(ds->AppendRecord({6}), EDatabaseError);
  EXPECT_EQ(ds->Rows.size(), 2u);
  EXPECT_EQ(ds->State(), dsBrowse);
}

struct TPostErrorCase {
  const char* Name;
  int Failures;
  TDataAction Answer;
  int Attempts;          // InternalPost calls
  bool Throws, Aborts;
  TDataSetState After;
  size_t Rows;
};

const TPostErrorCase kPostErrors[] = {
    {"fail", 1, daFail, 1, true, false, dsEdit, 3},
    {"abort", 1, daAbort, 1, true, true, dsEdit, 3},
    {"retry once", 1, daRetry, 2, false, false, dsBrowse, 3},
    {"retry twice", 2, daRetry, 3, false, false, dsBrowse, 3},
};

class DataSetPostErrors : public ::testing::TestWithParam<TPostErrorCase> {};

TEST_P(DataSetPostErrors, HandlerDecides) {
  const TPostErrorCase& c = GetParam();
  auto ds = NumberedDataSet(3);
  ds->Open();
  ds->Edit();
  ds->FieldByName("Name").SetAsString("edited");
  ds->FailPosts = c.Failures;
  std::vector<std::string> seen;
  ds->OnPostError = [&](TDataSet&, const EDatabaseError& e, TDataAction& action) {
    seen.push_back(e.what());
    action = c.Answer;
  };
  ds->Calls.clear();
  bool threw = false, aborted = false;
  try {
    ds->Post();
  } catch (const EAbort&) {
    threw = aborted = true;
  } catch (const EDatabaseError& e) {
    threw = true;
    EXPECT_STREQ(e.what(), "Key violation");
  }
  EXPECT_EQ(threw, c.Throws);
  EXPECT_EQ(aborted, c.Aborts);
  EXPECT_EQ(std::count(ds->Calls.begin(), ds->Calls.end(), "InternalPost"), c.Attempts);
  EXPECT_EQ(seen.size(), static_cast<size_t>(c.Failures));
  EXPECT_EQ(ds->State(), c.After);
  EXPECT_EQ(ds->Rows.size(), c.Rows);
  EXPECT_EQ(ds->FieldByName("Name").AsString(), "edited");
}

INSTANTIATE_TEST_SUITE_P(Table, DataSetPostErrors, ::testing::ValuesIn(kPostErrors), TCaseName());

TEST(DataSetEditing, AppendRecordFillsFieldsInOrder) {
  auto ds = std::make_unique<TMemoryDataSet>(std::vector<TMemoryColumn>{
      {ftInteger, "N"}, {ftString, "Name", 10}, {ftBoolean, "Flag"}, {ftFloat, "X"}});
  ds->Open();
  ds->AppendRecord({7, "seven", true, 2.5});
  ds->AppendRecord({8, nullptr});
  ds->InsertRecord({6, "six"});
  ASSERT_EQ(ds->Rows.size(), 3u);
  EXPECT_EQ(CurrentN(*ds), 6);
  std::vector<std::string> rows;
  for (ds->First(); !ds->Eof(); ds->Next())
    rows.push_back(ds->FieldByName("N").AsString() + "|" + ds->FieldByName("Name").AsString() + "|" +
                   ds->FieldByName("Flag").AsString() + "|" + ds->FieldByName("X").AsString());
  // InsertRecord puts its record before the active one, the last appended.
  EXPECT_EQ(rows, (std::vector<std::string>{"7|seven|True|2.5", "6|six||", "8|||"}));
  EXPECT_TRUE(ds->FieldByName("Name").IsNull());
  EXPECT_EQ(ds->State(), dsBrowse);
}

TEST(DataSetEditing, AppendRecordValueThatDoesNotFitLeavesNothing) {
  auto ds = std::make_unique<TMemoryDataSet>(
      std::vector<TMemoryColumn>{{ftInteger, "N"}, {ftSmallint, "S"}});
  ds->Open();
  ds->AppendRecord({1, 1});
  try {
    ds->AppendRecord({2, 70000});
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Value 70000 is out of range for field 'S'");
  }
  EXPECT_EQ(ds->Rows.size(), 1u);
  EXPECT_EQ(ds->State(), dsBrowse);
  EXPECT_EQ(CurrentN(*ds), 1);
}

TEST(DataSetEditing, RefreshAsksTheCursorAndRereads) {
  auto ds = NumberedDataSet(3);
  ds->Open();
  ds->Next();
  ds->Rows[1].Image[6] = 'R';  // another user changed the stored record
  EXPECT_EQ(ds->FieldByName("Name").AsString(), "r2");
  ds->Calls.clear();
  ds->Refresh();
  EXPECT_EQ(ds->Calls, (std::vector<std::string>{"InternalRefresh"}));
  EXPECT_EQ(ds->FieldByName("Name").AsString(), "R2");
}

}  // namespace
}  // namespace norvane::testing
