// The engine messages that get a plain line before them, recognised by their
// fixed text, and the plain lines themselves.
#include "tools/norvane-db/plain_messages.h"

#include "engine/common/engine_error.h"
#include "engine/container/password_block.h"
#include "tools/norvane-db/file_kind.h"
#include "tools/norvane-db/open_container.h"

namespace norvane::tool {

namespace {

bool StartsWith(const std::string& text, const std::string& head) {
  return text.compare(0, head.size(), head) == 0;
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::string TooLongPassword() {
  return "passwords are at most " + std::to_string(kMaxPasswordLength) + " characters";
}

// The engine refuses a header in two ways: the file's first part does not
// open as one, or the container header in it is not sound.
bool IsHeaderRefusal(const std::string& message) {
  return (StartsWith(message, "File ") && EndsWith(message, " has corrupted header.")) ||
         message == "TESingleFileSystem.LoadHeader - Invalid VEZA file, header is corrupted.";
}

std::string NotACatalogue(const std::string& file) {
  TFileKind kind = TFileKind::Other;
  try {
    kind = KindOfFile(file);
  } catch (const EEngineError&) {
    // Unreadable now: the engine's own message says what there is to say.
  }
  switch (kind) {
    case TFileKind::Empty:
      return file + " is empty: it is not a Norvane catalogue";
    case TFileKind::DamagedCatalogue:
      return file + " is a Norvane catalogue whose header is damaged; "
                    "norvane-db recover may save its files";
    case TFileKind::Other:
      return file + " is not a Norvane catalogue";
    default:
      return "";
  }
}

}  // namespace

std::string PasswordLine(const std::string& file, const std::string& password) {
  if (password.empty())
    return file + " is encrypted: give its password with --password or --password-file";
  if (password.size() > kMaxPasswordLength) return TooLongPassword();
  return "wrong password for " + file;
}

std::string PlainLineBefore(const TCommandLine& line, const std::string& engineMessage) {
  if (line.Positional.empty()) return "";
  const std::string& file = line.Positional[0];
  if (StartsWith(engineMessage, "TESingleFileSystem.Create - invalid password specified") ||
      StartsWith(engineMessage, "TESingleFileSystem.Salvage - the password does not open"))
    return PasswordLine(file, PasswordOf(line));
  if (StartsWith(engineMessage, "Password length should be shorter then "))
    return TooLongPassword();
  if (IsHeaderRefusal(engineMessage)) return NotACatalogue(file);
  return "";
}

}  // namespace norvane::tool
