// Connecting an import to its database and table.
#include "tools/norvane-db/import_target.h"

#include "engine/container/esfs_plain_file_system.h"
#include "engine/platform/file_system.h"
#include "engine/tables/database_manager.h"
#include "tools/norvane-db/open_container.h"

namespace norvane::tool {

namespace {

// The name by which the table component finds the database component; no
// other component of the tool's process has it.
const char* const kDatabaseName = "norvane-db import";

}  // namespace

TImportTarget::TImportTarget(const std::string& path, const std::string& tableName,
                             const TCommandLine& line)
    : tableName_(tableName) {
  const std::string password = PasswordOf(line);
  database_.SetDatabaseName(kDatabaseName);
  if (DirectoryExists(path)) {
    database_.SetDirectory(path);
  } else {
    // Waits while another program holds the file, checks the password with
    // the tool's own messages and removes what a killed put left; closed
    // again at once, for the engine to open.
    OpenContainer(path, TOpenFor::Writing, line);
    database_.SetDatabaseFileName(path);
    database_.SetPassword(password);
  }
  database_.SetConnected(true);
  // A writer that came in between leaves the engine only a reading open.
  if (database_.ReadOnly()) FailBusy(path, "It opens only for reading now.");
  table_.SetDatabaseName(kDatabaseName);
  table_.SetTableName(tableName);
  table_.SetPassword(password);
}

void TImportTarget::RequireNewTable() {
  if (table_.Exists()) FailCommand("table \"" + tableName_ + "\" exists already");
}

void TImportTarget::Create(const std::vector<TFieldDef>& fields) {
  RequireNewTable();
  table_.FieldDefs() = fields;
  table_.CreateTable();
}

void TImportTarget::Open() {
  if (!table_.Exists()) FailCommand("table \"" + tableName_ + "\" does not exist");
  table_.Open();
}

void TImportTarget::Finish() {
  table_.Close();
  // The container would flush as it closes, where a failure is lost.
  if (TDeziDatabaseManager* manager = database_.Manager();
      manager != nullptr && manager->DefaultMode() == smContainer)
    if (const auto store = manager->Store(smContainer))
      static_cast<TESFSPlainFileSystem&>(*store).Container().Flush();
  database_.SetConnected(false);
}

}  // namespace norvane::tool
