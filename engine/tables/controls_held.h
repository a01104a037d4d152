// Notices to the data links of some datasets held back for a scope (a long
// copy), and sent once as it ends, also when it ends by an exception.
#pragma once

#include <initializer_list>
#include <vector>

#include "engine/tables/dataset.h"

namespace norvane {

class TControlsHeld {
 public:
  TControlsHeld(std::initializer_list<TDataSet*> datasets) : datasets_(datasets) {
    for (TDataSet* dataset : datasets_) dataset->DisableControls();
  }
  ~TControlsHeld() {
    for (TDataSet* dataset : datasets_) {
      try {
        dataset->EnableControls();
      } catch (...) {
        // A control failing to redraw must not end the program; the data
        // are what they are either way.
      }
    }
  }
  TControlsHeld(const TControlsHeld&) = delete;
  TControlsHeld& operator=(const TControlsHeld&) = delete;

 private:
  std::vector<TDataSet*> datasets_;
};

}  // namespace norvane
