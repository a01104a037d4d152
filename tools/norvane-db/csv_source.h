// The CSV file an import reads: its header row and then its rows, every
// value turned into engine text (code page 1251) from the file's encoding.
// The file can be read again from its start, for a command that needs two
// passes over it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/platform/system_file.h"
#include "tools/norvane-db/csv_reader.h"

namespace norvane::tool {

enum class TCsvEncoding { Utf8, Cp1251 };

class TCsvSource {
 public:
  // Opens FILE (engine text) and reads its header row; a UTF-8 file may
  // start with a byte order mark, which is skipped. Fails the command when the file cannot be
  // read, has no header row, or its header is malformed or (UTF-8) holds a
  // name code page 1251 cannot hold.
  TCsvSource(const std::string& file, TCsvEncoding encoding);
  const std::vector<std::string>& Header() const { return header_; }
  // The next row after the header, its values engine text; false at the
  // end. A row whose values cannot all be converted comes with Error set,
  // naming the column, as a malformed one does. Fails the command when the
  // file cannot be read.
  bool Next(TCsvRecord& row);
  // Back to the first row after the header.
  void Rewind();
  // How far the rows read have got into the file, 0 to 100.
  double Percent() const;

 private:
  void Start();
  void Convert(TCsvRecord& row) const;

  std::string name_;
  TCsvEncoding encoding_;
  TSystemFile file_;
  int64_t size_ = 0;
  std::unique_ptr<TCsvReader> reader_;
  std::vector<std::string> header_;
};

}  // namespace norvane::tool
