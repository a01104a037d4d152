// Engine text (code page 1251) from UTF-8 literals, so tests read as the
// user's words.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "engine/platform/cp1251.h"

namespace norvane::testing {

inline std::string W(const std::string& utf8) {
  std::string out, error;
  EXPECT_TRUE(Utf8ToCp1251(utf8, out, error)) << error;
  return out;
}

}  // namespace norvane::testing
