// Locate and Lookup: one "=" condition per key field, the most selective
// one answered first (from its automatic index where there is one), the
// others tested on its matches only.
#include <algorithm>
#include <cstring>

#include "engine/common/engine_error.h"
#include "engine/tables/dataset_field.h"
#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/dezi_dataset.h"
#include "engine/tables/field_types.h"
#include "engine/tables/name_list.h"
#include "engine/tables/record_match.h"

namespace norvane {

TDeziDataset::TKeyConditions& TDeziDataset::KeyConditions(const std::string& keyFields, uint8_t options) {
  TKeyConditions& keys = keyConditions_;
  if (keys.Table == table_ && keys.Fields == keyFields && keys.Options == options) return keys;
  keys.Table = nullptr;
  keys.Conditions.clear();
  keys.Indexes.clear();
  const uint8_t filterOptions = (options & loCaseInsensitive) != 0 ? foCaseInsensitive : 0;
  for (const std::string& name : SplitNameList(keyFields)) {
    TSearchOperation op;
    op.FieldName = name;
    op.FieldNo = table_->InternalGetFieldNo(name);
    const int type = op.FieldNo < 0 ? int{ftInteger} : int{table_->Fields()[static_cast<size_t>(op.FieldNo)].Type};
    op.Partial = (options & loPartialKey) != 0 && (type == ftString || type == ftWideString);
    keys.Indexes.push_back(ConditionIndexOf(*table_, op, filterOptions));
    keys.Conditions.push_back(std::move(op));
  }
  keys.Table = table_;
  keys.Fields = keyFields;
  keys.Options = options;
  return keys;
}

int32_t TDeziDataset::FindKeyRecord(const std::string& keyFields, const std::vector<TFieldArgument>& values,
                                    uint8_t options, bool askEvent) {
  TKeyConditions& keys = KeyConditions(keyFields, options);
  std::vector<TSearchOperation>& conditions = keys.Conditions;
  if (conditions.empty() || conditions.size() != values.size())
    throw EEngineError("TDeziDataset.PrepareAndLocate - " + std::to_string(conditions.size()) + " key fields and " +
                       std::to_string(values.size()) + " key values.");
  for (const TFieldArgument& value : values)
    if (value.IsNull()) return -1;
  for (size_t i = 0; i < conditions.size(); ++i) {
    // A value may turn "=" into a null test; each search starts from "=".
    conditions[i].Operator = soEqual;
    PrepareValueBuffer(*table_, conditions[i], values[i].KeyText());
    // No stored text equals, or begins with, one longer than its field.
    if (!conditions[i].LongText.empty()) return -1;
  }
  const uint8_t filterOptions = (options & loCaseInsensitive) != 0 ? foCaseInsensitive : 0;
  const int32_t length = ViewLength();
  if (conditions.size() == 1 && keys.Indexes[0] < 0) {
    // No index to ask: the view in its order, the first match wins.
    for (int32_t at = 0; at < length; ++at) {
      const uint8_t* record = table_->RecordPtr(ViewRecord(at));
      if (IsRecordMatches(*table_, conditions[0], filterOptions, record) &&
          (!askEvent || !OnFilterRecord || IsRecordVisible(record, true)))
        return at;
    }
    return -1;
  }
  // The condition to start from: the first matching at most a twentieth of
  // the table, else the one matching fewest.
  const int32_t total = table_->Header().RecordCount;
  size_t chosen = 0;
  TRecordSet matches;
  for (size_t i = 0; i < conditions.size(); ++i) {
    TRecordSet found = MatchedRecords(*table_, conditions[i], filterOptions, keys.Indexes[i]);
    if (i == 0 || found.Count() < matches.Count()) {
      chosen = i;
      matches = std::move(found);
    }
    if (matches.Count() * 20 <= total) break;
  }
  int32_t best = -1;
  for (const int32_t physical : matches.Members()) {
    const uint8_t* record = table_->RecordPtr(physical);
    bool all = true;
    for (size_t i = 0; i < conditions.size() && all; ++i)
      all = i == chosen || IsRecordMatches(*table_, conditions[i], filterOptions, record);
    if (!all) continue;
    const int32_t at = ViewPositionOf(physical);
    if (at < 0 || (best >= 0 && at >= best)) continue;
    if (askEvent && OnFilterRecord && !IsRecordVisible(table_->RecordPtr(physical), true)) continue;
    best = at;
  }
  return best;
}

bool TDeziDataset::Locate(const std::string& keyFields, const std::vector<TFieldArgument>& values,
                          uint8_t options) {
  CheckBrowseMode();
  CheckOpen("Locate");
  Synchronise();
  const int32_t at = FindKeyRecord(keyFields, values, options, true);
  if (at < 0) return false;
  DoBeforeScroll();
  SetPosition(at);
  Resync();
  DoAfterScroll();
  return true;
}

std::vector<TFieldArgument> TDeziDataset::Lookup(const std::string& keyFields,
                                                 const std::vector<TFieldArgument>& values,
                                                 const std::string& resultFields) {
  // An edit under way stays as it is: a lookup only reads.
  CheckOpen("Lookup");
  Synchronise();
  const int32_t at = FindKeyRecord(keyFields, values, 0, true);
  if (at < 0) return {};
  // The fields are read from the record found while the cursor stays
  // where it is.
  std::vector<uint8_t> buffer(static_cast<size_t>(GetRecordSize()), 0);
  std::memcpy(buffer.data(), table_->RecordPtr(ViewRecord(at)), static_cast<size_t>(table_->Geometry().RecordSize));
  std::vector<TFieldArgument> result;
  WithFilterBuffer(buffer.data(), [&] {
    for (const std::string& name : SplitNameList(resultFields)) result.push_back(TFieldArgument::Of(FieldByName(name)));
  });
  return result;
}

}  // namespace norvane
