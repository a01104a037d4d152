// Running a script's statements in order.
#include "engine/query/script_processor.h"

#include "engine/query/sql_select.h"

namespace norvane {

TSQLScriptProcessor::TSQLScriptProcessor(const std::string& text, const TQueryParams* params)
    : script_(ParseScript(text, params)) {}

TSQLScriptProcessor::~TSQLScriptProcessor() = default;

void TSQLScriptProcessor::ExecuteAll(TSQLQueryContext& context,
                                     const std::function<void(const TDeziSQLCommand&, int64_t rows)>& onStatement) {
  result_ = nullptr;
  for (const auto& command : script_.Commands) {
    const int64_t rows = command->Execute(context);
    if (onStatement) onStatement(*command, rows);
    // Only the last statement's rows are shown; an earlier SELECT's cursors
    // would keep its tables busy for the statements after it.
    if (command != script_.Commands.back())
      if (auto* select = dynamic_cast<TDeziSQLSelect*>(command.get())) select->Close();
  }
  if (auto* select = dynamic_cast<TDeziSQLSelect*>(script_.Commands.back().get())) result_ = select->Result();
}

TDeziTable* TSQLScriptProcessor::ResultDataset() const { return result_; }

}  // namespace norvane
