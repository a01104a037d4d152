// The database component: one database (a container file, or a folder that
// holds table files directly) as the application names it. Connecting it
// finds or makes the shared database manager; it also creates and compacts
// container files.
#pragma once

#include <functional>
#include <string>

#include "engine/tables/progress_process.h"

namespace norvane {

class TDeziDatabase;
class TDeziDatabaseManager;

// (sender, percent done 0..100, process, cancel): a handler that sets cancel
// stops the operation where it can stop safely.
using TProgressEvent =
    std::function<void(TDeziDatabase& sender, double percent, TaaProgressProcess process,
                       bool& cancel)>;

class TDeziDatabase {
 public:
  // Registers the component with the process; it is found by its names from
  // then on.
  TDeziDatabase();
  // Disconnects (a failure is lost here) and leaves the registry.
  ~TDeziDatabase();
  TDeziDatabase(const TDeziDatabase&) = delete;
  TDeziDatabase& operator=(const TDeziDatabase&) = delete;

  bool Connected() const { return connected_; }
  // True connects: with Directory set the folder must exist ("TDeziDatabase.
  // SetConnected - Directory "<folder>" doesn't exist."); else with
  // DatabaseFileName set the file must exist unless InMemory ("... - File
  // "<file>" doesn't exist."), the password of a container that is not
  // enciphered is cleared, and a container that does not open gives
  // "TDeziDatabaseManager.SetConnected - Invalid password or corrupted
  // database file.". Sharing refusals are the manager's (ConnectDatabase).
  // With neither set nothing happens. Any failure leaves the component
  // disconnected and destroys a manager nobody else uses.
  // False closes the datasets that use this component and leaves the
  // manager, which goes when nobody is left.
  void SetConnected(bool connected);

  // Changing a name first disconnects. A non-empty DatabaseFileName clears
  // Directory and a non-empty Directory clears DatabaseFileName.
  const std::string& DatabaseFileName() const { return databaseFileName_; }
  void SetDatabaseFileName(const std::string& fileName);
  const std::string& DatabaseName() const { return databaseName_; }
  void SetDatabaseName(const std::string& name);
  const std::string& Directory() const { return directory_; }
  void SetDirectory(const std::string& folder);

  // Whether the container is enciphered: the open container's flag while
  // connected, else the file header's when the file exists, else false.
  bool Encrypted() const;
  // While connected to a container, moves the open container between disk
  // and memory (for every component sharing it); otherwise only stored.
  bool InMemory() const { return inMemory_; }
  void SetInMemory(bool inMemory);
  // Taken at the next connection; a manager's store may make it true then.
  const std::string& Password() const { return password_; }
  void SetPassword(const std::string& password) { password_ = password; }
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }

  TProgressEvent OnProgress;

  // Creates the container file DatabaseFileName with Password (held in
  // memory when InMemory). Throws "DatabaseFileName property is blank.",
  // "CreateDatabase error. Database is connected.", and the manager's
  // "TDeziDatabaseManager.CreateDatabase - ..." messages. The component
  // stays disconnected.
  void CreateDatabase();
  void CreateDatabase(const std::string& fileName);
  // Rebuilds the container without its free pages and deleted entries.
  // Reports aappCompactDB progress from 0 to 100 through OnProgress; a
  // handler's cancel leaves the file as it was and gives false with the log
  // ending in CR LF + "CompactDatabase cancelled. Original database file
  // restored.". Otherwise the container repair's result, with its log.
  // A folder database gives true at once. Throws for a blank file name, a
  // connected component, registered datasets, and a container that does
  // not open ("TDeziDatabase.CompactDatabase - ..."). The component is
  // disconnected afterwards, whatever happened.
  bool CompactDatabase(std::string& log);

  // The manager while connected, else null.
  TDeziDatabaseManager* Manager() const { return manager_; }

 private:
  friend class TDeziDatabaseManager;
  friend class TEngineRegistries;

  void Connect();
  void Disconnect();
  void ConnectFolder();
  void ConnectFile();
  // Joins `manager`, a manager found or made for this component; on failure
  // leaves the component disconnected, releases the manager if nobody uses
  // it, and rethrows.
  void Join(TDeziDatabaseManager& manager);
  // The registries going away at exit: forget the manager without calling it.
  void Detach() {
    manager_ = nullptr;
    connected_ = false;
  }
  void Progress(double percent, bool& cancel);

  bool connected_ = false;
  std::string databaseFileName_;
  std::string databaseName_;
  std::string directory_;
  std::string password_;
  bool inMemory_ = false;
  bool readOnly_ = false;
  TDeziDatabaseManager* manager_ = nullptr;
};

}  // namespace norvane
