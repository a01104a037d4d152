// The one way the tool's commands open a container file.
#pragma once

#include <memory>
#include <string>

#include "engine/container/single_file_system.h"
#include "engine/platform/system_file.h"
#include "tools/norvane-db/command_line.h"

namespace norvane::tool {

// Reading shares the file with other readers and keeps every writer out, so
// a reader never meets a catalogue halfway through a change. Writing holds
// the file alone: no reader sees its changes before they are complete, and
// no other writer can be running, which makes any put temporary file found
// the remains of a killed put. Alone, for a rewrite of the whole file, is
// the same hold as Writing.
enum class TOpenFor { Reading, Writing, Alone };

// An open container, and the hold that keeps writers out while it is read;
// the container closes before the hold goes.
struct TReleaseCatalogue {
  std::unique_ptr<TSystemFile> ReadHold;
  void operator()(TESingleFileSystem* container);
};
using TOpenCatalogue = std::unique_ptr<TESingleFileSystem, TReleaseCatalogue>;

// Settles the password options before anything is opened or created: the
// first line of --password-file F becomes the --password. Throws TUsageError
// for both options at once, an empty password, a password file that cannot
// be read or whose first line is empty, and --question or --answer without a
// password (asking for encryption must never quietly give none).
void ResolvePassword(TCommandLine& line);

// The password of a command line ResolvePassword has settled; empty without
// one.
std::string PasswordOf(const TCommandLine& line);

// Opens FILE (engine text) for `purpose` with the command line's password.
// While another program holds the file in a way the purpose cannot share, it
// tries again until --wait has passed, then fails with "FILE is in use by
// another program; try again later" above the system's reason. Opened for
// writing, the put temporary files in it are deleted first (see
// RemoveStalePutFiles). Throws EEngineError on failure, a wrong or missing
// password included.
TOpenCatalogue OpenContainer(const std::string& file, TOpenFor purpose, const TCommandLine& line);
// Holds FILE for reading, as OpenContainer does, for commands that read it
// through the engine's own opens (info, check, recover): while the returned
// file lives, no program opens FILE for writing. Waits and fails as
// OpenContainer; fails too when FILE cannot be opened at all.
std::unique_ptr<TSystemFile> HoldForReading(const std::string& file, const TCommandLine& line);
// Creates FILE anew with the engine's geometry, replacing any old one (the
// caller decides whether one may be replaced); with
// --password it is encrypted (--question and --answer are kept with it).
std::unique_ptr<TESingleFileSystem> CreateContainerFile(const std::string& file,
                                                        const TCommandLine& line);

// A path inside a container as the tool shows it: with "/" separators.
std::string ShownPath(const std::string& enginePath);
// The shown path in double quotes, as the tool's messages name items.
std::string QuotedPath(const std::string& enginePath);
// Fails the command with exit status 1 and `message` (engine text).
[[noreturn]] void FailCommand(const std::string& message);
// Fails the command because another program holds FILE: "FILE is in use by
// another program; try again later" above `reason`.
[[noreturn]] void FailBusy(const std::string& file, const std::string& reason);

}  // namespace norvane::tool
