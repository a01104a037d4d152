// The directory table in memory: every record in index order, with a name
// index (case-insensitive collation) and a child index (parent, then name) so
// that lookups and enumerations never scan the table. Deleted records stay in
// the table, in neither index, and are reused first-come.
#pragma once

#include <cstdint>
#include <set>
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
  // sort each rather than an insertion each.
  void Load(std::vector<TFileRec> records);
  // Replaces a record and moves its index entries; raises
  // "TDIRArray.UpdateItem - invalid itemNo = n" outside the table.
  void UpdateItem(int32_t index, const TFileRec& rec);

  // The live record named `name` (case-insensitive) in folder `parent`, -1
  // when there is none.
  int32_t FindChild(int32_t parent, const std::string& name) const;
  // Whether any live record carries the name, in any folder.
  bool NameExists(const std::string& name) const;
  // The live records of a folder, ordered by name.
  std::vector<int32_t> Children(int32_t parent) const;
  // The first deleted record, -1 when there is none.
  int32_t FirstDeleted() const { return deleted_.empty() ? -1 : *deleted_.begin(); }

 private:
  bool NameLess(int32_t a, int32_t b) const;
  bool ChildLess(int32_t a, int32_t b) const;
  void Index(int32_t index);
  void Unindex(int32_t index, const TFileRec& old);

  std::vector<TFileRec> items_;
  std::vector<int32_t> byName_;   // live records by name
  std::vector<int32_t> byChild_;  // live records by (ParentID, name)
  std::set<int32_t> deleted_;
};

}  // namespace norvane
