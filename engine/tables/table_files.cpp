// A whole table as the files of a store: whether it exists, deleting it,
// renaming it (replacing an idle table of the new name) and finding a name
// no table has. A table is T.dat with T.idx, T.bif and T.bdf when it has
// them, and the journals a flush stopped midway may have left beside them,
// which belong to the table as much as its records do.
#include <atomic>
#include <utility>

#include "engine/common/engine_error.h"
#include "engine/platform/file_system.h"
#include "engine/tables/dezi_data_manager.h"

namespace norvane {
namespace {

// In the order of deletion: T.dat, which makes a table exist, goes last.
constexpr const char* kTableExtensions[] = {kJournalExtension, kDirectoryJournalExtension, ".bdf",
                                            ".bif", ".idx", ".dat"};

bool HasAnyFile(TAbstractPlainFileSystem& store, const std::string& name) {
  for (const char* extension : kTableExtensions)
    if (store.FileExists(name + extension)) return true;
  return false;
}

bool Renamed(TAbstractPlainFileSystem& store, const std::string& from, const std::string& to) {
  try {
    return store.RenameFile(from, to);
  } catch (const EEngineError&) {
    return false;
  }
}

}  // namespace

bool TDeziDataManager::TableExists(TAbstractPlainFileSystem& store, const std::string& name) {
  return store.FileExists(name + ".dat");
}

void TDeziDataManager::DeleteTable(TAbstractPlainFileSystem& store, const std::string& name) {
  for (const char* extension : kTableExtensions) {
    const std::string file = name + extension;
    if (store.FileExists(file) && !store.DeleteFile(file))
      throw EEngineError("Error in TDeziDataManager.DeleteTable - " + file + " file cannot be deleted.");
  }
}

void TDeziDataManager::RenameTable(TAbstractPlainFileSystem& store, const std::string& name,
                                   const std::string& newName) {
  if (name == newName) return;
  // Every rename done so far, undone in reverse should a later one fail, so
  // a table is never split between two names.
  std::vector<std::pair<std::string, std::string>> done;
  const auto move = [&](const std::string& from, const std::string& to, const std::string& message) {
    if (!Renamed(store, from, to)) throw EEngineError(message);
    done.emplace_back(from, to);
  };
  // A table already under the new name steps aside first and goes only
  // once this one has taken its place: a failure brings it back whole. A
  // change of case alone names the same files, which must not step aside.
  std::string aside;
  try {
    if (!SameNameIgnoringCase(name, newName) && HasAnyFile(store, newName)) {
      aside = FreeTableName(store, newName + "_old");
      for (const char* extension : kTableExtensions)
        if (store.FileExists(newName + extension))
          move(newName + extension, aside + extension,
               "Error in TDeziDataManager.RenameTable - " + name + extension + " file cannot be overwritten");
    }
    for (const char* extension : kTableExtensions)
      if (store.FileExists(name + extension))
        move(name + extension, newName + extension,
             "Error in TDeziDataManager.RenameTable - " + name + extension + " file cannot be renamed.");
  } catch (...) {
    for (auto it = done.rbegin(); it != done.rend(); ++it) Renamed(store, it->second, it->first);
    throw;
  }
  if (aside.empty()) return;
  try {
    DeleteTable(store, aside);
  } catch (const EEngineError&) {
    // The replaced table's files stay under a name nobody uses; the rename
    // itself is done.
  }
}

std::string TDeziDataManager::FreeTableName(TAbstractPlainFileSystem& store, const std::string& prefix) {
  // A counter, not a random number: two names drawn at random can meet,
  // and a store whose numbers are nearly all taken would be searched at
  // length; the counter gives every caller of the process a new number.
  static std::atomic<uint32_t> next{0};
  for (;;) {
    std::string name = prefix + std::to_string(next.fetch_add(1));
    if (!HasAnyFile(store, name)) return name;
  }
}

}  // namespace norvane
