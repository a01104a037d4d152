// A locale service whose behaviour a test spells out: the order of single
// characters and the upper-case mapping are functions the test supplies, and
// every whole-string comparison is recorded and answered with a fixed value;
// sort keys follow code unit order.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/platform/locale_service.h"

namespace norvane::testing {

class TFakeLocale : public TLocaleService {
 public:
  struct TCall {
    std::string a, b;
    bool ignoreCase;
  };

  uint32_t id = 1033;
  std::function<int(uint8_t, uint8_t)> compare = [](uint8_t a, uint8_t b) { return a - b; };
  std::function<uint8_t(uint8_t)> upper = [](uint8_t c) { return c; };
  int stringResult = 0;
  mutable std::vector<TCall> calls;

  uint32_t Id() const override { return id; }
  int CompareChars(uint8_t a, uint8_t b) const override { return compare(a, b); }
  uint8_t UpperChar(uint8_t c) const override { return upper(c); }
  int CompareStrings(std::string_view a, std::string_view b, bool ignoreCase) const override {
    calls.push_back({std::string(a), std::string(b), ignoreCase});
    return stringResult;
  }
  // Code unit order: each unit as three 7-bit digits plus one (never 0),
  // then the 0 that ends every key.
  void AppendSortKey(std::u16string_view text, bool, std::string& out) const override {
    for (char16_t unit : text) {
      for (int shift : {14, 7, 0}) out += static_cast<char>(((unit >> shift) & 0x7F) + 1);
    }
    out += '\0';
  }
};

}  // namespace norvane::testing
