// The dataset base's filter properties: a change reaches the cursor before
// it is made, so a filter the cursor cannot read changes nothing.
#include "engine/tables/dataset.h"

namespace norvane {

void TDataSet::FilterChanging(const std::string&, bool, uint8_t) {}

void TDataSet::SetFilter(const std::string& text) {
  if (text == filter_) return;
  if (Active()) FilterChanging(text, filtered_, filterOptions_);
  filter_ = text;
  if (Active() && filtered_) First();
}

void TDataSet::SetFiltered(bool filtered) {
  if (filtered == filtered_) return;
  if (Active()) FilterChanging(filter_, filtered, filterOptions_);
  filtered_ = filtered;
  if (Active()) First();
}

void TDataSet::SetFilterOptions(uint8_t options) {
  if (options == filterOptions_) return;
  if (Active()) FilterChanging(filter_, filtered_, options);
  filterOptions_ = options;
  if (Active() && filtered_) First();
}

bool TDataSet::FindRecord(bool restart, bool forward) {
  CheckBrowseMode();
  if (restart) {
    forward ? First() : Last();
  } else {
    forward ? Next() : Prior();
  }
  found_ = forward ? !Eof() : !Bof();
  return found_;
}

}  // namespace norvane
