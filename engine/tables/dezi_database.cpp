// The database component's properties and its connection to the shared
// database manager.
#include "engine/tables/dezi_database.h"

#include "engine/common/engine_error.h"
#include "engine/container/esfs_plain_file_system.h"
#include "engine/container/pfs_manager.h"
#include "engine/platform/file_system.h"
#include "engine/tables/database_lookup.h"
#include "engine/tables/database_manager.h"
#include "engine/tables/engine_registries.h"

namespace norvane {

TDeziDatabase::TDeziDatabase() { TEngineRegistries::Instance().AddDatabase(this); }

TDeziDatabase::~TDeziDatabase() {
  TEngineRegistries* registries = TEngineRegistries::IfAlive();
  if (registries == nullptr) return;  // the engine has already let everything go
  try {
    Disconnect();
  } catch (const EEngineError&) {
    // Nobody is left to tell; the component leaves all the same.
  }
  registries->RemoveDatabase(this);
}

void TDeziDatabase::SetConnected(bool connected) {
  if (connected == connected_) return;
  if (connected)
    Connect();
  else
    Disconnect();
}

void TDeziDatabase::Join(TDeziDatabaseManager& manager) {
  try {
    manager.ConnectDatabase(*this);
  } catch (...) {
    aaReleaseDatabaseManager(&manager);
    throw;
  }
  manager_ = &manager;
  connected_ = true;
}

void TDeziDatabase::Connect() {
  if (!directory_.empty())
    ConnectFolder();
  else if (!databaseFileName_.empty())
    ConnectFile();
  // With neither there is nothing to open, and the component stays as it is.
}

void TDeziDatabase::ConnectFolder() {
  if (!DirectoryExists(directory_))
    throw EEngineError("TDeziDatabase.SetConnected - Directory \"" + directory_ +
                       "\" doesn't exist.");
  Join(aaGetDatabaseManager(directory_, nullptr, this));
}

void TDeziDatabase::ConnectFile() {
  if (!inMemory_ && !FileExists(databaseFileName_))
    throw EEngineError("TDeziDatabase.SetConnected - File \"" + databaseFileName_ +
                       "\" doesn't exist.");
  Join(aaGetDatabaseManager(databaseFileName_, nullptr, this));
  try {
    // A container without a cipher has no password; keeping one would only
    // make later password checks fail.
    if (!Encrypted()) password_.clear();
    bool readOnly = readOnly_;
    if (TPFSManager::Instance().GetPFSHandle(DatabasePath(databaseFileName_), password_,
                                             inMemory_, readOnly, smContainer) == nullptr)
      throw EEngineError("TDeziDatabaseManager.SetConnected - Invalid password or corrupted "
                         "database file.");
  } catch (...) {
    Disconnect();
    throw;
  }
}

void TDeziDatabase::Disconnect() {
  if (!connected_) return;
  TDeziDatabaseManager* manager = manager_;
  // A dataset that fails to close leaves the component connected, with the
  // manager still its.
  manager->DisconnectDatabase(*this);
  manager_ = nullptr;
  connected_ = false;
  aaReleaseDatabaseManager(manager);
}

void TDeziDatabase::SetDatabaseFileName(const std::string& fileName) {
  Disconnect();
  databaseFileName_ = fileName;
  if (!fileName.empty()) directory_.clear();
}

void TDeziDatabase::SetDatabaseName(const std::string& name) {
  Disconnect();
  databaseName_ = name;
}

void TDeziDatabase::SetDirectory(const std::string& folder) {
  Disconnect();
  directory_ = folder;
  if (!folder.empty()) databaseFileName_.clear();
}

void TDeziDatabase::SetInMemory(bool inMemory) {
  if (inMemory == inMemory_) return;
  if (connected_ && manager_ != nullptr)
    manager_->SwitchInMemory(inMemory);  // sets this component's flag too
  else
    inMemory_ = inMemory;
}

bool TDeziDatabase::Encrypted() const {
  if (connected_ && manager_ != nullptr && manager_->DefaultMode() == smContainer) {
    if (auto store = manager_->Store(smContainer))
      return static_cast<TESFSPlainFileSystem&>(*store).Container().IsEncrypted();
  }
  if (databaseFileName_.empty() || !FileExists(databaseFileName_)) return false;
  try {
    return IsEncryptedFile(databaseFileName_);
  } catch (const EEngineError&) {
    return false;  // a header that cannot be read says nothing about a cipher
  }
}

void TDeziDatabase::Progress(double percent, bool& cancel) {
  if (OnProgress) OnProgress(*this, percent, aappCompactDB, cancel);
}

}  // namespace norvane
