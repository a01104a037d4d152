// Which indexes a table has: the row identifier index, the automatic ones,
// those added by name and the temporary ones, with the checks and messages
// of adding and deleting them.
#include <algorithm>
#include <random>

#include "engine/common/engine_error.h"
#include "engine/platform/file_system.h"
#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/field_types.h"
#include "engine/tables/name_list.h"

namespace norvane {
namespace {

constexpr size_t kMaxIndexNameLength = 20;
constexpr char kTemporaryPrefix[] = "$_IDX_";

// Per key field of `fields`: whether it ignores case and whether it sorts up,
// from the lists of such fields and the options that apply to every field.
struct TKeyAnswers {
  std::vector<std::string> Keys;
  std::vector<bool> CaseInsensitive, Ascending;
};

TKeyAnswers AnswersFor(const std::string& fields, const std::string& caseInsensitiveFields,
                       const std::string& descendingFields, uint8_t options) {
  TKeyAnswers answers{SplitNameList(fields), {}, {}};
  const std::vector<std::string> caseless = SplitNameList(caseInsensitiveFields);
  const std::vector<std::string> descending = SplitNameList(descendingFields);
  for (const std::string& key : answers.Keys) {
    answers.CaseInsensitive.push_back((options & ixCaseInsensitive) != 0 || NameListed(caseless, key));
    answers.Ascending.push_back((options & ixDescending) == 0 && !NameListed(descending, key));
  }
  return answers;
}

bool IsText(int type) { return type == ftString || type == ftWideString; }

[[noreturn]] void RefuseAdd(const std::string& what) {
  throw EEngineError("Error in TDeziDataManager.InternalAddIndex - " + what);
}

}  // namespace

int32_t TDeziDataManager::InternalGetIndexNo(const std::string& name) const {
  for (size_t i = 0; i < indexes_.size(); ++i)
    if (SameNameIgnoringCase(indexes_[i]->Description.Name, name)) return static_cast<int32_t>(i);
  return -1;
}

TTableIndex& TDeziDataManager::CheckedIndex(int32_t index) {
  if (index < 0 || index >= IndexCount())
    throw EEngineError("Error in TDeziDataManager - index number " + std::to_string(index) +
                       " does not exist in table \"" + tableName_ + "\".");
  return *indexes_[static_cast<size_t>(index)];
}

const TIndexDescription& TDeziDataManager::IndexDescription(int32_t index) const {
  return const_cast<TDeziDataManager*>(this)->CheckedIndex(index).Description;
}

void TDeziDataManager::AppendIndex(TIndexDescription description) {
  // The encoder refuses key fields of types no index can have.
  indexes_.push_back(std::make_unique<TTableIndex>(std::move(description), fields_, geometry_));
}

void TDeziDataManager::AddAutomaticIndexesOf(size_t field, bool caseInsensitiveOnly) {
  const TFieldHeader& header = fields_[field];
  if (!IsIndexableType(header.Type)) return;
  const int32_t number = static_cast<int32_t>(field);
  if (IsText(header.Type))
    AppendIndex({"@@" + header.Name, {number}, {true}, {true}, true, false, ixCaseInsensitive});
  if (!caseInsensitiveOnly) AppendIndex({"@" + header.Name, {number}, {true}, {false}, false, false, 0});
}

void TDeziDataManager::MakeAutomaticIndexes() {
  indexes_.clear();
  AppendIndex({"@" + header_.RowIdName, {-1}, {true}, {false}, false, false, 0});
  for (size_t i = 0; i < fields_.size(); ++i) AddAutomaticIndexesOf(i, false);
}

void TDeziDataManager::UpgradeIndexes() {
  // Tables before 2.099 had no case-insensitive automatic indexes and kept
  // dates and times in another order.
  for (size_t i = 0; i < fields_.size(); ++i)
    if (IsText(fields_[i].Type) && InternalGetIndexNo("@@" + fields_[i].Name) < 0)
      AddAutomaticIndexesOf(i, true);
  for (auto& index : indexes_)
    for (int32_t field : index->Description.KeyFields)
      if (field >= 0 && fields_[field].Type >= ftDate && fields_[field].Type <= ftDateTime)
        index->Drop();
  indexFileDiffers_ = true;
}

void TDeziDataManager::InternalAddIndex(const std::string& name,
                                        const std::vector<std::string>& fieldNames,
                                        uint8_t options, const std::vector<bool>& caseInsensitive,
                                        const std::vector<bool>& ascending) {
  InternalAddIndexTo(name, fieldNames, options, caseInsensitive, ascending, false);
}

void TDeziDataManager::InternalAddIndexTo(const std::string& name,
                                          const std::vector<std::string>& fieldNames,
                                          uint8_t options,
                                          const std::vector<bool>& caseInsensitive,
                                          const std::vector<bool>& ascending, bool temporary) {
  if (name.empty()) RefuseAdd("name is empty.");
  if (name.size() > kMaxIndexNameLength) RefuseAdd("name length > .20");
  if (fieldNames.empty()) RefuseAdd("empty field name list");
  if (ascending.empty()) RefuseAdd("empty sort orders list");
  if (InternalGetIndexNo(name) >= 0) RefuseAdd("index \"" + name + "\" already exists!");
  TIndexDescription description;
  description.Name = name;
  for (size_t i = 0; i < fieldNames.size(); ++i) {
    // A temporary index names fields only, even one called like the row
    // identifier.
    int32_t field = -1;
    if (!temporary) {
      field = InternalGetFieldNo(fieldNames[i]);
    } else {
      const auto found = std::find_if(fields_.begin(), fields_.end(), [&](const TFieldHeader& f) {
        return SameNameIgnoringCase(f.Name, fieldNames[i]);
      });
      if (found == fields_.end())
        throw EEngineError("Error in TDeziDataManager.InternalGetFieldNo - field \"" +
                           fieldNames[i] + "\" not found!");
      field = static_cast<int32_t>(found - fields_.begin());
    }
    const bool text = field >= 0 && IsText(fields_[field].Type);
    description.KeyFields.push_back(field);
    description.Ascending.push_back(i < ascending.size() ? ascending[i] : true);
    description.CaseInsensitive.push_back(text && i < caseInsensitive.size() && caseInsensitive[i]);
  }
  description.WholeCaseInsensitive = (options & ixCaseInsensitive) != 0;
  description.WholeDescending = (options & ixDescending) != 0;
  description.Options = options;
  AppendIndex(std::move(description));
  TTableIndex& added = *indexes_.back();
  try {
    BuildIndex(IndexCount() - 1);
    // A unique index is only made over keys that are unique already.
    if ((options & ixUnique) != 0 && HasEqualKeys(added))
      throw EKeyViolation("Error in TDeziDataManager.InternalAddIndex", tableName_, name);
  } catch (...) {
    indexes_.pop_back();
    throw;
  }
  if (!temporary) indexFileDiffers_ = true;
}

void TDeziDataManager::AddIndex(const std::string& name, const std::string& fields, bool save,
                                const std::string& caseInsensitiveFields,
                                const std::string& descendingFields, uint8_t options) {
  if (save) CheckWritable("AddIndex");
  const TKeyAnswers answers = AnswersFor(fields, caseInsensitiveFields, descendingFields, options);
  InternalAddIndex(name, answers.Keys, options, answers.CaseInsensitive, answers.Ascending);
  if (save) SaveIndexesToDisk();
}

std::string TDeziDataManager::CreateTemporaryIndex(const std::string& fields,
                                                   const std::string& descendingFields,
                                                   const std::string& caseInsensitiveFields) {
  static std::mt19937 draw{std::random_device{}()};
  std::uniform_int_distribution<int> number(0, 99999);
  std::string name;
  // Drawn again until no index has the name.
  do name = kTemporaryPrefix + std::to_string(number(draw));
  while (InternalGetIndexNo(name) >= 0);
  const TKeyAnswers answers = AnswersFor(fields, caseInsensitiveFields, descendingFields, 0);
  InternalAddIndexTo(name, answers.Keys, 0, answers.CaseInsensitive, answers.Ascending, true);
  return name;
}

int32_t TDeziDataManager::DeleteIndex(const std::string& name, bool keepFile) {
  const std::string prefix = "Error in TDeziDataManager.DeleteIndex - ";
  if (!open_) throw EEngineError(prefix + "table is not opened.");
  if (name.empty()) throw EEngineError(prefix + "name is empty.");
  if (name.size() > kMaxIndexNameLength) throw EEngineError(prefix + "name length > .20");
  if (name[0] == '@') return 0;
  const int32_t number = InternalGetIndexNo(name);
  if (number < 0) throw EEngineError(prefix + "index \"" + name + "\" doesn't exist!");
  const bool temporary = indexes_[number]->Temporary();
  indexes_.erase(indexes_.begin() + number);
  if (indexes_.empty()) throw EEngineError("TDeziDataManager.DeleteIndex - last index deleted!");
  // T.idx never held a temporary index.
  if (temporary) return number;
  indexFileDiffers_ = true;
  if (!keepFile) SaveIndexesToDisk();
  return number;
}

}  // namespace norvane
