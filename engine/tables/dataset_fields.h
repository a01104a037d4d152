// The field list of a dataset: the field objects its cursor made when it
// opened, in record order, found by name without regard to letter case.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/tables/dataset_field.h"

namespace norvane {

class TFields {
 public:
  // Makes the field class of `type` (an engine type code, ftAutoInc for the
  // row identifier) and appends it with the next FieldNo. Throws
  // EDatabaseError "Field '<name>' has the unknown type <code>" for a code
  // without a class, and "Duplicate field name '<name>'" for a taken name.
  TField& Add(TDataSet& dataSet, TFieldType type, const std::string& name, int32_t size,
              bool required);
  void Clear() { fields_.clear(); }

  int32_t Count() const { return static_cast<int32_t>(fields_.size()); }
  // Requires 0 <= index < Count().
  TField& operator[](int32_t index) const { return *fields_.at(static_cast<size_t>(index)); }
  // Null when no field has the name.
  TField* Find(const std::string& name) const;
  // Throws EDatabaseError "Field '<name>' not found" when no field has it.
  TField& ByName(const std::string& name) const;

 private:
  std::vector<std::unique_ptr<TField>> fields_;
};

}  // namespace norvane
