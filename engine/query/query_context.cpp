// What the statements of one script run against: the default database and
// the tables the script holds open between its statements, so that many
// INSERTs into one table open and close it once.
#include "engine/query/query_context.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <utility>

namespace norvane {
namespace {

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

// The key a table is held by: the database Aim would give it and its bare
// name, both in upper case, so "article" and "Article.dat" are one table.
std::string HeldKey(const TSQLQueryContext& context, const std::string& database, const std::string& name) {
  const std::string& where = !database.empty()                   ? database
                             : !context.DatabaseName().empty() ? context.DatabaseName()
                                                               : context.DatabaseFileName();
  return Upper(where) + "|" + Upper(TDeziTable::BareTableName(name));
}

}  // namespace

TSQLQueryContext::TSQLQueryContext(std::string databaseName, std::string databaseFileName)
    : databaseName_(std::move(databaseName)), databaseFileName_(std::move(databaseFileName)) {}

TSQLQueryContext::~TSQLQueryContext() {
  for (auto& [key, table] : held_) {
    try {
      table->Close();
    } catch (const std::exception&) {
      // A destructor has nobody to tell; a caller that must know a close
      // failed releases the table itself first.
    }
  }
}

void TSQLQueryContext::Aim(TDeziTable& table, const std::string& database, const std::string& name) const {
  // The dataset takes a file name before a database name, so whichever is
  // not meant is cleared.
  if (!database.empty() || !databaseName_.empty()) {
    table.SetDatabaseName(database.empty() ? databaseName_ : database);
    table.SetDatabaseFileName("");
  } else {
    table.SetDatabaseName("");
    table.SetDatabaseFileName(databaseFileName_);
  }
  table.SetTableName(name);
}

TDeziTable& TSQLQueryContext::HeldTable(const std::string& database, const std::string& name,
                                        const std::string& password) {
  const std::string key = HeldKey(*this, database, name);
  const auto found = held_.find(key);
  if (found != held_.end()) {
    TDeziTable& table = *found->second;
    // Another password must prove itself, so the table is opened again
    // with it rather than lent under the first one.
    if (table.Active() && table.Password() == password) return table;
    Release(database, name);
  }
  auto table = std::make_unique<TDeziTable>();
  Aim(*table, database, name);
  table->SetPassword(password);
  table->Open();
  return *held_.emplace(key, std::move(table)).first->second;
}

void TSQLQueryContext::Release(const std::string& database, const std::string& name) {
  const auto found = held_.find(HeldKey(*this, database, name));
  if (found == held_.end()) return;
  // Out of the map first: a close that throws still leaves no entry behind.
  std::unique_ptr<TDeziTable> table = std::move(found->second);
  held_.erase(found);
  table->Close();
}

}  // namespace norvane
