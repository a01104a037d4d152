// The one way the tool's commands open a container file.
#pragma once

#include <memory>
#include <string>

#include "engine/container/single_file_system.h"
#include "tools/norvane-db/command_line.h"

namespace norvane::tool {

enum class TOpenFor { Reading, Writing, Alone };

// Settles the password options before anything is opened or created: the
// first line of --password-file F becomes the --password. Throws TUsageError
// for both options at once, an empty password, a password file that cannot
// be read or whose first line is empty, and --question or --answer without a
// password (asking for encryption must never quietly give none).
void ResolvePassword(TCommandLine& line);

// The password of a command line ResolvePassword has settled; empty without
// one.
std::string PasswordOf(const TCommandLine& line);

// Opens FILE (engine text) for reading (shared with others), for writing (no
// other writer at the same time) or alone (nobody else at all), with the
// command line's password. Throws EEngineError on failure, a wrong or
// missing password included.
std::unique_ptr<TESingleFileSystem> OpenContainer(const std::string& file, TOpenFor purpose,
                                                  const TCommandLine& line);
// Creates FILE anew with the engine's geometry, replacing any old one (the
// caller decides whether one may be replaced); with
// --password it is encrypted (--question and --answer are kept with it).
std::unique_ptr<TESingleFileSystem> CreateContainerFile(const std::string& file,
                                                        const TCommandLine& line);

// A path inside a container as the tool shows it: with "/" separators.
std::string ShownPath(const std::string& enginePath);
// Fails the command with exit status 1 and `message` (engine text).
[[noreturn]] void FailCommand(const std::string& message);

}  // namespace norvane::tool
