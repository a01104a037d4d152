// The process-wide registries of the database engine: every database
// component, every database manager and every table manager, beside the
// file-store registry of the container layer. Made on first use, destroyed
// at exit in an order that lets each object still reach what it needs.
#pragma once

#include <memory>
#include <vector>

namespace norvane {

class TDeziDatabase;
class TDeziDatabaseManager;
class TDeziDataManager;

class TEngineRegistries {
 public:
  static TEngineRegistries& Instance();
  // Null once the registries have been destroyed at exit (for objects of
  // the application that outlive them).
  static TEngineRegistries* IfAlive();

  // Components are the application's; they are only listed here.
  void AddDatabase(TDeziDatabase* database);
  void RemoveDatabase(TDeziDatabase* database);
  const std::vector<TDeziDatabase*>& Databases() const { return databases_; }

  TDeziDatabaseManager& AddDatabaseManager(std::unique_ptr<TDeziDatabaseManager> manager);
  void DestroyDatabaseManager(TDeziDatabaseManager* manager);
  std::vector<TDeziDatabaseManager*> DatabaseManagers() const;

  TDeziDataManager& AddDataManager(std::unique_ptr<TDeziDataManager> manager);
  void DestroyDataManager(TDeziDataManager* manager);
  std::vector<TDeziDataManager*> DataManagers() const;

 private:
  TEngineRegistries();
  // At exit: active datasets are closed, components forget their managers,
  // then the table managers close their tables (they still write through
  // the database managers' stores), then the database managers release
  // their containers into the file-store registry, which outlives them all.
  ~TEngineRegistries();

  std::vector<TDeziDatabase*> databases_;
  std::vector<std::unique_ptr<TDeziDatabaseManager>> databaseManagers_;
  std::vector<std::unique_ptr<TDeziDataManager>> dataManagers_;
};

}  // namespace norvane
