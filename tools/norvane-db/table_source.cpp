// Opening a catalogue or a folder database for the table commands.
#include "tools/norvane-db/table_source.h"

#include "engine/container/disk_plain_file_system.h"
#include "engine/container/esfs_plain_file_system.h"
#include "engine/platform/file_system.h"
#include "tools/norvane-db/open_container.h"

namespace norvane::tool {

TTableSource::TTableSource(const std::string& path, const TCommandLine& line)
    : password_(PasswordOf(line)) {
  if (DirectoryExists(path)) {
    store_ = std::make_unique<TDiskPlainFileSystem>(path);
    return;
  }
  hold_ = HoldForReading(path, line);
  store_ = std::make_unique<TESFSPlainFileSystem>(path, false, false, true, smContainer, password_);
}

std::unique_ptr<TDeziDataManager> TTableSource::OpenTable(const std::string& name) {
  auto table = std::make_unique<TDeziDataManager>(*store_, name, true);
  // A table's own password is the catalogue's in the tool.
  table->SetPassword(TSecret(password_));
  if (!table->Open()) FailCommand("table \"" + name + "\" does not exist");
  return table;
}

}  // namespace norvane::tool
