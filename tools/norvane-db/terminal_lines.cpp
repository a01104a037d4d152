// Reading the shell's lines with libedit's readline interface.
#include "tools/norvane-db/terminal_lines.h"

#include <editline/readline.h>
#include <fcntl.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>

namespace norvane::tool {

namespace {

// The history file keeps this many lines; older ones are dropped.
constexpr int kHistoryLines = 1000;

std::string HistoryFile() {
  const char* home = std::getenv("HOME");
  return home == nullptr || *home == '\0' ? std::string() : std::string(home) + "/.norvane_db_history";
}

// The typed characters are read in the user's encoding only while a line
// is edited: the rest of the program keeps the locale it started with.
class TUserCharacters {
 public:
  TUserCharacters() : saved_(std::setlocale(LC_CTYPE, nullptr)) { std::setlocale(LC_CTYPE, ""); }
  ~TUserCharacters() { std::setlocale(LC_CTYPE, saved_.c_str()); }
  TUserCharacters(const TUserCharacters&) = delete;
  TUserCharacters& operator=(const TUserCharacters&) = delete;

 private:
  std::string saved_;
};

}  // namespace

TTerminalLines::TTerminalLines() : historyFile_(HistoryFile()) {
  rl_outstream = isatty(STDOUT_FILENO) != 0 ? stdout : stderr;
  using_history();
  stifle_history(kHistoryLines);
  // A missing or unreadable history is an empty one.
  if (!historyFile_.empty()) read_history(historyFile_.c_str());
}

TTerminalLines::~TTerminalLines() {
  if (historyFile_.empty()) return;
  // SQL may hold passwords: the file is made for its owner alone before
  // anything is written to it.
  const int fd = open(historyFile_.c_str(), O_WRONLY | O_CREAT, 0600);
  if (fd < 0) return;
  close(fd);
  // A history that cannot be written is only lost, never a failure of the
  // session.
  write_history(historyFile_.c_str());
}

bool TTerminalLines::ReadLine(const std::string& prompt, std::string& line) {
  char* typed = nullptr;
  {
    const TUserCharacters characters;
    typed = readline(prompt.c_str());
  }
  if (typed == nullptr) {
    // Ctrl-D leaves the cursor after the prompt.
    std::fputc('\n', rl_outstream);
    return false;
  }
  line = typed;
  std::free(typed);
  return true;
}

void TTerminalLines::Remember(const std::string& line) { add_history(line.c_str()); }

}  // namespace norvane::tool
