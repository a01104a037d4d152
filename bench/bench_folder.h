// A folder of the benchmarks' own under the temporary folder ($TMPDIR, else
// /tmp), removed with everything in it when the object goes, so that files a
// benchmark makes never outlive its run.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

namespace norvane::bench {

class TBenchFolder {
 public:
  TBenchFolder() {
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") +
                          "/norvane-bench-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make " + pattern);
    path_ = pattern;
  }
  ~TBenchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TBenchFolder(const TBenchFolder&) = delete;
  TBenchFolder& operator=(const TBenchFolder&) = delete;
  // The folder's path with a trailing separator.
  std::string Path() const { return path_ + "/"; }

 private:
  std::string path_;
};

}  // namespace norvane::bench
