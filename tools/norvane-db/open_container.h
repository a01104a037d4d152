// The one way the tool's commands open a container file.
#pragma once

#include <memory>
#include <string>

#include "engine/container/single_file_system.h"
#include "tools/norvane-db/command_line.h"

namespace norvane::tool {

enum class TOpenFor { Reading, Writing, Alone };

// The password the command line gives: --password P, or the first line of
// --password-file F; empty without either.
std::string PasswordOf(const TCommandLine& line);

// Opens FILE (engine text) for reading (shared with others), for writing (no
// other writer at the same time) or alone (nobody else at all), with the
// command line's password. Throws EEngineError on failure, a wrong or
// missing password included.
std::unique_ptr<TESingleFileSystem> OpenContainer(const std::string& file, TOpenFor purpose,
                                                  const TCommandLine& line);
// Creates FILE anew with the engine's geometry, replacing any old one; with
// --password it is encrypted (--question and --answer are kept with it).
std::unique_ptr<TESingleFileSystem> CreateContainerFile(const std::string& file,
                                                        const TCommandLine& line);

// A path inside a container as the tool shows it: with "/" separators.
std::string ShownPath(const std::string& enginePath);
// Fails the command with exit status 1 and `message` (engine text).
[[noreturn]] void FailCommand(const std::string& message);

}  // namespace norvane::tool
