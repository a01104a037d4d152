// Printing operator trees.
#include "engine/query/plan_printer.h"

#include "engine/query/ao_join.h"
#include "engine/query/statement_printer.h"

namespace norvane {
namespace {

std::string Keys(const TDeziAOJoin& join) {
  std::string text;
  for (size_t i = 0; i < join.LeftKeys().size(); ++i)
    text += std::string(i ? ", " : "") + join.Columns()[static_cast<size_t>(join.LeftKeys()[i])].Name + " = " +
            join.Columns()[static_cast<size_t>(join.RightKeys()[i])].Name;
  return text;
}

}  // namespace

void PrintPlan(TDeziAO& root, TTreeWriter& out) {
  if (auto* join = dynamic_cast<TDeziAOJoin*>(&root)) {
    static const char* const kTypes[] = {"cross", "inner", "?", "left", "right", "full"};
    const std::string keys = Keys(*join);
    out.Line(std::string(kTypes[join->JoinType()]) + " join" + (keys.empty() ? "" : " on " + keys) +
             ", merged in memory");
  } else {
    out.Line("table " + root.TableName() + (root.Alias().empty() ? "" : " AS " + root.Alias()));
  }
  out.Enter();
  if (!root.Filter().empty()) out.Line("filter " + root.Filter());
  if (auto* join = dynamic_cast<TDeziAOJoin*>(&root))
    for (const TRowCondition& condition : join->RowConditions())
      out.Line("each row " + PrintCondition(&condition.Condition()));
  if (!root.SortFields().empty()) {
    const std::string index = root.SortIndex();
    out.Line("order by " + root.SortFields() + (root.DescFields().empty() ? "" : " (desc " + root.DescFields() + ")") +
             (index.empty() ? ", a temporary index" : ", index " + index));
  }
  if (root.Left()) PrintPlan(*root.Left(), out);
  if (root.Right()) PrintPlan(*root.Right(), out);
  out.Leave();
}

}  // namespace norvane
