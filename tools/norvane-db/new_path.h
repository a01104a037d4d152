// The names the tool gives new files and folders. The engine stores more
// (catalogues made elsewhere keep theirs), but a name the tool makes must
// also read back plainly in a listing and mean one place.
#pragma once

#include <string>

namespace norvane::tool {

// Fails the command (exit 1, nothing changed) unless every name along
// `path` (engine text, "/" or "\" separators, one leading and one trailing
// separator allowed) is a name the tool may create: not empty (no two
// separators in a row), not "." or "..", without control characters (bytes
// below 0x20, and 0x7F) and at most 255 bytes long. The message names the
// rule the path breaks. The root alone names nothing new and fails too.
void RequireNewPath(const std::string& path);

}  // namespace norvane::tool
