// The parameters of a query as the lexer substitutes them: a name, the
// field type of the value and the value in its text form (booleans "True"
// or "False", floats with "." as the decimal separator), or none.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/tables/field_text.h"
#include "engine/tables/field_types.h"

namespace norvane {

struct TQueryParam {
  std::string Name;
  TFieldType DataType = ftString;
  std::optional<std::string> Value;  // none: null

  // A float parameter whose text is the shortest that reads back as
  // exactly `value`: fifteen digits would lose the last bits of some.
  static TQueryParam Float(std::string name, double value) {
    return {std::move(name), ftFloat, FormatNumber(value)};
  }
};

class TQueryParams {
 public:
  void Add(TQueryParam param) { params_.push_back(std::move(param)); }
  // The parameter of that name (without case), null when there is none.
  const TQueryParam* Find(const std::string& name) const;
  const std::vector<TQueryParam>& Items() const { return params_; }

 private:
  std::vector<TQueryParam> params_;
};

}  // namespace norvane
