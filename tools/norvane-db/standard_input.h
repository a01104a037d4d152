// Standard input for the program, read straight from its descriptor. The
// buffer behind std::cin reports a failing read as the end of the input, so
// a put from a failing disk or device would store a cut-short file; this one
// fails the read instead, and the stream reading through it goes bad.
#pragma once

#include <streambuf>

namespace norvane::tool {

class TStandardInputBuffer : public std::streambuf {
 public:
  // `fd` is read from where it stands; it stays open afterwards.
  explicit TStandardInputBuffer(int fd);

 protected:
  // The next bytes of `fd`, or end of file. A read error throws
  // std::system_error with the system's reason (an istream reading through
  // the buffer then sets badbit, and rethrows it when badbit is in its
  // exception mask).
  int_type underflow() override;

 private:
  int fd_;
  char buffer_[1 << 16];
};

}  // namespace norvane::tool
