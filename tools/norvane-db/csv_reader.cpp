// The CSV reader: one pass over the bytes, a character at a time, with one
// character of look-ahead (enough for CR LF and doubled quotes).
#include "tools/norvane-db/csv_reader.h"

namespace norvane::tool {

namespace {

// The field being read, as the messages count: from 1.
std::string FieldNumber(const TCsvRecord& record) { return std::to_string(record.Fields.size()); }

}  // namespace

int TCsvReader::Peek() {
  if (at_ == end_) {
    at_ = 0;
    end_ = read_(buffer_.data(), buffer_.size());
    taken_ += static_cast<int64_t>(end_);
    if (end_ == 0) return kEnd;
  }
  return static_cast<unsigned char>(buffer_[at_]);
}

int TCsvReader::Get() {
  const int c = Peek();
  if (c != kEnd) ++at_;
  return c;
}

void TCsvReader::Malformed(TCsvRecord& record, const std::string& error) {
  // The first fault is the one worth reading; later ones follow from it.
  if (record.Error.empty()) record.Error = error;
}

bool TCsvReader::Next(TCsvRecord& record) {
  while (Peek() != kEnd)
    if (ReadRecord(record)) return true;
  return false;
}

bool TCsvReader::ReadRecord(TCsvRecord& record) {
  record.Fields.clear();
  record.Error.clear();
  record.Line = line_;
  bool quotedFirst = false;
  for (;;) {
    record.Fields.emplace_back();
    if (record.Fields.size() == 1) quotedFirst = Peek() == '"';
    const int ended = ReadField(record);
    if (ended != ',') break;
  }
  // A line with nothing on it; "" alone is a record of one empty field.
  return !(record.Fields.size() == 1 && record.Fields[0].empty() && !quotedFirst);
}

int TCsvReader::ReadField(TCsvRecord& record) {
  const bool quoted = Peek() == '"';
  if (quoted) {
    Get();
    ReadQuoted(record);
  }
  for (;;) {
    const int c = Get();
    if (c == kEnd || c == ',') return c;
    if (c == '\n') {
      ++line_;
      return '\n';
    }
    if (c == '\r' && Peek() == '\n') {
      Get();
      ++line_;
      return '\n';
    }
    if (quoted)
      Malformed(record, "text follows the closing quote of field " + FieldNumber(record));
    else if (c == '"')
      Malformed(record,
                "a quote stands inside field " + FieldNumber(record) + ", which is not quoted");
    record.Fields.back() += static_cast<char>(c);
  }
}

void TCsvReader::ReadQuoted(TCsvRecord& record) {
  const int64_t opened = line_;
  std::string& field = record.Fields.back();
  for (;;) {
    const int c = Get();
    if (c == kEnd) {
      Malformed(record, "the quote that opens field " + FieldNumber(record) + " on line " +
                            std::to_string(opened) + " is never closed");
      return;
    }
    if (c == '"') {
      if (Peek() != '"') return;
      Get();
    } else if (c == '\n') {
      ++line_;
    }
    field += static_cast<char>(c);
  }
}

}  // namespace norvane::tool
