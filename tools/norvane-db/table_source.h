// Where the table commands find their tables: a catalogue file (held for
// reading, so no writer changes it under them) or a folder database, opened
// as the file store the table storage reads.
#pragma once

#include <memory>
#include <string>

#include "engine/container/plain_file_system.h"
#include "engine/platform/system_file.h"
#include "engine/tables/dezi_data_manager.h"
#include "tools/norvane-db/command_line.h"

namespace norvane::tool {

class TTableSource {
 public:
  // FILE is a folder database when it names a folder, else a catalogue
  // (with the command line's password). Fails the command when neither
  // opens.
  TTableSource(const std::string& path, const TCommandLine& line);
  TAbstractPlainFileSystem& Store() { return *store_; }
  // The table `name` opened read-only; fails the command with "table
  // "NAME" does not exist" when it has no T.dat.
  std::unique_ptr<TDeziDataManager> OpenTable(const std::string& name);

 private:
  std::unique_ptr<TSystemFile> hold_;
  std::unique_ptr<TAbstractPlainFileSystem> store_;
  std::string password_;
};

}  // namespace norvane::tool
