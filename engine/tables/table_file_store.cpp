// The table's store: every operation goes to the database manager with the
// table's store mode.
#include "engine/tables/table_file_store.h"

#include "engine/tables/database_manager.h"

namespace norvane {

TTableFileStore::TTableFileStore(TDeziDatabaseManager& database)
    : TAbstractPlainFileSystem(database.Name(), 0), database_(database) {}

TAbstractFile* TTableFileStore::OpenFile(const std::string& name, bool create, bool readOnly,
                                         bool) {
  // Shared tables are never opened exclusively: other datasets of the
  // process reach the same files through the same manager.
  return database_.OpenFile(name, create, readOnly, tableMode_);
}

void TTableFileStore::CloseFile(TAbstractFile* file) { database_.CloseFile(file); }

bool TTableFileStore::DeleteFile(const std::string& name) {
  return database_.DeleteFile(name, tableMode_);
}

bool TTableFileStore::RenameFile(const std::string& oldName, const std::string& newName) {
  return database_.RenameFile(oldName, newName, tableMode_);
}

bool TTableFileStore::FileExists(const std::string& name) {
  return database_.FileExists(name, tableMode_);
}

void TTableFileStore::GetFileNames(const std::string& extension,
                                   std::vector<std::string>& names) {
  database_.GetFileNames(extension, names, tableMode_);
}

}  // namespace norvane
