// The program's standard output as a stream buffer over a file descriptor,
// which keeps the system's reason for the first write that failed, so the
// tool can say why its output was lost (whichever thread wrote it).
#pragma once

#include <mutex>
#include <streambuf>
#include <string>
#include <vector>

namespace norvane::tool {

class TDescriptorOutput : public std::streambuf {
 public:
  // Writes to `fd`, which stays open and the caller's. The owner flushes
  // it (RunTool does) before it goes: destruction does not.
  explicit TDescriptorOutput(int fd);
  TDescriptorOutput(const TDescriptorOutput&) = delete;
  TDescriptorOutput& operator=(const TDescriptorOutput&) = delete;

  // The system's text for the first failed write ("No space left on
  // device"); empty while every write has worked.
  std::string FailureReason() const;

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* bytes, std::streamsize n) override;
  int sync() override;

 private:
  bool WriteOut(const char* bytes, size_t n);  // false after any failure
  bool Drain();                                // writes the buffered bytes
  int fd_;
  std::vector<char> buffer_;
  mutable std::mutex mutex_;  // guards failure_
  int failure_ = 0;           // errno of the first failed write
};

// Why writing to `out` failed, as one line ("Cannot write to standard output:
// REASON."), or empty when `out` has not failed. Flushes `out` first.
std::string OutputFailure(std::ostream& out);

}  // namespace norvane::tool
