// Reading an import's CSV file through the CSV reader, converting its text.
#include "tools/norvane-db/csv_source.h"

#include "engine/platform/cp1251.h"
#include "tools/norvane-db/open_container.h"

namespace norvane::tool {

namespace {

const std::string kByteOrderMark = "\xEF\xBB\xBF";

}  // namespace

TCsvSource::TCsvSource(const std::string& file, TCsvEncoding encoding)
    : name_(file), encoding_(encoding) {
  if (!file_.Open(file, TFileAccess::Read, TFileShare::DenyNone, false))
    FailCommand(file_.ErrorText());
  size_ = file_.Size();
  Start();
  TCsvRecord header;
  if (!reader_->Next(header)) FailCommand(name_ + " has no header row");
  // Named by number until the names themselves are engine text.
  Convert(header);
  if (!header.Error.empty())
    FailCommand(name_ + " line " + std::to_string(header.Line) + ": " + header.Error);
  header_ = std::move(header.Fields);
}

void TCsvSource::Start() {
  if (file_.Seek(0, 0) != 0) FailCommand(file_.ErrorText());
  if (encoding_ == TCsvEncoding::Utf8) {
    // A byte order mark is no part of the first name, quoted or not.
    std::string mark(kByteOrderMark.size(), '\0');
    const int64_t got = file_.Read(mark.data(), static_cast<int64_t>(mark.size()));
    if (file_.ReadFailed()) FailCommand(file_.ErrorText());
    if ((got != static_cast<int64_t>(mark.size()) || mark != kByteOrderMark) &&
        file_.Seek(0, 0) != 0)
      FailCommand(file_.ErrorText());
  }
  reader_ = std::make_unique<TCsvReader>([this](char* data, size_t size) {
    const int64_t got = file_.Read(data, static_cast<int64_t>(size));
    if (file_.ReadFailed()) FailCommand(file_.ErrorText());
    return static_cast<size_t>(got);
  });
}

void TCsvSource::Rewind() {
  Start();
  TCsvRecord header;
  reader_->Next(header);
}

bool TCsvSource::Next(TCsvRecord& row) {
  if (!reader_->Next(row)) return false;
  Convert(row);
  return true;
}

void TCsvSource::Convert(TCsvRecord& row) const {
  if (encoding_ != TCsvEncoding::Utf8) return;
  std::string text, error;
  for (size_t i = 0; i < row.Fields.size(); ++i) {
    if (!Utf8ToCp1251(row.Fields[i], text, error)) {
      if (row.Error.empty()) {
        const std::string column =
            i < header_.size() ? "\"" + header_[i] + "\"" : std::to_string(i + 1);
        row.Error = "column " + column + ": " + error;
      }
      continue;
    }
    row.Fields[i].swap(text);
  }
}

double TCsvSource::Percent() const {
  return size_ <= 0
             ? 100.0
             : 100.0 * static_cast<double>(reader_->BytesUsed()) / static_cast<double>(size_);
}

}  // namespace norvane::tool
