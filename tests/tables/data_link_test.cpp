// Data sources and data links over the in-memory cursor: the order of the
// notices a link hears, controls held back and merged, the ring of buffers
// that follows the links' BufferCount, and the one-field link.
#include <gtest/gtest.h>

#include "engine/tables/field_data_link.h"
#include "tests/tables/dataset_test_support.h"

namespace norvane::testing {
namespace {

using TLog = std::vector<std::string>;

// A numbered dataset with one recording link on its source.
class DataLinkTest : public ::testing::Test {
 protected:
  void Make(int rows) {
    ds = NumberedDataSet(rows);
    source.SetDataSet(ds.get());
    link.SetDataSource(&source);
  }
  TLog log;
  std::unique_ptr<TMemoryDataSet> ds;
  TDataSource source;
  TRecordingLink link{log};
};

TEST_F(DataLinkTest, HearsNoticesInOrder) {
  Make(3);
  ds->Open();
  EXPECT_EQ(log, (TLog{"ActiveChanged", "DataSetChanged"}));
  log.clear();
  ds->Next();
  EXPECT_EQ(log, (TLog{"DataSetScrolled(1)"}));
  log.clear();
  ds->Edit();
  ds->FieldByName("Name").SetAsString("x");
  EXPECT_EQ(log, (TLog{"EditingChanged", "RecordChanged(null)", "RecordChanged(Name)"}));
  log.clear();
  ds->Post();
  EXPECT_EQ(log, (TLog{"UpdateData", "EditingChanged", "DataSetChanged"}));
  log.clear();
  ds->Prior();
  ds->Prior();  // already at the first record: Bof, no movement
  ds->Prior();  // Bof set: nothing at all
  EXPECT_EQ(log, (TLog{"DataSetScrolled(-1)", "DataSetScrolled(0)"}));
  log.clear();
  ds->Close();
  EXPECT_EQ(log, (TLog{"ActiveChanged"}));
  EXPECT_FALSE(link.Active());
}

TEST_F(DataLinkTest, UpdateDataLetsAControlWriteBeforeThePost) {
  Make(2);
  link.OnUpdateData = [&] { ds->FieldByName("Name").SetAsString("typed"); };
  ds->Open();
  ds->Edit();
  ds->Post();
  EXPECT_EQ(ds->FieldByName("Name").AsString(), "typed");
  EXPECT_EQ(ds->Rows[0].Image[6], 't');
}

TEST_F(DataLinkTest, DisabledControlsHearOneMergedChange) {
  Make(5);
  ds->Open();
  log.clear();
  ds->DisableControls();
  ds->DisableControls();
  ds->Next();
  ds->Next();
  ds->Edit();
  ds->FieldByName("Name").SetAsString("x");
  EXPECT_TRUE(log.empty());
  ds->EnableControls();  // still disabled once
  EXPECT_TRUE(log.empty());
  ds->EnableControls();
  EXPECT_EQ(log, (TLog{"EditingChanged", "DataSetChanged"}));
  EXPECT_TRUE(link.Editing());
  log.clear();
  // A post while disabled still asks the controls for their input.
  ds->DisableControls();
  ds->Post();
  ds->Next();
  EXPECT_EQ(log, (TLog{"UpdateData"}));
  ds->EnableControls();  // disabled while editing, enabled in browse
  EXPECT_EQ(log, (TLog{"UpdateData", "EditingChanged", "DataSetChanged"}));
  log.clear();
  ds->DisableControls();
  ds->EnableControls();  // nothing happened in between: nothing to tell
  EXPECT_TRUE(log.empty());
}

TEST_F(DataLinkTest, DisabledSourceShowsAnInactiveDataset) {
  Make(3);
  ds->Open();
  source.SetEnabled(false);
  EXPECT_FALSE(link.Active());
  EXPECT_EQ(source.State(), dsInactive);
  log.clear();
  ds->Next();
  EXPECT_TRUE(log.empty());
  source.SetEnabled(true);
  EXPECT_EQ(log, (TLog{"ActiveChanged"}));
}

TEST(DataLink, RingOfFiveScrollsThroughTwentyRecords) {
  auto ds = NumberedDataSet(20);
  TLog log;
  TDataSource source(ds.get());
  TRecordingLink grid(log, "grid:"), edit(log, "edit:");
  grid.SetDataSource(&source);
  edit.SetDataSource(&source);
  grid.SetBufferCount(5);
  ds->Open();
  EXPECT_EQ(ds->BufferCount(), 5);
  EXPECT_EQ(ds->BufferedRecords(), 5);
  for (int k = 1; k <= 20; ++k) {
    SCOPED_TRACE("record " + std::to_string(k));
    const int first = std::max(1, k - 4);
    const TWindow w = WindowOf(grid, *ds);
    EXPECT_EQ(w.Active, k - first);
    EXPECT_EQ(w.Rows, Range(first, first + 4));
    const TWindow e = WindowOf(edit, *ds);
    EXPECT_EQ(e.Active, 0);
    EXPECT_EQ(e.Rows, (std::vector<int>{k}));
    EXPECT_EQ(CurrentN(*ds), k);  // drawing the rows left the active record alone
    log.clear();
    ds->Next();
    // Inside the ring the grid's rows stay; past its end they scroll; at the
    // end of the data nothing moves.
    const TLog expected = k < 5    ? TLog{"grid:DataSetScrolled(0)", "edit:DataSetScrolled(1)"}
                          : k < 20 ? TLog{"grid:DataSetScrolled(1)", "edit:DataSetScrolled(1)"}
                                   : TLog{"grid:DataSetScrolled(0)", "edit:DataSetScrolled(0)"};
    EXPECT_EQ(log, expected);
  }
  EXPECT_TRUE(ds->Eof());
  // Going back moves inside the ring first, then scrolls it.
  for (int k = 19; k >= 14; --k) {
    ds->Prior();
    const TWindow w = WindowOf(grid, *ds);
    EXPECT_EQ(CurrentN(*ds), k);
    EXPECT_EQ(w.Rows, Range(std::min(16, k), std::min(16, k) + 4));
    EXPECT_EQ(w.Active, k - std::min(16, k));
  }
  ds->Last();
  EXPECT_EQ(WindowOf(grid, *ds).Rows, Range(16, 20));
  EXPECT_EQ(grid.ActiveRecord(), 4);
  ds->First();
  EXPECT_EQ(WindowOf(grid, *ds).Rows, Range(1, 5));
  EXPECT_EQ(grid.ActiveRecord(), 0);
  // The ring shrinks back when the grid leaves.
  grid.SetDataSource(nullptr);
  EXPECT_EQ(ds->BufferCount(), 1);
  EXPECT_EQ(CurrentN(*ds), 1);
}

TEST_F(DataLinkTest, RingGrowsWhenALinkAsksForMoreRowsWhileOpen) {
  Make(4);
  TRecordingLink& grid = link;
  ds->Open();
  ds->Last();
  EXPECT_EQ(ds->BufferedRecords(), 1);
  grid.SetBufferCount(3);
  EXPECT_EQ(ds->BufferCount(), 3);
  EXPECT_EQ(WindowOf(grid, *ds).Rows, (std::vector<int>{2, 3, 4}));
  EXPECT_EQ(grid.ActiveRecord(), 2);
  EXPECT_EQ(CurrentN(*ds), 4);
}

TEST(FieldDataLink, FollowsItsFieldAndAutoEdit) {
  auto ds = NumberedDataSet(3);
  TDataSource source(ds.get());
  TFieldDataLink link;
  link.SetDataSource(&source);
  link.SetFieldName("Name");
  int shown = 0;
  link.OnDataChange = [&] { ++shown; };
  ds->Open();
  ASSERT_NE(link.Field(), nullptr);
  EXPECT_EQ(link.Field()->AsString(), "r1");
  shown = 0;
  source.AutoEdit = false;
  EXPECT_FALSE(link.Edit());
  EXPECT_EQ(ds->State(), dsBrowse);
  source.AutoEdit = true;
  EXPECT_TRUE(link.Edit());
  EXPECT_EQ(ds->State(), dsEdit);
  ds->FieldByName("N").SetAsInteger(5);  // another field: the control keeps its text
  EXPECT_EQ(shown, 1);                   // only the edit's record-changed notice
  link.Modified(true);
  link.OnUpdateData = [&] { link.Field()->SetAsString("from control"); };
  ds->Post();
  EXPECT_FALSE(link.Modified());
  EXPECT_EQ(ds->FieldByName("Name").AsString(), "from control");
  ds->Close();
  EXPECT_EQ(link.Field(), nullptr);
}

TEST(DataLink, ALinkThatThrowsGoesThroughTheCursorsHandler) {
  struct TThrowingLink : TDataLink {
    void DataSetScrolled(int) override { throw EDatabaseError("control failed"); }
  };
  auto ds = NumberedDataSet(3);
  TDataSource source(ds.get());
  TThrowingLink link;
  link.SetDataSource(&source);
  ds->Open();
  ds->Calls.clear();
  EXPECT_THROW(ds->Next(), EDatabaseError);
  EXPECT_EQ(ds->Calls, (std::vector<std::string>{"InternalHandleException: control failed"}));
}

}  // namespace
}  // namespace norvane::testing
