// What the query engine asks of a table cursor beyond the dataset base: a
// private insert that fills and posts one record without the base's
// preparation, and a projection that shows chosen fields under new names.
#include "engine/common/engine_error.h"
#include "engine/platform/file_system.h"
#include "engine/tables/dezi_dataset.h"
#include "engine/tables/tbl_exception.h"

namespace norvane {

void TDeziDataset::StartPrivateInsert() {
  CheckOpen("StartPrivateInsert");
  CheckBrowseMode();
  if (privateBuffer_ != nullptr)
    throw EEngineError("Error in TDeziDataSet.StartPrivateInsert - an insert is under way.");
  privateBuffer_ = AllocRecordBuffer();
  InternalInitRecord(privateBuffer_);
  privateState_ = SetTempState(dsInsert);
}

void TDeziDataset::FinishPrivateInsert() {
  if (privateBuffer_ == nullptr)
    throw EEngineError("Error in TDeziDataSet.FinishPrivateInsert - no insert is under way.");
  // Posted or not, the private record goes: the engine's caller starts
  // again rather than mend a half-filled record.
  try {
    InternalPost();
  } catch (...) {
    EndPrivateInsert();
    throw;
  }
  EndPrivateInsert();
}

void TDeziDataset::EndPrivateInsert() {
  DropValues();
  FreeRecordBuffer(privateBuffer_);
  privateBuffer_ = nullptr;
  RestoreState(privateState_);
}

void TDeziDataset::SetFieldProjection(const std::vector<std::string>& names,
                                      const std::vector<std::string>& displayNames) {
  CheckOpen("SetFieldProjection");
  std::vector<int32_t> fields;
  std::vector<std::string> shownNames;
  for (size_t i = 0; i < names.size(); ++i) {
    int32_t field = -2;
    if (SameNameIgnoringCase(names[i], table_->Header().RowIdName)) field = -1;
    for (size_t f = 0; f < table_->Fields().size() && field == -2; ++f)
      if (SameNameIgnoringCase(table_->Fields()[f].Name, names[i])) field = static_cast<int32_t>(f);
    if (field == -2) throw ETblException(13, {tableName_, names[i]}, Name);
    std::string shown = i < displayNames.size() && !displayNames[i].empty() ? displayNames[i] : names[i];
    // A name already shown takes "_" and the first number that frees it.
    auto taken = [&](const std::string& candidate) {
      for (const std::string& other : shownNames)
        if (SameNameIgnoringCase(other, candidate)) return true;
      return false;
    };
    if (taken(shown)) {
      int n = 1;
      while (taken(shown + "_" + std::to_string(n))) ++n;
      shown += "_" + std::to_string(n);
    }
    fields.push_back(field);
    shownNames.push_back(shown);
  }
  projection_ = std::move(fields);
  projectedNames_ = std::move(shownNames);
  Reopen();
}

void TDeziDataset::CopyFieldProjection(const TDeziDataset& from) {
  projection_ = from.projection_;
  projectedNames_ = from.projectedNames_;
}

void TDeziDataset::ClearFieldProjection() {
  projection_.clear();
  projectedNames_.clear();
  if (table_ != nullptr) Reopen();
}

void TDeziDataset::Reopen() {
  Close();
  Open();
}

}  // namespace norvane
