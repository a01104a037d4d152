// The read-run loop of the sql shell.
#include "tools/norvane-db/sql_shell.h"

#include "engine/common/engine_error.h"
#include "engine/platform/cp1251.h"
#include "tools/norvane-db/plain_messages.h"
#include "tools/norvane-db/sql_input_end.h"

namespace norvane::tool {

namespace {

// Runs one input; a failure is shown, not thrown: the shell goes on.
void RunInput(const std::string& utf8, const std::function<void(const std::string&)>& run,
              const TCommandLine& line, TToolOutput& output) {
  std::string script, error;
  if (!Utf8ToCp1251(utf8, script, error)) {
    output.Err << error << "\n";
    return;
  }
  try {
    run(script);
  } catch (const EEngineError& e) {
    const std::string plain = PlainLineBefore(line, e.what());
    if (!plain.empty()) output.ErrorLine(plain);
    output.ErrorLine(e.what());
  }
}

}  // namespace

void RunShell(TLineReader& reader, const std::function<void(const std::string&)>& run,
              const TCommandLine& line, TToolOutput& output) {
  std::string input;
  for (;;) {
    // What earlier inputs printed comes before the next prompt.
    output.Out.flush();
    std::string typed;
    if (!reader.ReadLine(input.empty() ? kShellPrompt : kShellMorePrompt, typed)) break;
    if (typed.find_first_not_of(" \t\r") != std::string::npos) reader.Remember(typed);
    input += typed + "\n";
    // Where a statement ends turns on ASCII characters alone, which UTF-8
    // never uses inside another character: the typed text is read as it is.
    switch (InputStateOf(input)) {
      case TInputState::Empty: input.clear(); break;
      case TInputState::Unfinished: break;
      case TInputState::Complete:
        RunInput(input, run, line, output);
        input.clear();
        break;
    }
  }
  if (InputStateOf(input) != TInputState::Empty)
    output.ErrorLine("The unfinished statement at the end was not run.");
}

}  // namespace norvane::tool
