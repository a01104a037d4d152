// The sql shell's lines at a terminal, read through the line-editing
// library (libedit, in its readline-compatible form): editing keys, and a
// history of the lines typed, kept in memory and, when the user has a home
// folder, in ~/.norvane_db_history between sessions.
#pragma once

#include <string>

#include "tools/norvane-db/sql_shell.h"

namespace norvane::tool {

class TTerminalLines : public TLineReader {
 public:
  // Reads the history file, if any. Prompts go to standard output, or to
  // standard error when standard output is not a terminal, so output sent
  // to a file holds only what the statements print.
  TTerminalLines();
  // Writes the history file, readable by its owner alone.
  ~TTerminalLines() override;
  TTerminalLines(const TTerminalLines&) = delete;
  TTerminalLines& operator=(const TTerminalLines&) = delete;

  bool ReadLine(const std::string& prompt, std::string& line) override;
  void Remember(const std::string& line) override;

 private:
  std::string historyFile_;  // empty: the history lives only in memory
};

}  // namespace norvane::tool
