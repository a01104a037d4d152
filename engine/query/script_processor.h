// A script of SQL statements run as one: every statement is parsed before
// any runs, so a mistake anywhere changes nothing, and the statements then
// run in order against one query context, which holds their tables open.
// The result of a script is the last statement's, when that is a SELECT.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/query/query_context.h"
#include "engine/query/script_text.h"

namespace norvane {

class TSQLScriptProcessor {
 public:
  // Parses `text` with `params` (may be null). Throws the first parse error
  // (ETblException) and then holds nothing.
  TSQLScriptProcessor(const std::string& text, const TQueryParams* params);
  ~TSQLScriptProcessor();

  const TSQLScript& Script() const { return script_; }
  // Runs every statement in order against `context`. A statement that
  // fails throws; the statements before it stay carried out.
  // `onStatement`, when given, hears each statement after it ran with the
  // rows it inserted, changed or deleted (-1 for the others).
  void ExecuteAll(TSQLQueryContext& context,
                  const std::function<void(const TDeziSQLCommand&, int64_t rows)>& onStatement = {});
  // The last statement's rows when it is a SELECT that ran; null otherwise
  // (a script that ends with INSERT, UPDATE, DELETE or DDL has none).
  TDeziTable* ResultDataset() const;

 private:
  TSQLScript script_;
  TDeziTable* result_ = nullptr;
};

}  // namespace norvane
