// norvane-db create FILE: a new, empty container. An existing file is never
// replaced unasked, and --force replaces only a catalogue or an empty file,
// so a mistyped name cannot destroy a document.
#include "tools/norvane-db/command.h"
#include "tools/norvane-db/file_kind.h"
#include "tools/norvane-db/open_container.h"

namespace norvane::tool {

namespace {

void RequireReplaceable(const std::string& file, bool force) {
  const TFileKind kind = KindOfFile(file);
  if (kind == TFileKind::Missing) return;
  if (!force) FailCommand(file + " already exists; give --force to replace it.");
  if (kind != TFileKind::Empty && kind != TFileKind::PlainCatalogue &&
      kind != TFileKind::EncryptedCatalogue)
    FailCommand(file +
                (kind == TFileKind::DamagedCatalogue ? " is a damaged Norvane catalogue"
                                                     : " is not a Norvane catalogue") +
                "; --force replaces only a sound catalogue or an empty file, so it is left as "
                "it is.");
}

int RunCreate(const TCommandLine& line, TToolOutput&) {
  RequireReplaceable(line.Positional[0], line.Has("force"));
  CreateContainerFile(line.Positional[0], line)->Flush();
  return 0;
}

}  // namespace

const TCommand kCreateCommand{"create", "FILE",
                              "create an empty catalogue file (4 KB pages, 16 pages an extent)",
                              1, 1, RunCreate};

}  // namespace norvane::tool
