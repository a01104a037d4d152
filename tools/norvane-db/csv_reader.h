// Reading CSV as RFC 4180 writes it, for import: records of fields split by
// commas, a field in double quotes holding commas, line breaks and doubled
// quotes; lines end in CR LF or LF, the last one perhaps in neither. Bytes
// pass through unchanged (the caller knows their encoding), and a line with
// nothing on it is no record.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace norvane::tool {

struct TCsvRecord {
  std::vector<std::string> Fields;
  int64_t Line = 0;   // where the record starts, 1-based
  std::string Error;  // not empty: the record is malformed, and this says how
};

class TCsvReader {
 public:
  // Fills up to `size` bytes at `data` and returns how many; 0 only at the
  // end. A source that cannot be read throws.
  using TReadChunk = std::function<size_t(char* data, size_t size)>;

  explicit TCsvReader(TReadChunk read) : read_(std::move(read)) {}
  // The next record; false at the end of the input. A malformed record (a
  // quote inside an unquoted field, text after a closing quote, a quote
  // never closed) still comes, with Error set and its fields as far as they
  // could be read; reading goes on after it.
  bool Next(TCsvRecord& record);
  // The bytes taken from the source that the records so far have used.
  int64_t BytesUsed() const { return taken_ - static_cast<int64_t>(end_ - at_); }

 private:
  static constexpr int kEnd = -1;

  int Peek();
  int Get();
  // Returns false for an empty line.
  bool ReadRecord(TCsvRecord& record);
  // Reads one field; returns what ended it: ',', '\n' for a line end, or
  // kEnd.
  int ReadField(TCsvRecord& record);
  void ReadQuoted(TCsvRecord& record);
  static void Malformed(TCsvRecord& record, const std::string& error);

  TReadChunk read_;
  std::vector<char> buffer_ = std::vector<char>(1 << 16);
  size_t at_ = 0, end_ = 0;
  int64_t taken_ = 0;
  int64_t line_ = 1;
};

}  // namespace norvane::tool
