// A fresh folder for one test, made under GoogleTest's temporary folder and
// removed with everything in it when the test ends.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

namespace norvane::testing {

class TTempFolder {
 public:
  TTempFolder() {
    std::string pattern = ::testing::TempDir();
    if (pattern.empty() || pattern.back() != '/') pattern += '/';
    pattern += "norvane-test-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
      ADD_FAILURE() << "cannot make a temporary folder from " << pattern;
      return;
    }
    path_ = pattern;
  }
  ~TTempFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;

  // The folder, ending in "/"; an ASCII path, so it is also engine text.
  std::string Path() const { return path_ + "/"; }
  std::string operator/(const std::string& name) const { return Path() + name; }

 private:
  std::string path_;
};

}  // namespace norvane::testing
