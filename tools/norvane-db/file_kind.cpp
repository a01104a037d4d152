// Telling a catalogue from other files without its password: the page layer
// is opened read-only on the file's headers, as the info command does.
#include "tools/norvane-db/file_kind.h"

#include <cstring>

#include "engine/common/engine_error.h"
#include "engine/container/page_file_manager.h"
#include "engine/container/part_header.h"
#include "engine/platform/file_system.h"
#include "engine/platform/system_file.h"

namespace norvane::tool {

TFileKind KindOfFile(const std::string& file) {
  if (!FileExists(file)) return TFileKind::Missing;
  TSystemFile raw;
  if (!raw.Open(file, TFileAccess::Read, TFileShare::DenyNone, false))
    throw EEngineError(raw.ErrorText());
  char magic[sizeof kPartMagic - 1] = {};
  const int64_t got = raw.Read(magic, sizeof magic);
  if (!raw.ErrorText().empty()) throw EEngineError(raw.ErrorText());
  if (got == 0) return TFileKind::Empty;
  raw.Close();
  try {
    // The geometry given is only used to create; an open takes the header's.
    const TPageFileManager pages(file, 16, 4, false, "", "", "", kModeReadOnlyProbe);
    return pages.IsEncrypted() ? TFileKind::EncryptedCatalogue : TFileKind::PlainCatalogue;
  } catch (const EEngineError&) {
    const bool partMagic = got == sizeof magic && std::memcmp(magic, kPartMagic, sizeof magic) == 0;
    return partMagic ? TFileKind::DamagedCatalogue : TFileKind::Other;
  }
}

}  // namespace norvane::tool
