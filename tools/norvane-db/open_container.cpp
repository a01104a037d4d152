// Opening a container for the tool's commands.
#include "tools/norvane-db/open_container.h"

#include <algorithm>

#include "engine/common/engine_error.h"
#include "engine/platform/cp1251.h"
#include "engine/platform/system_file.h"
#include "tools/norvane-db/busy_wait.h"
#include "tools/norvane-db/temporary_files.h"

namespace norvane::tool {

namespace {
// The engine's geometry; an existing container's own header overrides it.
constexpr int32_t kExtentPages = 16;
constexpr int32_t kPageSizeKB = 4;

std::string PasswordFileLine(const std::string& name) {
  const std::string shown = Cp1251ToUtf8(name);
  TSystemFile file;
  std::string text(4096, '\0');
  const auto unreadable = [&file] {
    return TUsageError{"cannot read the password file: " + Cp1251ToUtf8(file.ErrorText()), false};
  };
  if (!file.Open(name, TFileAccess::Read, TFileShare::DenyNone, false)) throw unreadable();
  text.resize(static_cast<size_t>(file.Read(text.data(), static_cast<int64_t>(text.size()))));
  if (file.ReadFailed()) throw unreadable();
  text = text.substr(0, text.find('\n'));
  if (!text.empty() && text.back() == '\r') text.pop_back();
  if (text.empty())
    throw TUsageError{"the first line of the password file " + shown + " is empty", false};
  // The file is the user's text, UTF-8 like the command line.
  std::string password, error;
  if (!Utf8ToCp1251(text, password, error))
    throw TUsageError{"the password file " + shown + ": " + error, false};
  return password;
}

}  // namespace

std::string OptionOf(const TCommandLine& line, const std::string& name) {
  auto it = line.Options.find(name);
  return it == line.Options.end() ? std::string() : it->second;
}

void ResolvePassword(TCommandLine& line) {
  if (line.Has("password-file")) {
    if (line.Has("password"))
      throw TUsageError{"give either --password or --password-file, not both"};
    line.Options["password"] = PasswordFileLine(line.Options.at("password-file"));
    line.Options.erase("password-file");
  }
  if (line.Has("password") && line.Options.at("password").empty())
    throw TUsageError{"the password is empty"};
  if (!line.Has("password") && (line.Has("question") || line.Has("answer")))
    throw TUsageError{"--question and --answer need a password (--password or --password-file)"};
}

std::string PasswordOf(const TCommandLine& line) { return OptionOf(line, "password"); }

void TReleaseCatalogue::operator()(TESingleFileSystem* container) {
  delete container;
  ReadHold.reset();
}

std::unique_ptr<TSystemFile> HoldForReading(const std::string& file, const TCommandLine& line) {
  auto hold = std::make_unique<TSystemFile>();
  const bool held = RetryWhileBusy(WaitSecondsOf(line), [&] {
    if (hold->Open(file, TFileAccess::Read, TFileShare::DenyWrite, false)) return true;
    if (!IsSharingViolation(hold->ErrorText())) FailCommand(hold->ErrorText());
    return false;
  });
  if (!held) FailBusy(file, hold->ErrorText());
  return hold;
}

TOpenCatalogue OpenContainer(const std::string& file, TOpenFor purpose, const TCommandLine& line) {
  if (purpose == TOpenFor::Reading) {
    // The hold keeps writers out; the engine's own open beside it shares.
    TReleaseCatalogue release{HoldForReading(file, line)};
    return TOpenCatalogue(new TESingleFileSystem(file, kExtentPages, kPageSizeKB, 0, "", "",
                                                 PasswordOf(line), false, kModeReadOnlyDenyNone),
                          std::move(release));
  }
  // Held alone, the engine's open is the hold itself: any second open of
  // the file, even this process's own, would be refused.
  const std::string password = PasswordOf(line);
  std::unique_ptr<TESingleFileSystem> container;
  std::string busyReason;
  const bool opened = RetryWhileBusy(WaitSecondsOf(line), [&] {
    try {
      container = std::make_unique<TESingleFileSystem>(file, kExtentPages, kPageSizeKB, 0, "", "",
                                                       password, false, kModeReadWriteExclusive);
      return true;
    } catch (const EEngineError& e) {
      if (!IsSharingViolation(e.what())) throw;
      busyReason = e.what();
      return false;
    }
  });
  if (!opened) FailBusy(file, busyReason);
  RemoveStalePutFiles(*container);
  return TOpenCatalogue(container.release());
}

std::unique_ptr<TESingleFileSystem> CreateContainerFile(const std::string& file,
                                                        const TCommandLine& line) {
  return std::make_unique<TESingleFileSystem>(file, kExtentPages, kPageSizeKB, 0,
                                              OptionOf(line, "answer"), OptionOf(line, "question"),
                                              PasswordOf(line), false, kModeCreate);
}

std::string ShownPath(const std::string& enginePath) {
  std::string shown = enginePath;
  std::replace(shown.begin(), shown.end(), '\\', '/');
  return shown;
}

std::string QuotedPath(const std::string& enginePath) {
  std::string quoted(1, '"');
  quoted += ShownPath(enginePath);
  quoted += '"';
  return quoted;
}

void FailBusy(const std::string& file, const std::string& reason) {
  FailCommand(file + " is in use by another program; try again later\n" + reason);
}

void FailCommand(const std::string& message) { throw EEngineError(message); }

}  // namespace norvane::tool
