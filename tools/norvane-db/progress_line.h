// Progress of a long command on standard error: one line redrawn in place
// on a terminal, a line every ten percent otherwise.
#pragma once

#include "tools/norvane-db/command.h"

namespace norvane::tool {

class TProgressLine {
 public:
  // `label` starts each line, e.g. "compacting".
  TProgressLine(TToolOutput& output, const char* label) : output_(output), label_(label) {}
  void Show(double percent);
  // Takes a redrawn line off the terminal, so that another line can be
  // written in its place; the next Show draws it again.
  void Hide();
  // Ends the redrawn line, if any was drawn.
  void Finish();

 private:
  TToolOutput& output_;
  const char* label_;
  int shown_ = -1;
};

}  // namespace norvane::tool
