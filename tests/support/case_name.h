// A parameterised case's name as a test name: its Name with every
// character that is not a letter or digit turned into "_".
#pragma once

#include <cctype>
#include <string>

namespace norvane::testing {

struct TCaseName {
  template <class TInfo>
  std::string operator()(const TInfo& info) const {
    std::string name = info.param.Name;
    for (char& ch : name)
      if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
    return name;
  }
};

}  // namespace norvane::testing
