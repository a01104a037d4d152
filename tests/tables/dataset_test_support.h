// Shared pieces of the dataset base's tests: a numbered in-memory dataset
// and a data link that writes down every notice it hears.
#pragma once

#include <string>
#include <vector>

#include "engine/tables/data_link.h"
#include "engine/tables/data_source.h"
#include "engine/tables/dataset_field.h"
#include "tests/support/case_name.h"
#include "tests/tables/memory_dataset.h"

namespace norvane::testing {

// Fields N (integer, required when asked) and Name (text of 20); row i holds
// N = i + 1 and Name "r<i + 1>".
inline std::unique_ptr<TMemoryDataSet> NumberedDataSet(int rows, bool nameRequired = false) {
  auto ds = std::make_unique<TMemoryDataSet>(std::vector<TMemoryColumn>{
      {ftInteger, "N", 0, false}, {ftString, "Name", 20, nameRequired}});
  for (int i = 1; i <= rows; ++i) ds->AddRow({TMemoryDataSet::Int32(i), "r" + std::to_string(i)});
  return ds;
}

// The active record's N, or 0 when there is none.
inline int CurrentN(TDataSet& ds) { return ds.FieldByName("N").AsInteger(); }

// What a link's window shows: its active row and the value of integer field
// `field` in each row.
struct TWindow {
  int Active;
  std::vector<int> Rows;
};

inline TWindow WindowOf(TDataLink& link, TDataSet& ds, const std::string& field = "N") {
  TWindow w{link.ActiveRecord(), {}};
  const int saved = link.ActiveRecord();
  for (int row = 0; row < link.RecordCount(); ++row) {
    link.SetActiveRecord(row);
    w.Rows.push_back(ds.FieldByName(field).AsInteger());
  }
  link.SetActiveRecord(saved);
  return w;
}

inline std::vector<int> Range(int from, int to) {
  std::vector<int> v;
  for (int i = from; i <= to; ++i) v.push_back(i);
  return v;
}

class TRecordingLink : public TDataLink {
 public:
  explicit TRecordingLink(std::vector<std::string>& log, std::string prefix = "")
      : log_(log), prefix_(std::move(prefix)) {}
  std::function<void()> OnUpdateData;

 protected:
  void ActiveChanged() override { Note("ActiveChanged"); }
  void DataSetChanged() override { Note("DataSetChanged"); }
  void DataSetScrolled(int distance) override { Note("DataSetScrolled(" + std::to_string(distance) + ")"); }
  void RecordChanged(TField* field) override {
    Note("RecordChanged(" + (field != nullptr ? field->FieldName() : std::string("null")) + ")");
  }
  void EditingChanged() override { Note("EditingChanged"); }
  void UpdateData() override {
    Note("UpdateData");
    if (OnUpdateData) OnUpdateData();
  }

 private:
  void Note(const std::string& what) { log_.push_back(prefix_ + what); }
  std::vector<std::string>& log_;
  std::string prefix_;
};

// Wires every before/after event of `ds` to append its name to `log`.
inline void RecordEvents(TDataSet& ds, std::vector<std::string>& log) {
  auto note = [&log](const char* name) { return [&log, name](TDataSet&) { log.push_back(name); }; };
  ds.BeforeOpen = note("BeforeOpen");
  ds.AfterOpen = note("AfterOpen");
  ds.BeforeClose = note("BeforeClose");
  ds.AfterClose = note("AfterClose");
  ds.BeforeInsert = note("BeforeInsert");
  ds.AfterInsert = note("AfterInsert");
  ds.BeforeEdit = note("BeforeEdit");
  ds.AfterEdit = note("AfterEdit");
  ds.BeforePost = note("BeforePost");
  ds.AfterPost = note("AfterPost");
  ds.BeforeCancel = note("BeforeCancel");
  ds.AfterCancel = note("AfterCancel");
  ds.BeforeDelete = note("BeforeDelete");
  ds.AfterDelete = note("AfterDelete");
  ds.BeforeScroll = note("BeforeScroll");
  ds.AfterScroll = note("AfterScroll");
  ds.OnNewRecord = note("OnNewRecord");
}

}  // namespace norvane::testing
