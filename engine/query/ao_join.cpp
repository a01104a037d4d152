// Joining two operators and materialising the rows.
#include "engine/query/ao_join.h"

#include "engine/common/engine_error.h"
#include "engine/platform/file_system.h"
#include "engine/query/sql_select.h"
#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/field_copy.h"
#include "engine/tables/tbl_exception.h"

namespace norvane {

TDeziAOJoin::TDeziAOJoin(std::unique_ptr<TDeziAO> left, std::unique_ptr<TDeziAO> right, int joinType)
    : joinType_(joinType) {
  tableName_ = left->TableName();
  left_ = std::move(left);
  right_ = std::move(right);
  for (TDeziAO* input : {left_.get(), right_.get()}) {
    const std::vector<TETblFieldLink>& columns = input->Columns();
    for (int32_t i = 0; i < static_cast<int32_t>(columns.size()); ++i) {
      TETblFieldLink link = columns[static_cast<size_t>(i)];
      link.DisplayName.clear();
      link.SourceOperator = input;
      link.SourceColumn = i;
      link.SourceDataset = nullptr;
      link.FieldNo = -1;
      columns_.push_back(std::move(link));
    }
  }
  MakeColumnNamesUnique();
}

// A repeated name takes "_1", then the attempt's number appended to the
// name tried before: N_1, N_12, N_123, ...
void TDeziAOJoin::MakeColumnNamesUnique() {
  for (size_t i = 1; i < columns_.size(); ++i) {
    std::string& name = columns_[i].Name;
    for (int attempt = 1;; ++attempt) {
      bool taken = false;
      for (size_t j = 0; j < i && !taken; ++j) taken = SameNameIgnoringCase(columns_[j].Name, name);
      if (!taken) break;
      name += (attempt == 1 ? "_" : "") + std::to_string(attempt);
    }
  }
}

void TDeziAOJoin::SetKeys(const TETblFields& leftKeys, const TETblFields& rightKeys) {
  if (leftKeys.size() != rightKeys.size())
    throw ETblException(23, {static_cast<int64_t>(leftKeys.size()), static_cast<int64_t>(rightKeys.size())});
  if (leftKeys.empty()) throw ETblException(22, {int64_t{0}});
  const int32_t leftCount = static_cast<int32_t>(left_->Columns().size());
  const auto resolve = [&](const TETblFieldRef& ref, int32_t i, int32_t code) {
    const std::vector<int32_t> found = FindColumns(ref.FieldName, ref.Table, true);
    if (found.size() != 1)
      throw ETblException(code, {tableName_, ref.FieldName, int64_t{i}, static_cast<int64_t>(found.size())});
    return found[0];
  };
  std::vector<int32_t> lefts, rights;
  for (size_t i = 0; i < leftKeys.size(); ++i) {
    int32_t a = resolve(leftKeys[i], static_cast<int32_t>(i), 20);
    int32_t b = resolve(rightKeys[i], static_cast<int32_t>(i), 21);
    if ((a < leftCount) == (b < leftCount))
      throw ETblException(27, {leftKeys[i].FieldName, rightKeys[i].FieldName, int64_t{a}, int64_t{b}});
    if (a >= leftCount) std::swap(a, b);
    lefts.push_back(a);
    rights.push_back(b);
  }
  SetKeyColumns(lefts, rights);
}

void TDeziAOJoin::SetKeyColumns(const std::vector<int32_t>& allLefts, const std::vector<int32_t>& allRights) {
  if (allLefts.empty()) throw ETblException(22, {int64_t{0}});
  // An input is read in the order of its keys, through an index over them;
  // a temporary index cannot hold a row identifier beside other fields. So
  // with other keys, a pair of row identifiers (as NATURAL gives for two
  // tables' "id") is tested on each row of an inner join instead; an outer
  // join would drop, not pad, a row that fails that test.
  const auto rowIds = [&](size_t i) {
    return columns_[static_cast<size_t>(allLefts[i])].Type == ftAutoInc ||
           columns_[static_cast<size_t>(allRights[i])].Type == ftAutoInc;
  };
  std::vector<size_t> keys, tested;
  for (size_t i = 0; i < allLefts.size(); ++i) (rowIds(i) ? tested : keys).push_back(i);
  if (keys.empty()) {
    // Row identifiers only: the first pair stays the key.
    keys.push_back(tested.front());
    tested.erase(tested.begin());
  }
  if (!tested.empty() && IsOuterJoin())
    throw EEngineError("An outer join cannot pair row identifiers beside other keys: " +
                       columns_[static_cast<size_t>(allLefts[tested[0]])].Name + " = " +
                       columns_[static_cast<size_t>(allRights[tested[0]])].Name);
  const auto reference = [&](int32_t column) {
    const TETblFieldLink& c = columns_[static_cast<size_t>(column)];
    return TETblExprNode::Field(c.Alias.empty() ? c.Table : c.Alias, c.FieldName);
  };
  for (const size_t i : tested)
    AddRowCondition(TETblExprNode::Operation(opEqual, reference(allLefts[i]), reference(allRights[i])));
  std::vector<int32_t> lefts, rights;
  for (const size_t i : keys) {
    lefts.push_back(allLefts[i]);
    rights.push_back(allRights[i]);
  }
  std::string leftSort, rightSort;
  for (size_t i = 0; i < lefts.size(); ++i) {
    MarkUsed(lefts[i]);
    MarkUsed(rights[i]);
    const TETblFieldLink& l = columns_[static_cast<size_t>(lefts[i])];
    const TETblFieldLink& r = columns_[static_cast<size_t>(rights[i])];
    leftSort += (leftSort.empty() ? "" : ";") + left_->Columns()[static_cast<size_t>(l.SourceColumn)].Name;
    rightSort += (rightSort.empty() ? "" : ";") + right_->Columns()[static_cast<size_t>(r.SourceColumn)].Name;
  }
  leftKeys_ = lefts;
  rightKeys_ = rights;
  left_->SetSort(leftSort, "", "");
  right_->SetSort(rightSort, "", "");
}

void TDeziAOJoin::Open() {
  left_->Open();
  right_->Open();
  Materialize();
  // Showing the projection reopens the result, which would drop a
  // temporary index made before it.
  ShowProjection();
  ApplyResultSettings();
  opened_ = true;
}

int TDeziAOJoin::CompareKeys() {
  for (size_t i = 0; i < leftKeys_.size(); ++i) {
    const TETblValue a = GetValue(leftKeys_[i]);
    const TETblValue b = GetValue(rightKeys_[i]);
    int result;
    try {
      result = CompareValues(a, b, false, false);
    } catch (const ETblException& error) {
      const std::string& n1 = columns_[static_cast<size_t>(leftKeys_[i])].Name;
      const std::string& n2 = columns_[static_cast<size_t>(rightKeys_[i])].Name;
      if (error.NativeError() == 25) throw ETblException(26, {n1, n2});
      if (error.NativeError() == 28) throw ETblException(29, {n1, n2});
      throw;
    }
    if (result != 0) return result;
  }
  return 0;
}

void TDeziAOJoin::AddRowCondition(std::unique_ptr<TETblExprNode> condition) {
  rowConditions_.emplace_back(std::move(condition), *this);
}

void TDeziAOJoin::ForEachRow(const std::function<void()>& emitAny) {
  const std::function<void()> emit = rowConditions_.empty() ? emitAny : [&] {
    for (TRowCondition& condition : rowConditions_)
      if (!condition.Passes()) return;
    emitAny();
  };
  leftAbsent_ = rightAbsent_ = false;
  if (joinType_ == jtCross) {
    for (left_->First(); !left_->Eof(); left_->Next())
      for (right_->First(); !right_->Eof(); right_->Next()) emit();
    return;
  }
  Merge(emit);
}

// Both inputs are in key order. A run of equal keys on the right is read
// again, from the record number where it starts, for each left row of the
// same key; a null key never matches.
void TDeziAOJoin::Merge(const std::function<void()>& emit) {
  const bool keepLeft = joinType_ == jtLeft || joinType_ == jtFull;
  const bool keepRight = joinType_ == jtRight || joinType_ == jtFull;
  const auto leftOnly = [&] {
    rightAbsent_ = true;
    emit();
    rightAbsent_ = false;
  };
  const auto rightOnly = [&] {
    leftAbsent_ = true;
    emit();
    leftAbsent_ = false;
  };
  TDeziTable& right = *right_->Result();
  // The right input's record number, counted as it moves: asking the
  // cursor for it costs a search of its index.
  int32_t rightAt = 1;
  const auto nextRight = [&] {
    right.Next();
    if (!right.Eof()) ++rightAt;
  };
  const auto backTo = [&](int32_t recNo) {
    right.SetRecNo(recNo);
    rightAt = recNo;
  };
  left_->First();
  right.First();
  bool rightDone = right.Eof();
  while (!left_->Eof() && !rightDone) {
    const int order = CompareKeys();
    if (order == 2 || order == 3) {
      if (keepLeft) leftOnly();
      left_->Next();
    } else if (order != 0) {
      if (keepRight) rightOnly();
      nextRight();
      rightDone = right.Eof();
    } else {
      const int32_t runStart = rightAt;
      int32_t afterRun = 0;
      bool runEndsRight = false;
      for (;;) {
        while (!runEndsRight && CompareKeys() == 0) {
          emit();
          nextRight();
          runEndsRight = right.Eof();
        }
        afterRun = runEndsRight ? 0 : rightAt;
        left_->Next();
        if (left_->Eof()) break;
        backTo(runStart);
        runEndsRight = false;
        if (CompareKeys() != 0) break;
      }
      if (runEndsRight) {
        rightDone = true;
      } else if (afterRun > 0) {
        backTo(afterRun);
      } else {
        // The run ended the right input: nothing of it is left to pair.
        rightDone = true;
      }
    }
  }
  if (keepLeft)
    for (; !left_->Eof(); left_->Next()) leftOnly();
  if (keepRight && !rightDone)
    for (; !right.Eof(); right.Next()) rightOnly();
}

std::vector<TDeziDataset*> TDeziAOJoin::StoredSources(const std::vector<int32_t>& used,
                                                     const TDeziDataManager& result) {
  std::vector<TDeziDataset*> sources;
  for (size_t k = 0; k < used.size(); ++k) {
    const TField* from = SourceField(used[k]);
    auto* dataset = from != nullptr ? dynamic_cast<TDeziDataset*>(&from->DataSet()) : nullptr;
    if (dataset == nullptr) return {};
    const TFieldHeader* stored = dataset->StoredField(*from);
    const TFieldHeader& made = result.Fields()[k];
    // The row identifier is a four-byte integer; an auto-increment field
    // becomes an integer field of the same bytes.
    const int type = stored == nullptr || stored->Type == ftAutoInc ? int{ftInteger} : stored->Type;
    const int32_t size = stored == nullptr ? 4 : stored->Size;
    if (IsLargeValueType(made.Type) || type != made.Type || size != made.Size) return {};
    sources.push_back(dataset);
  }
  return sources;
}

void TDeziAOJoin::Materialize() {
  auto result = std::make_unique<TDeziTable>();
  std::vector<int32_t> used;
  for (int32_t i = 0; i < static_cast<int32_t>(columns_.size()); ++i) {
    const TETblFieldLink& column = columns_[static_cast<size_t>(i)];
    if (column.Hidden) continue;
    used.push_back(i);
    result->FieldDefs().push_back(
        {column.Name, column.Type == ftAutoInc ? ftInteger : column.Type, column.Size, false});
  }
  result->CreateTemporaryTable(1000);
  result->Open();
  // The write log goes to the table every few thousand rows, not after
  // each: a flush has a cost of its own, and a log of every row would hold
  // the whole result a second time.
  constexpr int64_t kRowsPerFlush = 4096;
  TDeziDataManager& rows = *result->Table();
  const std::vector<TDeziDataset*> sources = StoredSources(used, rows);
  rows.WhileAutoFlushSuspended([&] {
    int64_t written = 0;
    const auto flushNow = [&] {
      if (++written % kRowsPerFlush == 0) rows.FlushBuffers();
    };
    if (!sources.empty()) {
      // Every value is copied as its table stores it, into a record added
      // straight to the result table.
      const std::vector<uint8_t> nullRecord = rows.NullRecord();
      std::vector<uint8_t> record;
      ForEachRow([&] {
        record = nullRecord;
        for (size_t k = 0; k < used.size(); ++k)
          if (const TField* from = SourceField(used[k]))
            if (const uint8_t* value = sources[k]->StoredValue(*from))
              rows.PutStoredValue(static_cast<int32_t>(k), value, record.data());
        rows.aaAddRecord(record.data());
        flushNow();
      });
    } else {
      ForEachRow([&] {
        result->Append();
        for (size_t k = 0; k < used.size(); ++k)
          if (TField* from = SourceField(used[k]); from != nullptr && !from->IsNull())
            CopyFieldValue(*from, result->Fields()[static_cast<int32_t>(k)]);
        result->Post();
        flushNow();
      });
    }
  });
  result->First();
  result_ = std::move(result);
  for (size_t k = 0; k < used.size(); ++k) {
    TETblFieldLink& column = columns_[static_cast<size_t>(used[k])];
    column.SourceOperator = nullptr;
    column.SourceColumn = -1;
    column.SourceDataset = result_.get();
    column.FieldNo = static_cast<int32_t>(k);
  }
}

}  // namespace norvane
