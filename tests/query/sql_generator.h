// Random tables and SELECTs over them for the differential test against
// SQLite: each query is written once in the engine's dialect and once in
// SQLite's with the same meaning, and knows which of its columns ORDER BY sorts.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace norvane::testing {

using TGenValue = std::optional<std::string>;  // the value as text; none for NULL

struct TGenColumn {
  std::string Name;
  bool Text = false;  // STRING(4) when set, INTEGER otherwise
};

struct TGenTable {
  std::string Name;
  std::vector<TGenColumn> Columns;
  std::vector<std::vector<TGenValue>> Rows;
};

struct TGenQuery {
  std::string Norvane, Sqlite;
  std::vector<int> OrderColumns;  // select-list positions of the ORDER BY keys, in order
  std::string Shape;              // the FROM clause's kind, for coverage counts
  // SELECT DISTINCT: SQLite's text leaves it out and its repeated rows are
  // removed by the test, since SQLite 3.40 keeps rows that a nested RIGHT or
  // FULL join's ON rejects when it runs DISTINCT itself.
  bool Distinct = false;
};

inline std::string Literal(const TGenValue& value, bool text) {
  if (!value) return "NULL";
  return text ? "'" + *value + "'" : *value;
}

class TSqlGenerator {
 public:
  explicit TSqlGenerator(uint64_t seed) : rng_(seed) {}

  // Four tables whose columns of one name share one type and one pool of
  // values, so joins on them find runs of equal keys; some values are NULL.
  std::vector<TGenTable> Tables() {
    const std::vector<TGenTable> schemas = {
        {"ta", {{"k"}, {"v"}, {"s", true}, {"w", true}}, {}},
        {"tb", {{"k"}, {"g"}, {"s", true}}, {}},
        {"tc", {{"g"}, {"k"}, {"w", true}}, {}},
        {"td", {{"s", true}, {"g"}, {"v"}}, {}},
    };
    pools_.clear();
    caseTwins_ = Chance(50);
    for (const char* name : {"k", "g", "v"}) pools_.push_back({name, false, IntegerPool(name)});
    for (const char* name : {"s", "w"}) pools_.push_back({name, true, TextPool()});
    std::vector<TGenTable> tables = schemas;
    for (TGenTable& table : tables) {
      const int rows = 20 + static_cast<int>(Below(41));
      const int nullPercent = static_cast<int>(Below(25));
      for (int r = 0; r < rows; ++r) {
        std::vector<TGenValue> row;
        for (const TGenColumn& column : table.Columns)
          row.push_back(Chance(nullPercent) ? TGenValue() : TGenValue(PickFrom(Pool(column.Name))));
        table.Rows.push_back(std::move(row));
      }
    }
    return tables;
  }

  TGenQuery Query(const std::vector<TGenTable>& tables) {
    tables_ = &tables;
    sources_.clear();
    picks_.clear();
    for (int i = 0; i < 4; ++i) picks_.push_back(&PickFrom(tables));
    TGenQuery query;
    std::string where;  // conjuncts pairing the comma references
    const std::vector<TPart> from = From(query.Shape, where);
    const std::vector<TRef> all = Columns(Sources(from));
    // A second key pair of a join, in WHERE: over an outer join it must
    // drop the padded rows.
    if (from.size() == 1 && from[0].Sources.size() == 2 && Chance(15)) {
      where += (where.empty() ? "" : " AND ") + KeyPairs(Columns({from[0].Sources[0]}), Columns({from[0].Sources[1]}));
      query.Shape += " and a WHERE pair";
    }
    if (Chance(75)) {
      // Two fields are compared only where a join makes the rows.
      pairsAllowed_ = Sources(from).size() > 1;
      const std::string condition = Condition(all, 1 + static_cast<int>(Below(3)));
      pairsAllowed_ = false;
      where += where.empty() ? condition : " AND (" + condition + ")";
    }

    std::string head, order;
    SelectList(all, query, head, order);
    std::string norvaneFrom, sqliteFrom;
    for (size_t i = 0; i < from.size(); ++i) {
      norvaneFrom += (i ? ", " : "") + from[i].Norvane;
      // SQLite would join a join after a comma to all the references before
      // it; the engine joins it to its own left input only.
      sqliteFrom += i == 0 ? from[i].Sqlite : from[i].Base ? ", " + from[i].Sqlite : ", (" + from[i].Sqlite + ")";
    }
    const std::string tail = (where.empty() ? "" : " WHERE " + where) + order;
    query.Norvane = (query.Distinct ? "SELECT DISTINCT " : "SELECT ") + head + " FROM " + norvaneFrom + tail;
    query.Sqlite = "SELECT " + head + " FROM " + sqliteFrom + tail;
    return query;
  }

 private:
  struct TPool {
    std::string Column;
    bool Text = false;
    std::vector<std::string> Values;
  };
  struct TSource {
    const TGenTable* Table = nullptr;
    std::string Qualifier;  // its alias, or the table's name when it has none
  };
  struct TRef {
    int Source = 0;
    const TGenColumn* Column = nullptr;
  };
  // A table reference as each dialect writes it, and the sources it reads.
  struct TPart {
    std::string Norvane, Sqlite;
    std::vector<int> Sources;
    bool Base = true;
  };

  uint64_t Below(uint64_t n) { return rng_() % n; }
  bool Chance(int percent) { return static_cast<int>(Below(100)) < percent; }
  template <typename T>
  const T& PickFrom(const std::vector<T>& items) {
    return items[Below(items.size())];
  }

  std::vector<std::string> IntegerPool(const std::string& name) {
    // Join keys take few values, so that equal keys come in runs.
    const int64_t low = name == "v" ? -5 : -1;
    const int64_t size = name == "v" ? 45 : 2 + static_cast<int64_t>(Below(10));
    std::vector<std::string> values;
    for (int64_t i = 0; i < size; ++i) values.push_back(std::to_string(low + i));
    return values;
  }
  // Words of a, b, c, A and B; without two that differ only in case unless
  // caseTwins_.
  std::vector<std::string> TextPool() {
    static const std::string kLetters = "abcAB";
    std::vector<std::string> values, folded;
    for (uint64_t size = 3 + Below(6); values.size() < size;) {
      std::string value, fold;
      for (uint64_t n = 1 + Below(3); n > 0; --n) value += kLetters[Below(kLetters.size())];
      for (char c : value) fold += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (!caseTwins_ && std::find(folded.begin(), folded.end(), fold) != folded.end()) continue;
      values.push_back(value);
      folded.push_back(fold);
    }
    return values;
  }
  const std::vector<std::string>& Pool(const std::string& column) const {
    for (const TPool& pool : pools_)
      if (pool.Column == column) return pool.Values;
    return pools_.front().Values;
  }

  // The select items of `query` (without SELECT and DISTINCT) and its
  // ORDER BY clause; sets Distinct and OrderColumns.
  void SelectList(const std::vector<TRef>& all, TGenQuery& query, std::string& head, std::string& order) {
    std::vector<TRef> picked;
    std::vector<std::string> items, names;  // names: what ORDER BY writes for each item
    for (int i = 0, count = 1 + static_cast<int>(Below(4)); i < count; ++i) {
      picked.push_back(PickFrom(all));
      items.push_back(Written(picked.back(), all));
      names.push_back(items.back());
      if (Chance(10)) {
        names.back() = "c" + std::to_string(i + 1);
        items.back() += " AS " + names.back();
      }
    }
    const bool distinct = Chance(25);
    if (Chance(45)) {
      std::vector<int> positions;
      for (int i = 0; i < static_cast<int>(items.size()); ++i) positions.push_back(i);
      std::shuffle(positions.begin(), positions.end(), rng_);
      positions.resize(1 + Below(std::min<uint64_t>(3, positions.size())));
      for (int p : positions) {
        order += (order.empty() ? " ORDER BY " : ", ") + names[static_cast<size_t>(p)];
        order += PickFrom(std::vector<std::string>{"", " ASC", " DESC"});
        query.OrderColumns.push_back(p);
      }
    }
    // A sort by a column the query does not show: the rows are compared
    // without their order.
    if (order.empty() && !distinct && Chance(8)) {
      const TRef& ref = PickFrom(all);
      order = " ORDER BY " + Qualified(ref.Source, ref.Column->Name) + (Chance(50) ? " DESC" : "");
    }
    query.Distinct = distinct;
    for (size_t i = 0; i < items.size(); ++i) head += (i ? ", " : "") + items[i];
  }

  // The FROM references of one of the shapes, named in `shape`; the key
  // pairs of comma references go to `where`.
  std::vector<TPart> From(std::string& shape, std::string& where) {
    const uint64_t kind = Below(22);
    if (kind < 5) {
      shape = "one table";
      return {Base()};
    }
    if (kind < 10) return {Join(Base(), Base(), shape)};
    if (kind < 12) {
      TPart left = Join(Base(), Base(), shape);
      TPart join = Join(std::move(left), Base(), shape);
      shape = "join of a join";
      return {join};
    }
    if (kind == 12) {
      TPart left = Base();
      TPart join = Join(std::move(left), Join(Base(), Base(), shape), shape);
      shape = "join with a join on its right";
      return {join};
    }
    if (kind == 13) {
      TPart left = Join(Base(), Base(), shape);
      TPart join = Join(std::move(left), Join(Base(), Base(), shape), shape);
      shape = "join of two joins";
      return {join};
    }
    // Comma references, each paired with those before it in WHERE (but
    // for a cross product now and then).
    std::vector<TPart> from;
    const int count = kind < 17 || kind >= 19 ? 2 : 3;
    shape = count == 2 ? "comma pair" : "comma triple";
    for (int i = 0; i < count; ++i) {
      TPart next = (kind == 19 && i == 0) || (kind == 20 && i == 1) ? Join(Base(), Base(), shape) : Base();
      if (i > 0 && kind == 14 && Chance(30)) {
        shape = "comma cross";
      } else if (i > 0) {
        where += (where.empty() ? "" : " AND ") + KeyPairs(Columns(Sources(from)), Columns(next.Sources));
      }
      from.push_back(std::move(next));
    }
    if (kind == 19) shape = "join and a comma table";
    if (kind == 20) shape = "comma table and a join";
    return from;
  }

  TPart Base() {
    TSource source;
    source.Table = picks_[sources_.size()];
    // Only a table's first use may go without an alias.
    const bool first = std::none_of(sources_.begin(), sources_.end(),
                                    [&](const TSource& used) { return used.Table == source.Table; });
    source.Qualifier = !first || Chance(60) ? "x" + std::to_string(sources_.size() + 1) : source.Table->Name;
    const std::string text =
        source.Table->Name + (source.Qualifier == source.Table->Name ? "" : " " + source.Qualifier);
    sources_.push_back(source);
    return {text, text, {static_cast<int>(sources_.size()) - 1}, true};
  }

  TPart Join(TPart left, TPart right, std::string& shape) {
    static const std::vector<std::vector<std::string>> kKinds = {{"JOIN", "INNER JOIN"},
                                                                 {"LEFT JOIN", "LEFT OUTER JOIN"},
                                                                 {"RIGHT JOIN", "RIGHT OUTER JOIN"},
                                                                 {"FULL JOIN", "FULL OUTER JOIN"}};
    const size_t kind = Below(kKinds.size());
    shape = kKinds[kind][0];
    const std::vector<TRef> lefts = Columns(left.Sources), rights = Columns(right.Sources);
    // An outer join's ON may test its inner side besides the key pairs;
    // an inner join's ON tests either side.
    std::vector<TRef> testable;
    if (kind == 0) testable = Columns(Sources({left, right}));
    if (kind == 1) testable = rights;
    if (kind == 2) testable = lefts;
    const std::string keyword = " " + PickFrom(kKinds[kind]) + " ";
    TPart join;
    join.Base = false;
    join.Sources = Sources({left, right});
    const std::string l = left.Base ? left.Norvane : "(" + left.Norvane + ")";
    const std::string r = right.Base ? right.Norvane : "(" + right.Norvane + ")";
    const std::string ls = left.Base ? left.Sqlite : "(" + left.Sqlite + ")";
    const std::string rs = right.Base ? right.Sqlite : "(" + right.Sqlite + ")";
    const std::string shared = left.Base && right.Base ? SharedName(left.Sources[0], right.Sources[0]) : "";
    if (!shared.empty() && Chance(30)) {
      // SQLite merges USING columns into one; the engine keeps both, as ON does.
      shape += " USING";
      const std::string on = Qualified(left.Sources[0], shared) + " = " + Qualified(right.Sources[0], shared);
      join.Norvane = l + keyword + r + " USING (" + shared + ")";
      join.Sqlite = ls + keyword + rs + " ON " + on;
      return join;
    }
    std::string on = KeyPairs(lefts, rights);
    if (!testable.empty() && Chance(35)) {
      const std::string extra = Group(Condition(testable, 1), true);
      on = Chance(50) ? on + " AND " + extra : extra + " AND " + on;
    }
    join.Norvane = l + keyword + r + " ON " + on;
    join.Sqlite = ls + keyword + rs + " ON " + on;
    return join;
  }

  std::vector<int> Sources(const std::vector<TPart>& parts) const {
    std::vector<int> sources;
    for (const TPart& part : parts) sources.insert(sources.end(), part.Sources.begin(), part.Sources.end());
    return sources;
  }
  std::vector<TRef> Columns(const std::vector<int>& sources) const {
    std::vector<TRef> refs;
    for (int s : sources)
      for (const TGenColumn& column : sources_[static_cast<size_t>(s)].Table->Columns) refs.push_back({s, &column});
    return refs;
  }
  std::string SharedName(int a, int b) {
    std::vector<std::string> names;
    for (const TGenColumn& x : sources_[static_cast<size_t>(a)].Table->Columns)
      for (const TGenColumn& y : sources_[static_cast<size_t>(b)].Table->Columns)
        if (x.Name == y.Name) names.push_back(x.Name);
    return names.empty() ? "" : names[rng_() % names.size()];
  }
  std::string Qualified(int source, const std::string& column) const {
    return sources_[static_cast<size_t>(source)].Qualifier + "." + column;
  }
  // A column as a select item: unqualified now and then when no other
  // source has a column of its name.
  std::string Written(const TRef& ref, const std::vector<TRef>& all) {
    int named = 0;
    for (const TRef& other : all) named += other.Column->Name == ref.Column->Name;
    if (named == 1 && Chance(40)) return ref.Column->Name;
    return Qualified(ref.Source, ref.Column->Name);
  }

  // One or two equalities of same-typed columns, one from each side.
  std::string KeyPairs(const std::vector<TRef>& lefts, const std::vector<TRef>& rights) {
    std::string pairs;
    for (int n = Chance(20) ? 2 : 1; n > 0; --n) {
      const TRef& a = PickFrom(lefts);
      std::vector<TRef> matching, same;
      for (const TRef& b : rights) {
        if (b.Column->Text != a.Column->Text) continue;
        matching.push_back(b);
        if (b.Column->Name == a.Column->Name) same.push_back(b);
      }
      const TRef& b = !same.empty() && Chance(70) ? PickFrom(same) : PickFrom(matching);
      std::string x = Qualified(a.Source, a.Column->Name), y = Qualified(b.Source, b.Column->Name);
      if (Chance(30)) std::swap(x, y);
      pairs += (pairs.empty() ? "" : " AND ") + x + " = " + y;
    }
    return pairs;
  }

  std::string Group(const std::string& condition, bool parenthesise) {
    return parenthesise ? "(" + condition + ")" : condition;
  }
  std::string Condition(const std::vector<TRef>& refs, int depth) {
    const uint64_t kind = depth == 0 ? 0 : Below(10);
    if (pairsAllowed_ && Chance(15)) return FieldPair(refs);
    if (kind < 6) return Atom(PickFrom(refs), true);
    if (kind == 6)
      return Chance(50) ? "NOT (" + Condition(refs, depth - 1) + ")"
                        : "NOT " + Group(Atom(PickFrom(refs), true), Chance(50));
    // Parentheses are left out now and then: both dialects bind AND before OR.
    const std::string op = kind < 8 ? " AND " : " OR ";
    return Group(Condition(refs, depth - 1), Chance(60)) + op + Group(Condition(refs, depth - 1), Chance(60));
  }
  // Two columns of the same kind compared.
  std::string FieldPair(const std::vector<TRef>& refs) {
    static const std::vector<std::string> kOps = {"=", "<>", "<", ">", "<=", ">="};
    const TRef& a = PickFrom(refs);
    std::vector<TRef> alike;
    for (const TRef& b : refs)
      if (b.Column->Text == a.Column->Text) alike.push_back(b);
    const TRef& b = PickFrom(alike);
    return Qualified(a.Source, a.Column->Name) + " " + PickFrom(kOps) + " " + Qualified(b.Source, b.Column->Name);
  }
  // A test of one column against a constant, or of its nullness.
  std::string Atom(const TRef& ref, bool like) {
    const std::string field = Qualified(ref.Source, ref.Column->Name);
    const uint64_t kind = Below(20);
    if (kind < 3) return field + (kind == 0 ? " IS NULL" : " IS NOT NULL");
    if (ref.Column->Text && like && kind < 8) {
      const std::string& word = PickFrom(Pool(ref.Column->Name));
      const std::string c(1, word[0]);
      const std::string pattern =
          PickFrom(std::vector<std::string>{c + "%", "%" + c + "%", "%" + c, c + "_", "_" + c + "%", word, "%"});
      return field + (kind == 7 ? " NOT LIKE '" : " LIKE '") + pattern + "'";
    }
    static const std::vector<std::string> kOps = {"=", "<>", "<", ">", "<=", ">="};
    // Constants mostly from the column's pool, now and then from outside it,
    // a text among them longer than the column's four characters.
    const std::vector<std::string>& pool = Pool(ref.Column->Name);
    std::string constant = PickFrom(pool);
    if (Chance(15))
      constant = ref.Column->Text ? constant + (Chance(50) ? "a" : "aaaa") : std::to_string(std::stoi(constant) + 50);
    // Now and then the constant comes first.
    if (Chance(20)) return Literal(constant, ref.Column->Text) + " " + PickFrom(kOps) + " " + field;
    return field + " " + PickFrom(kOps) + " " + Literal(constant, ref.Column->Text);
  }

  std::mt19937_64 rng_;
  std::vector<TPool> pools_;
  bool caseTwins_ = false;  // this round's words may differ only in case
  bool pairsAllowed_ = false;  // the WHERE being made may compare two fields
  const std::vector<TGenTable>* tables_ = nullptr;
  std::vector<TSource> sources_;
  std::vector<const TGenTable*> picks_;  // the tables of the query's references, in order
};

}  // namespace norvane::testing
