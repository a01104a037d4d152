// Navigation of the dataset base over the in-memory cursor: first, last,
// next, prior, move-by and record numbers across empty, one-record and
// many-record sets, and bookmarks.
#include <gtest/gtest.h>

#include "tests/tables/dataset_test_support.h"

namespace norvane::testing {
namespace {

enum TOp { opOpen, opFirst, opLast, opNext, opPrior, opMoveBy, opSetRecNo };

struct TStep {
  TOp Op;
  int Arg;         // distance of MoveBy, number of SetRecNo
  int N;           // expected N of the active record (0: none)
  bool Eof, Bof;
  int RecNo;
  int Moved = 0;   // expected result of MoveBy
};

struct TNavCase {
  const char* Name;
  int Rows;
  std::vector<TStep> Steps;
};

const TNavCase kNavigation[] = {
    {"empty", 0,
     {{opOpen, 0, 0, true, true, 0},
      {opNext, 0, 0, true, true, 0},
      {opPrior, 0, 0, true, true, 0},
      {opLast, 0, 0, true, true, 0},
      {opMoveBy, 3, 0, true, true, 0, 0},
      {opFirst, 0, 0, true, true, 0}}},
    {"one record", 1,
     {{opOpen, 0, 1, false, true, 1},
      {opNext, 0, 1, true, false, 1},
      {opNext, 0, 1, true, false, 1},
      {opPrior, 0, 1, false, true, 1},
      {opLast, 0, 1, true, false, 1},
      {opFirst, 0, 1, false, true, 1}}},
    {"five records", 5,
     {{opOpen, 0, 1, false, true, 1},
      {opNext, 0, 2, false, false, 2},
      {opNext, 0, 3, false, false, 3},
      {opPrior, 0, 2, false, false, 2},
      {opLast, 0, 5, true, false, 5},
      {opPrior, 0, 4, false, false, 4},
      {opMoveBy, 10, 5, true, false, 5, 1},
      {opMoveBy, -2, 3, false, false, 3, -2},
      {opMoveBy, -10, 1, false, true, 1, -2},
      {opSetRecNo, 4, 4, false, false, 4},
      {opSetRecNo, 9, 4, false, false, 4},
      {opFirst, 0, 1, false, true, 1},
      {opPrior, 0, 1, false, true, 1}}},
};

class DataSetNavigation : public ::testing::TestWithParam<TNavCase> {};

TEST_P(DataSetNavigation, StepsGiveRecordAndEnds) {
  const TNavCase& c = GetParam();
  auto ds = NumberedDataSet(c.Rows);
  for (size_t i = 0; i < c.Steps.size(); ++i) {
    const TStep& s = c.Steps[i];
    int moved = 0;
    switch (s.Op) {
      case opOpen: ds->Open(); break;
      case opFirst: ds->First(); break;
      case opLast: ds->Last(); break;
      case opNext: ds->Next(); break;
      case opPrior: ds->Prior(); break;
      case opMoveBy: moved = ds->MoveBy(s.Arg); break;
      case opSetRecNo: ds->SetRecNo(s.Arg); break;
    }
    SCOPED_TRACE("step " + std::to_string(i));
    EXPECT_EQ(CurrentN(*ds), s.N);
    EXPECT_EQ(ds->Eof(), s.Eof);
    EXPECT_EQ(ds->Bof(), s.Bof);
    EXPECT_EQ(ds->RecNo(), s.RecNo);
    EXPECT_EQ(ds->FieldByName("N").IsNull(), s.N == 0);
    if (s.Op == opMoveBy) {
      EXPECT_EQ(moved, s.Moved);
    }
  }
  EXPECT_EQ(ds->RecordCount(), c.Rows);
  EXPECT_EQ(ds->IsEmpty(), c.Rows == 0);
}

INSTANTIATE_TEST_SUITE_P(Sets, DataSetNavigation, ::testing::ValuesIn(kNavigation), TCaseName());

TEST(DataSetNavigation, WalkingForwardVisitsEveryRecordOnce) {
  auto ds = NumberedDataSet(7);
  ds->Open();
  std::vector<int> seen;
  for (ds->First(); !ds->Eof(); ds->Next()) seen.push_back(CurrentN(*ds));
  EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
  seen.clear();
  for (ds->Last(); !ds->Bof(); ds->Prior()) seen.push_back(CurrentN(*ds));
  EXPECT_EQ(seen, (std::vector<int>{7, 6, 5, 4, 3, 2, 1}));
}

TEST(DataSetNavigation, BookmarksReturnToTheirRecord) {
  auto ds = NumberedDataSet(6);
  ds->Open();
  ds->MoveBy(2);
  const TBookmark third = ds->GetBookmark();
  ds->Last();
  const TBookmark last = ds->GetBookmark();
  ASSERT_EQ(third.size(), 4u);
  EXPECT_TRUE(ds->BookmarkValid(third));
  EXPECT_LT(ds->CompareBookmarks(third, last), 0);
  EXPECT_GT(ds->CompareBookmarks(last, third), 0);
  EXPECT_EQ(ds->CompareBookmarks(third, third), 0);
  EXPECT_LT(ds->CompareBookmarks({}, third), 0);
  ds->GotoBookmark(third);
  EXPECT_EQ(CurrentN(*ds), 3);
  EXPECT_EQ(ds->RecNo(), 3);
  // The ring refilled around the record: navigation goes on from it.
  ds->Next();
  EXPECT_EQ(CurrentN(*ds), 4);
  ds->First();
  ds->Delete();  // record 1 goes; the bookmark of record 3 stays good
  ds->GotoBookmark(third);
  EXPECT_EQ(CurrentN(*ds), 3);
  EXPECT_EQ(ds->RecNo(), 2);
}

TEST(DataSetNavigation, ClosedDatasetRefusesNavigationAndHasNoBookmark) {
  auto ds = NumberedDataSet(3);
  EXPECT_THROW(ds->First(), EDatabaseError);
  EXPECT_THROW(ds->Next(), EDatabaseError);
  EXPECT_THROW(ds->RecordCount(), EDatabaseError);
  EXPECT_TRUE(ds->GetBookmark().empty());
  // Fields exist only while the cursor is open.
  EXPECT_EQ(ds->FindField("N"), nullptr);
  ds->Open();
  EXPECT_NE(ds->FindField("n"), nullptr);
  ds->Close();
  EXPECT_EQ(ds->FindField("N"), nullptr);
}

}  // namespace
}  // namespace norvane::testing
