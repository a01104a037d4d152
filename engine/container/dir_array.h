// The directory table in memory: every record in index order, with a name
// index and a child index (parent, then name) so that lookups and
// enumerations never scan the table. Names are ordered by the engine's
// case-insensitive collation, then byte for byte, so names that differ only
// in case are neighbours and an exact name has one place among them. Deleted
// records stay in the table, in neither index, and are reused first-come.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/container/file_rec.h"

namespace norvane {

class TDIRArray {
 public:
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  // Raises "TDIRArray.ReadItem - invalid itemNo = n" outside the table.
  const TFileRec& ReadItem(int32_t index) const;
  // Appends a record (indexed unless deleted); returns its index.
  int32_t Append(const TFileRec& rec);
  // Replaces the table with records read from disk, indexing them with one
  // sort each rather than an insertion each. The order comes from the
  // collation in force now, never from the order the records had on disk.
  void Load(std::vector<TFileRec> records);
  // Replaces a record and moves its index entries; raises
  // "TDIRArray.UpdateItem - invalid itemNo = n" outside the table.
  void UpdateItem(int32_t index, const TFileRec& rec);

  // The live record of folder `parent` whose name is `name` byte for byte;
  // failing that (unless `exactOnly`), the first (in index order) of those
  // equal to it ignoring case; -1 when there is none. A directory made under
  // another locale may hold several names that this locale finds equal
  // ignoring case: each stays reachable by its own name.
  int32_t FindChild(int32_t parent, const std::string& name, bool exactOnly = false) const;
  // Whether a live record of folder `parent` other than `except` has a name
  // equal to `name` ignoring case: such a name may not be given anew.
  bool NameTaken(int32_t parent, const std::string& name, int32_t except = -1) const;
  // Whether any live record carries the name, in any folder.
  bool NameExists(const std::string& name) const;
  // The live records of a folder, ordered by name.
  std::vector<int32_t> Children(int32_t parent) const;
  // The first deleted record, -1 when there is none.
  int32_t FirstDeleted() const { return deleted_.empty() ? -1 : *deleted_.begin(); }

 private:
  using TEntries = std::vector<int32_t>;
  // The entries of the child index whose record lies in `parent` with a
  // name equal to `name` ignoring case.
  std::pair<TEntries::const_iterator, TEntries::const_iterator> ChildRun(
      int32_t parent, const std::string& name) const;
  bool NameLess(int32_t a, int32_t b) const;
  bool ChildLess(int32_t a, int32_t b) const;
  void Index(int32_t index);
  void Unindex(int32_t index, const TFileRec& old);

  std::vector<TFileRec> items_;
  TEntries byName_;   // live records by name
  TEntries byChild_;  // live records by (ParentID, name)
  std::set<int32_t> deleted_;
};

}  // namespace norvane
