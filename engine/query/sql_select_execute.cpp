// Running a SELECT: planning its operator tree and opening it.
#include <algorithm>

#include "engine/common/engine_error.h"
#include "engine/platform/file_system.h"
#include "engine/query/ao_join.h"
#include "engine/query/condition_rewrite.h"
#include "engine/query/query_context.h"
#include "engine/query/sql_select.h"
#include "engine/query/statement_printer.h"
#include "engine/tables/data_link.h"
#include "engine/tables/data_source.h"
#include "engine/tables/tbl_exception.h"

namespace norvane {
namespace {

// The column of `input` a USING or NATURAL key names: exactly one.
int32_t KeyColumn(TDeziAO& input, const std::string& name, int32_t code, int32_t i) {
  const std::vector<int32_t> found = input.FindColumns(name, "", false);
  if (found.size() != 1)
    throw ETblException(code, {input.TableName(), name, int64_t{i}, static_cast<int64_t>(found.size())});
  return found[0];
}

}  // namespace

TDeziSQLSelect::TDeziSQLSelect(TDeziLexer& lexer) : TDeziSQLCommand(lexer) {}
TDeziSQLSelect::~TDeziSQLSelect() = default;

TDeziTable* TDeziSQLSelect::Result() const { return root_ ? root_->Result() : nullptr; }

void TDeziSQLSelect::Close() { root_.reset(); }

int64_t TDeziSQLSelect::Execute(TSQLQueryContext& context) {
  root_ = BuildPlan(context);
  root_->Open();
  if (!IntoTable.empty()) CopyInto(context);
  return -1;
}

// INTO: a new table of the rows and fields shown, in the database named or
// the query's. A table of that name is not replaced.
void TDeziSQLSelect::CopyInto(TSQLQueryContext& context) {
  TDeziTable target;
  context.Aim(target, IntoDatabase, IntoTable);
  if (target.Exists()) throw EEngineError("Table \"" + IntoTable + "\" already exists");
  TDataSource source;
  source.SetDataSet(Result());
  TDataLink reader;
  reader.SetDataSource(&source);
  std::string log;
  const bool whole = target.ImportTable(&reader, nullptr, log);
  target.Close();
  if (!whole) throw EEngineError("SELECT INTO \"" + IntoTable + "\" - " + log);
}

std::unique_ptr<TDeziAO> TDeziSQLSelect::BuildReference(TETblTableReference& ref, TSQLQueryContext& context,
                                                        bool underOuter) {
  if (ref.Kind == TETblTableReference::rkTable) {
    auto table = std::make_unique<TDeziAOTable>(context, ref.Database, ref.TableName, ref.Alias, ref.Password);
    // An aliased table answers to its own name too, unless the FROM clause
    // gives that name to another use: "FROM ta, ta x" tells ta from x.
    if (!ref.Alias.empty() &&
        std::any_of(exposedNames_.begin(), exposedNames_.end(),
                    [&](const std::string& name) { return SameNameIgnoringCase(name, ref.TableName); }))
      table->HideTableName();
    return table;
  }
  const bool outer = underOuter || ref.JoinType == jtLeft || ref.JoinType == jtRight || ref.JoinType == jtFull;
  std::unique_ptr<TDeziAO> left = BuildReference(*ref.Left, context, outer);
  std::unique_ptr<TDeziAO> right = BuildReference(*ref.Right, context, outer);
  TDeziAO& l = *left;
  TDeziAO& r = *right;
  const int32_t leftCount = static_cast<int32_t>(l.Columns().size());
  std::vector<int32_t> lefts, rights;
  TETblFields leftKeys, rightKeys;
  if (ref.JoinType != jtCross) {
    if (ref.Natural) {
      for (int32_t i = 0; i < leftCount; ++i)
        for (int32_t j = 0; j < static_cast<int32_t>(r.Columns().size()); ++j)
          if (SameNameIgnoringCase(l.Columns()[static_cast<size_t>(i)].Name, r.Columns()[static_cast<size_t>(j)].Name)) {
            lefts.push_back(i);
            rights.push_back(leftCount + j);
          }
    } else if (!ref.Using.empty()) {
      for (size_t i = 0; i < ref.Using.size(); ++i) {
        lefts.push_back(KeyColumn(l, ref.Using[i], 20, static_cast<int32_t>(i)));
        rights.push_back(leftCount + KeyColumn(r, ref.Using[i], 21, static_cast<int32_t>(i)));
      }
    } else {
      ExtractJoinPairs(ref.On, l, r, leftKeys, rightKeys);
      // A WHERE equality filters an outer join's padded rows out; as a key
      // it would keep them.
      if (ref.JoinType == jtInner && !underOuter) ExtractJoinPairs(Where, l, r, leftKeys, rightKeys);
    }
  }
  // An outer join keeps every row of its outer side: an ON conjunct on the
  // inner side alone narrows that input, before the join pads its rows.
  if (ref.JoinType == jtLeft) PushDown(ref.On, r);
  if (ref.JoinType == jtRight) PushDown(ref.On, l);
  auto join = std::make_unique<TDeziAOJoin>(std::move(left), std::move(right), ref.JoinType);
  if (ref.JoinType != jtCross) {
    if (!leftKeys.empty() || lefts.empty())
      join->SetKeys(leftKeys, rightKeys);
    else
      join->SetKeyColumns(lefts, rights);
  }
  if (ref.On && join->IsOuterJoin()) {
    // Filtering the joined rows would drop the padded ones that a test of
    // the outer side must keep; such a condition is refused, not changed.
    throw EEngineError("An ON condition of an outer join may test only the inner table: " +
                       PrintCondition(ref.On.get()));
  }
  PushDown(ref.On, *join);
  if (ref.On) PushDownAll(ref.On, *join);
  return join;
}

std::unique_ptr<TDeziAO> TDeziSQLSelect::BuildPlan(TSQLQueryContext& context) {
  exposedNames_.clear();
  std::vector<const TETblTableReference*> pending;
  for (const std::unique_ptr<TETblTableReference>& ref : From) pending.push_back(ref.get());
  while (!pending.empty()) {
    const TETblTableReference* ref = pending.back();
    pending.pop_back();
    if (ref->Kind == TETblTableReference::rkTable) {
      exposedNames_.push_back(ref->Alias.empty() ? ref->TableName : ref->Alias);
    } else {
      pending.push_back(ref->Left.get());
      pending.push_back(ref->Right.get());
    }
  }
  std::unique_ptr<TDeziAO> root;
  for (const std::unique_ptr<TETblTableReference>& ref : From) {
    std::unique_ptr<TDeziAO> next = BuildReference(*ref, context, false);
    if (!root) {
      root = std::move(next);
      continue;
    }
    TETblFields leftKeys, rightKeys;
    const int pairs = ExtractJoinPairs(Where, *root, *next, leftKeys, rightKeys);
    auto join = std::make_unique<TDeziAOJoin>(std::move(root), std::move(next), pairs > 0 ? jtInner : jtCross);
    if (pairs > 0) join->SetKeys(leftKeys, rightKeys);
    root = std::move(join);
  }
  if (Where) PushDownAll(Where, *root);
  root->SetProjection(SelectList, SelectAll, Distinct);
  std::string fields, descending;
  std::vector<int32_t> sorted;
  for (const TETblSortSpecification& sort : OrderBy) {
    const std::vector<int32_t> found = root->FindColumns(sort.FieldName, sort.Table, true);
    const std::string written = sort.Table.empty() ? sort.FieldName : sort.Table + "." + sort.FieldName;
    if (found.empty()) throw ETblException(1051, {written});
    if (found.size() > 1) throw ETblException(1057, {written});
    // A column sorted again orders nothing more; in the index's lists its
    // name would stand for both and its direction for the first.
    if (std::find(sorted.begin(), sorted.end(), found[0]) != sorted.end()) continue;
    sorted.push_back(found[0]);
    const std::string& name = root->Columns()[static_cast<size_t>(found[0])].Name;
    fields += (fields.empty() ? "" : ";") + name;
    if (sort.Descending) descending += (descending.empty() ? "" : ";") + name;
  }
  if (!fields.empty()) root->SetSort(fields, descending, "");
  return root;
}

}  // namespace norvane
