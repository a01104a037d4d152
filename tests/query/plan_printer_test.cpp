// Plans as an explain shows them, over the catalogue of filter_catalogue.h:
// the join order and keys, the filters pushed down, and the index each
// sort uses.
#include <gtest/gtest.h>

#include "engine/query/plan_printer.h"
#include "engine/query/query_context.h"
#include "engine/query/script_text.h"
#include "engine/query/sql_select.h"
#include "tests/query/filter_catalogue.h"

namespace norvane {
namespace {

TEST(PlanPrinter, ShowsJoinsFiltersAndIndexes) {
  testing::TCatalogue catalogue;
  struct Case {
    const char* sql;
    const char* plan;
  };
  const Case cases[] = {
      {"SELECT ArticleName FROM Article WHERE Year = 2004 ORDER BY Year",
       "table Article\n"
       "  filter ([Year]=2004) AND ([Year] IS NOT NULL)\n"
       "  order by Year, index @Year\n"},
      {"SELECT ArticleName FROM Article ORDER BY Year DESC", "table Article\n  order by Year (desc Year), a temporary index\n"},
      {"SELECT A.ArticleName, R.Razdel FROM Article A, Razdel R WHERE A.IDRazdel = R.IDRazdel AND R.Razdel = 'Sport'",
       "inner join on IDRazdel = IDRazdel_1, merged in memory\n"
       "  table Article AS A\n"
       "    order by IDRazdel, index @IDRazdel\n"
       "  table Razdel AS R\n"
       "    filter ([Razdel]='Sport') AND ([Razdel] IS NOT NULL)\n"
       "    order by IDRazdel, index @IDRazdel\n"},
      {"SELECT A.ArticleName, J.Journal FROM Article A LEFT JOIN Journal J ON A.IDJournal = J.IDJournal "
       "ORDER BY A.ID",
       "left join on IDJournal = IDJournal_1, merged in memory\n"
       "  order by ID, a temporary index\n"
       "  table Article AS A\n"
       "    order by IDJournal, index @IDJournal\n"
       "  table Journal AS J\n"
       "    order by IDJournal, index @IDJournal\n"},
      {"SELECT A.ID FROM Article A, Journal J WHERE A.IDJournal = J.IDJournal AND A.NN > J.IDJournal",
       "inner join on IDJournal = IDJournal_1, merged in memory\n"
       "  each row (> A.NN J.IDJournal)\n"
       "  table Article AS A\n"
       "    order by IDJournal, index @IDJournal\n"
       "  table Journal AS J\n"
       "    order by IDJournal, index @IDJournal\n"},
  };
  for (const Case& c : cases) {
    TSQLQueryContext context(catalogue.Folder(), "");
    TSQLScript script = ParseScript(c.sql, nullptr);
    auto& select = dynamic_cast<TDeziSQLSelect&>(*script.Commands.at(0));
    std::unique_ptr<TDeziAO> root = select.BuildPlan(context);
    TTreeWriter out;
    PrintPlan(*root, out);
    EXPECT_EQ(out.Text(), c.plan) << c.sql;
  }
}

}  // namespace
}  // namespace norvane
