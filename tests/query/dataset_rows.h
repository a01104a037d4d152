// A dataset's rows as the query tests compare them: the field names, then
// one line per row from the first, values as text (NULL for none), " | "
// between them, each line ended by "\n".
#pragma once

#include <string>

#include "engine/tables/dataset.h"
#include "engine/tables/dataset_field.h"

namespace norvane::testing {

inline std::string DatasetRows(TDataSet& data) {
  std::string out;
  TFields& fields = data.Fields();
  for (int32_t i = 0; i < fields.Count(); ++i) out += (i ? " | " : "") + fields[i].FieldName();
  out += "\n";
  for (data.First(); !data.Eof(); data.Next()) {
    for (int32_t i = 0; i < fields.Count(); ++i)
      out += (i ? " | " : "") + (fields[i].IsNull() ? std::string("NULL") : fields[i].AsString());
    out += "\n";
  }
  return out;
}

}  // namespace norvane::testing
