// A data link: the dataset as one control (an edit box, a grid, a detail
// dataset) sees it through a data source. The link turns the dataset's
// notices into virtual calls and keeps its own window of BufferCount rows
// into the dataset's ring of record buffers.
#pragma once

#include "engine/tables/dataset_types.h"

namespace norvane {

class TDataSet;
class TDataSource;
class TField;

class TDataLink {
 public:
  TDataLink() = default;
  // Leaves its data source.
  virtual ~TDataLink();
  TDataLink(const TDataLink&) = delete;
  TDataLink& operator=(const TDataLink&) = delete;

  TDataSource* DataSource() const { return source_; }
  // Joins `source` (null: none) and hears ActiveChanged when that changes
  // whether it sees an active dataset.
  void SetDataSource(TDataSource* source);
  // The source's dataset, or null.
  TDataSet* DataSet() const;
  // The source is enabled and its dataset open.
  bool Active() const { return active_; }
  // Active and the dataset in edit, insert or set-key state.
  bool Editing() const { return editing_; }

  // Rows the control shows (>= 1); the dataset's ring grows to the largest
  // BufferCount of its links.
  int BufferCount() const { return bufferCount_; }
  void SetBufferCount(int count);
  // The dataset's active record as a row of this link's window, 0 when
  // inactive; setting it makes that row active in the dataset (for drawing)
  // without moving the cursor.
  int ActiveRecord() const;
  void SetActiveRecord(int row);
  // Rows of the window that hold records.
  int RecordCount() const;

  // Puts the dataset into edit state when the source allows (AutoEdit and
  // browse state); returns Editing().
  bool Edit();
  // Asks the control to write pending input now (as before a post).
  void UpdateRecord();

 protected:
  virtual void ActiveChanged() {}
  virtual void DataSetChanged() {}
  // The window scrolled by `distance` rows (positive toward the end of the
  // data); the active row may have moved as well.
  virtual void DataSetScrolled(int distance) { (void)distance; }
  // One field changed (`field`), or the whole record (null).
  virtual void RecordChanged(TField* field) { (void)field; }
  virtual void EditingChanged() {}
  // Write pending input to the fields.
  virtual void UpdateData() {}
  virtual void CheckBrowseMode() {}
  virtual void LayoutChanged() { DataSetChanged(); }

 private:
  friend class TDataSource;
  void DataEvent(TDataEvent event, TField* field, int distance);
  // Follows the dataset's Active and editing state.
  void UpdateState();
  // Moves the window after the ring scrolled by `ringDistance` rows; returns
  // how far the window scrolled over the data.
  int UpdateWindow(int ringDistance);

  TDataSource* source_ = nullptr;
  int bufferCount_ = 1;
  int firstRecord_ = 0;  // ring row shown as this link's row 0
  bool active_ = false;
  bool editing_ = false;
  bool updating_ = false;
};

}  // namespace norvane
