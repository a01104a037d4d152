// Progress of a long command on standard error.
#include "tools/norvane-db/progress_line.h"

#include <cstring>
#include <ostream>
#include <string>

namespace norvane::tool {

void TProgressLine::Show(double percent) {
  const int now = static_cast<int>(percent + 0.5);
  if (output_.ErrIsTerminal) {
    if (now != shown_) output_.Err << "\r" << label_ << ": " << now << "%" << std::flush;
  } else if (now / 10 != shown_ / 10 || shown_ < 0) {
    output_.Err << label_ << ": " << now << "%\n";
  }
  shown_ = now;
}

void TProgressLine::Hide() {
  if (!output_.ErrIsTerminal || shown_ < 0) return;
  // Wide enough for the longest line drawn: "LABEL: 100%".
  output_.Err << "\r" << std::string(std::strlen(label_) + 6, ' ') << "\r";
  shown_ = -1;
}

void TProgressLine::Finish() {
  if (output_.ErrIsTerminal && shown_ >= 0) output_.Err << "\n";
}

}  // namespace norvane::tool
