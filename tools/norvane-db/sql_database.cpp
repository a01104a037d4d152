// Connecting the sql command to its catalogue or folder database.
#include "tools/norvane-db/sql_database.h"

#include "engine/container/esfs_plain_file_system.h"
#include "engine/platform/file_system.h"
#include "engine/tables/database_manager.h"

namespace norvane::tool {

TSqlDatabase::TSqlDatabase(const std::string& path, const TCommandLine& line, bool writes) {
  database_.SetReadOnly(!writes);
  if (DirectoryExists(path)) {
    folder_ = path;
    database_.SetDirectory(path);
  } else {
    file_ = path;
    // The tool's own open first: it waits while another program holds the
    // file and words a wrong password as every command does. A writer's
    // open is closed again at once, for the engine to open the file alone.
    TOpenCatalogue opened = OpenContainer(path, writes ? TOpenFor::Writing : TOpenFor::Reading, line);
    if (!writes) readHold_ = std::move(opened);
    opened.reset();
    database_.SetDatabaseFileName(path);
    database_.SetPassword(PasswordOf(line));
  }
  database_.SetConnected(true);
  // A writer that came in between leaves the engine only a reading open.
  if (writes && database_.ReadOnly()) FailBusy(path, "It opens only for reading now.");
}

void TSqlDatabase::Finish() {
  // The container would flush as it closes, where a failure is lost.
  if (TDeziDatabaseManager* manager = database_.Manager();
      manager != nullptr && !database_.ReadOnly() && manager->DefaultMode() == smContainer)
    if (const auto store = manager->Store(smContainer))
      static_cast<TESFSPlainFileSystem&>(*store).Container().Flush();
  database_.SetConnected(false);
  readHold_.reset();
}

}  // namespace norvane::tool
