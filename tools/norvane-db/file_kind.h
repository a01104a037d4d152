// What kind of file a name on disk holds, as far as the tool cares: nothing,
// an empty file, a catalogue (plain or encrypted), a damaged catalogue or
// something else. Used before a file is replaced and to explain failures.
#pragma once

#include <string>

namespace norvane::tool {

enum class TFileKind {
  Missing,             // no file of that name
  Empty,               // a file of no bytes
  PlainCatalogue,      // a catalogue the engine opens, not encrypted
  EncryptedCatalogue,  // a catalogue the engine opens, encrypted
  DamagedCatalogue,    // starts as a catalogue does, but its header does not open
  Other,               // any other kind of file
};

// Looks at FILE (engine text) read-only, needing no password: only the
// headers are read. Throws EEngineError with the system's reason when the
// file exists but cannot be read.
TFileKind KindOfFile(const std::string& file);

}  // namespace norvane::tool
