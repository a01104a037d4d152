// Finding the shared objects by name: the database component, the database
// manager (made when absent) and the table manager of a table. Component
// names compare without regard to case; file and folder paths compare as
// full paths, exactly, because on Linux names differing in case are
// different files.
#pragma once

#include <string>

namespace norvane {

class TDeziDatabase;
class TDeziDatabaseManager;
class TDeziDataManager;
class TManagedDataset;

// The full path by which folders and container files are compared.
std::string DatabasePath(const std::string& name);
// Paths: both non-empty and the same full path.
bool SameDatabasePath(const std::string& a, const std::string& b);

// The first registered component whose DatabaseName equals `name` (without
// case) or whose DatabaseFileName is the path `name`; null for none or an
// empty name.
TDeziDatabase* aaFindDatabase(const std::string& name);
// The manager `name` names: by its own name, by the DatabaseName of one of
// its connected components, or because the component `name` finds has the
// manager's name as its DatabaseName, DatabaseFileName or Directory.
TDeziDatabaseManager* aaFindDatabaseManager(const std::string& name);
// aaFindDatabaseManager, or a new registered manager made from `maker` when
// given, else from the component `name` finds, else from the `asking`
// dataset, else from the bare name. A new manager may have no users yet:
// the caller connects or registers one, or releases it.
TDeziDatabaseManager& aaGetDatabaseManager(const std::string& name,
                                           const TManagedDataset* asking = nullptr,
                                           const TDeziDatabase* maker = nullptr);
// The table manager of `tableName` (without case) in `database`, made and
// registered when there is none. Throws "aaGetDataManager - nil pointer to
// DatabaseManager." without a database manager.
TDeziDataManager& aaGetDataManager(const std::string& tableName, TDeziDatabaseManager* database);

}  // namespace norvane
