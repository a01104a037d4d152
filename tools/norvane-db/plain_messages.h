// Plain lines the tool shows before the engine's own messages where those
// do not tell a person what went wrong or what to do. The engine's texts are
// never changed: a plain line only comes first.
#pragma once

#include <string>

#include "tools/norvane-db/command_line.h"

namespace norvane::tool {

// The line to show before `engineMessage`, a failure of a command run with
// `line` (its catalogue FILE first among the arguments); empty when the
// message says enough. Engine text in and out.
std::string PlainLineBefore(const TCommandLine& line, const std::string& engineMessage);

// For an encrypted catalogue FILE that `password` (empty: none given) does
// not open: that the password is wrong, too long, or must be given.
std::string PasswordLine(const std::string& file, const std::string& password);

}  // namespace norvane::tool
