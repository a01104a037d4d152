// The database component's operations on the container file as a whole:
// creating a new one and compacting one nobody has open.
#include "engine/common/engine_error.h"
#include "engine/container/esfs_plain_file_system.h"
#include "engine/container/pfs_manager.h"
#include "engine/platform/file_system.h"
#include "engine/tables/database_lookup.h"
#include "engine/tables/database_manager.h"
#include "engine/tables/dezi_database.h"

namespace norvane {
namespace {

const char kCrLf[] = "\r\n";

}  // namespace

void TDeziDatabase::CreateDatabase(const std::string& fileName) {
  SetDatabaseFileName(fileName);
  CreateDatabase();
}

void TDeziDatabase::CreateDatabase() {
  if (databaseFileName_.empty()) throw EEngineError("DatabaseFileName property is blank.");
  if (connected_) throw EEngineError("CreateDatabase error. Database is connected.");
  TDeziDatabaseManager& manager = aaGetDatabaseManager(databaseFileName_, nullptr, this);
  try {
    if (!manager.Datasets().empty())
      throw EEngineError("TDeziDatabaseManager.CreateDatabase - Some datasets are connected.");
    if (manager.Kind() == TDatabaseKind::ContainerFile) {
      const std::string quotedFile = "\"" + databaseFileName_ + "\"";
      const std::string folder = ExtractFilePath(DatabasePath(databaseFileName_));
      if (!DirectoryExists(folder))
        throw EEngineError("TDeziDatabaseManager.CreateDatabase - Cannot create database file " +
                           quotedFile + " as the directory \"" + folder + "\" does not exist");
      if (!TPFSManager::Instance().CreateContainer(manager.Name(), password_, inMemory_))
        throw EEngineError("TDeziDatabaseManager.CreateDatabase - Cannot create database file " +
                           quotedFile);
    }
  } catch (...) {
    aaReleaseDatabaseManager(&manager);
    throw;
  }
  aaReleaseDatabaseManager(&manager);
}

bool TDeziDatabase::CompactDatabase(std::string& log) {
  log.clear();
  if (databaseFileName_.empty())
    throw EEngineError("TDeziDatabase.CompactDatabase - DatabaseFileName property is blank.");
  if (connected_) throw EEngineError("TDeziDatabase.CompactDatabase -  Database is connected.");
  bool cancel = false;
  Progress(0, cancel);
  TDeziDatabaseManager& manager = aaGetDatabaseManager(databaseFileName_, nullptr, this);
  if (manager.Kind() == TDatabaseKind::Folder) {
    aaReleaseDatabaseManager(&manager);
    return true;  // a folder has no free pages of its own to give back
  }
  Join(manager);
  bool repaired = false;
  try {
    if (!manager.Datasets().empty())
      throw EEngineError("TDeziDatabase.CompactDatabase - Some datasets are connected.");
    bool readOnly = readOnly_;
    auto store = TPFSManager::Instance().GetPFSHandle(manager.Name(), password_, inMemory_,
                                                      readOnly, smContainer);
    if (store == nullptr)
      throw EEngineError(Encrypted() ? "TDeziDatabase.CompactDatabase - Invalid password."
                                     : "TDeziDatabase.CompactDatabase - PFSHandle = nil.");
    TESingleFileSystem& container = static_cast<TESFSPlainFileSystem&>(*store).Container();
    // The container's own cancel flag starts clear at every report; the
    // component's flag carries a cancel from any report, the first included.
    container.OnProgress = [&](TESingleFileSystem&, bool& stop, double percent) {
      Progress(percent, cancel);
      stop = cancel;
    };
    try {
      repaired = container.RepairFile(log, false, "", "", "", false);
    } catch (...) {
      container.OnProgress = nullptr;
      throw;
    }
    container.OnProgress = nullptr;
  } catch (...) {
    Disconnect();
    throw;
  }
  Disconnect();
  Progress(100, cancel);
  if (cancel) {
    log += kCrLf;
    log += "CompactDatabase cancelled. Original database file restored.";
    return false;
  }
  return repaired;
}

}  // namespace norvane
