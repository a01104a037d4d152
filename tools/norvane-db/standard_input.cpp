// Reading standard input with its errors kept (see standard_input.h).
#include "tools/norvane-db/standard_input.h"

#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace norvane::tool {

TStandardInputBuffer::TStandardInputBuffer(int fd) : fd_(fd) {
  setg(buffer_, buffer_, buffer_);
}

TStandardInputBuffer::int_type TStandardInputBuffer::underflow() {
  if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
  ssize_t got;
  do {
    got = read(fd_, buffer_, sizeof buffer_);
  } while (got < 0 && errno == EINTR);
  if (got < 0) throw std::system_error(errno, std::generic_category());
  if (got == 0) return traits_type::eof();
  setg(buffer_, buffer_, buffer_ + got);
  return traits_type::to_int_type(*gptr());
}

}  // namespace norvane::tool
