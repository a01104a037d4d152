// Opening a container for the tool's commands.
#include "tools/norvane-db/open_container.h"

#include <algorithm>

#include "engine/common/engine_error.h"
#include "engine/platform/cp1251.h"
#include "engine/platform/system_file.h"

namespace norvane::tool {

namespace {
// The engine's geometry; an existing container's own header overrides it.
constexpr int32_t kExtentPages = 16;
constexpr int32_t kPageSizeKB = 4;
}  // namespace

std::string OptionOf(const TCommandLine& line, const std::string& name) {
  auto it = line.Options.find(name);
  return it == line.Options.end() ? std::string() : it->second;
}

std::string PasswordOf(const TCommandLine& line) {
  if (!line.Has("password-file")) return OptionOf(line, "password");
  if (line.Has("password")) FailCommand("Give either --password or --password-file, not both.");
  TSystemFile file;
  const std::string& name = line.Options.at("password-file");
  if (!file.Open(name, TFileAccess::Read, TFileShare::DenyNone, false)) FailCommand(file.ErrorText());
  std::string text(4096, '\0');
  text.resize(static_cast<size_t>(file.Read(text.data(), static_cast<int64_t>(text.size()))));
  text = text.substr(0, text.find('\n'));
  if (!text.empty() && text.back() == '\r') text.pop_back();
  // The file is the user's text, UTF-8 like the command line.
  std::string password, error;
  if (!Utf8ToCp1251(text, password, error)) FailCommand(error);
  return password;
}

std::unique_ptr<TESingleFileSystem> OpenContainer(const std::string& file, TOpenFor purpose,
                                                  const TCommandLine& line) {
  const uint16_t mode = purpose == TOpenFor::Alone     ? kModeReadWriteExclusive
                        : purpose == TOpenFor::Writing ? kModeReadWriteDenyWrite
                                                       : kModeReadOnlyDenyNone;
  return std::make_unique<TESingleFileSystem>(file, kExtentPages, kPageSizeKB, 0, "", "",
                                              PasswordOf(line), false, mode);
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

void FailCommand(const std::string& message) { throw EEngineError(message); }

}  // namespace norvane::tool
