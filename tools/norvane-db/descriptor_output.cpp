// Standard output written with write(2), keeping the reason of a failure.
#include "tools/norvane-db/descriptor_output.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ostream>

namespace norvane::tool {

namespace {
constexpr size_t kBufferSize = 64 * 1024;
}  // namespace

TDescriptorOutput::TDescriptorOutput(int fd) : fd_(fd), buffer_(kBufferSize) {
  setp(buffer_.data(), buffer_.data() + buffer_.size());
}

std::string TDescriptorOutput::FailureReason() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return failure_ == 0 ? std::string() : std::string(std::strerror(failure_));
}

bool TDescriptorOutput::WriteOut(const char* bytes, size_t n) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (failure_ != 0) return false;
  }
  while (n > 0) {
    const ssize_t done = write(fd_, bytes, n);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) {
      std::lock_guard<std::mutex> lock(mutex_);
      failure_ = done < 0 ? errno : EIO;
      return false;
    }
    bytes += done;
    n -= static_cast<size_t>(done);
  }
  return true;
}

bool TDescriptorOutput::Drain() {
  const bool written = WriteOut(pbase(), static_cast<size_t>(pptr() - pbase()));
  setp(buffer_.data(), buffer_.data() + buffer_.size());
  return written;
}

TDescriptorOutput::int_type TDescriptorOutput::overflow(int_type c) {
  if (!Drain()) return traits_type::eof();
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  *pptr() = traits_type::to_char_type(c);
  pbump(1);
  return c;
}

std::streamsize TDescriptorOutput::xsputn(const char* bytes, std::streamsize n) {
  // Large writes (a file's contents) skip the buffer.
  if (n >= static_cast<std::streamsize>(buffer_.size()) / 2) {
    if (!Drain() || !WriteOut(bytes, static_cast<size_t>(n))) return 0;
    return n;
  }
  return std::streambuf::xsputn(bytes, n);
}

int TDescriptorOutput::sync() { return Drain() ? 0 : -1; }

std::string OutputFailure(std::ostream& out) {
  out.flush();
  if (out) return "";
  const auto* file = dynamic_cast<const TDescriptorOutput*>(out.rdbuf());
  const std::string reason = file == nullptr ? "" : file->FailureReason();
  return "Cannot write to standard output" + (reason.empty() ? "" : ": " + reason) + ".";
}

}  // namespace norvane::tool
