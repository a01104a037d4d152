// One index of an open table as the table keeps it in memory: the stored
// description, the key encoder made from it, and the physical record numbers
// in key order. Among records with equal keys the array keeps row identifier
// order, so every record has exactly one place and is found by a bounded
// search, never a scan of its run of equals.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "engine/tables/index_array.h"
#include "engine/tables/index_header.h"
#include "engine/tables/index_key.h"

namespace norvane {

struct TTableIndex {
  TTableIndex(TIndexDescription description, const std::vector<TFieldHeader>& fields,
              const TRecordGeometry& geometry)
      : Description(std::move(description)), Encoder(fields, geometry, Description) {}

  // Temporary indexes ("$_IDX_" and a number) are never written to T.idx.
  bool Temporary() const { return !Description.Name.empty() && Description.Name[0] == '$'; }

  TIndexDescription Description;
  TIndexKeyEncoder Encoder;
  TaaIntArray Array;
  // Clear: the array is not in key order and is rebuilt before any use.
  bool Built = false;
};

// Told when the indexes of a table are rebuilt from its records (at open,
// when T.idx does not describe T.dat), so that a program can show it.
class TIndexBuildProgress {
 public:
  virtual ~TIndexBuildProgress() = default;
  virtual void IndexBuildStarted(const std::string& tableName) = 0;
  // 0 to 100.
  virtual void IndexBuildProgress(int percent) = 0;
  virtual void IndexBuildEnded() = 0;
};

}  // namespace norvane
