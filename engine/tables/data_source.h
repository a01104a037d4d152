// A data source: the connection between one dataset and the data links of
// the controls bound to it. It passes the dataset's notices to every link
// unless disabled, and holds whether editing a control may start an edit.
#pragma once

#include <functional>
#include <vector>

#include "engine/tables/dataset_types.h"

namespace norvane {

class TDataLink;
class TDataSet;
class TField;

class TDataSource {
 public:
  explicit TDataSource(TDataSet* dataSet = nullptr);
  // Leaves its dataset and detaches its links (they see no dataset).
  ~TDataSource();
  TDataSource(const TDataSource&) = delete;
  TDataSource& operator=(const TDataSource&) = delete;

  TDataSet* DataSet() const { return dataSet_; }
  // Links hear ActiveChanged when what they see changes.
  void SetDataSet(TDataSet* dataSet);
  // A disabled source shows its links an inactive dataset.
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  // Whether a control's edit starts the dataset's edit state (default on).
  bool AutoEdit = true;
  // The dataset's state, dsInactive without a dataset or when disabled.
  TDataSetState State() const;
  // The dataset's Edit when AutoEdit and the dataset browses.
  void Edit();

  const std::vector<TDataLink*>& Links() const { return links_; }

  // Called after the links heard the matching notice.
  std::function<void(TDataSource&)> OnStateChange;
  std::function<void(TDataSource&, TField*)> OnDataChange;
  std::function<void(TDataSource&)> OnUpdateData;

 private:
  friend class TDataLink;
  friend class TDataSet;
  void AddLink(TDataLink& link);
  void RemoveLink(TDataLink& link);
  void DataEvent(TDataEvent event, TField* field, int distance);
  void UpdateLinkStates();

  TDataSet* dataSet_ = nullptr;
  bool enabled_ = true;
  std::vector<TDataLink*> links_;
};

}  // namespace norvane
