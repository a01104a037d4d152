// An operator tree as text, one line per operator with its inputs indented
// under it: what a statement would do, shown before it runs (an explain):
// the tables read and in which order, the join of each pair with its keys,
// the filter each operator takes, and the index that gives each sort (or
// that a temporary one is made).
#pragma once

#include "engine/query/ao_operator.h"
#include "engine/query/statement_printer.h"

namespace norvane {

void PrintPlan(TDeziAO& root, TTreeWriter& out);

}  // namespace norvane
