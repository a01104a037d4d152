// What a dataset (a table or query cursor) tells the database and table
// managers that share its database and table. The managers hold datasets by
// this interface only; the cursors implement it.
#pragma once

#include <cstdint>
#include <string>

namespace norvane {

class TManagedDataset {
 public:
  virtual ~TManagedDataset() = default;

  // The database the dataset names: a component's DatabaseName, a folder or
  // a container file; DatabaseFileName, when set, names the container
  // directly and is looked up first.
  virtual std::string DatabaseName() const = 0;
  virtual std::string DatabaseFileName() const = 0;
  // The table is kept in the memory file store.
  virtual bool InMemory() const = 0;
  // The managers set it when the database or a table file can only be read.
  virtual bool ReadOnly() const = 0;
  virtual void SetReadOnly(bool readOnly) = 0;
  // The password of an encrypted table (only the first 255 characters count).
  virtual std::string Password() const = 0;
  // Records in one page of the record cache, taken by the first dataset
  // that opens a table.
  virtual int32_t RecordsPerPage() const = 0;
  virtual bool Active() const = 0;
  // Closes the dataset because the database component it uses disconnects.
  // Requires the dataset to leave its table and database manager
  // (aaCloseTableForDataset) before it returns.
  virtual void CloseForDisconnect() = 0;
};

}  // namespace norvane
