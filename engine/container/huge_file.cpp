// The part-file stream: locating positions in parts, opening and growing the
// chain of parts, reading and writing across part borders.
#include "engine/container/huge_file.h"

#include <algorithm>
#include <set>

#include "engine/common/engine_error.h"
#include "engine/platform/file_system.h"

namespace norvane {

TESFSHugeFile::TESFSHugeFile(const std::string& fileName, int64_t maxPartSize, bool inMemory,
                             bool exclusive, bool readOnly, TPartFactory factory)
    : fileName_(fileName),
      maxPartSize_(maxPartSize < 0 ? kDefaultMaxPartSize : maxPartSize),
      inMemory_(inMemory),
      exclusive_(exclusive),
      readOnly_(readOnly),
      factory_(factory ? std::move(factory) : TPartFactory(MakeDefaultPart)) {
  if (maxPartSize_ <= kPartHeaderSize)
    throw EEngineError("TESFSHugeFile.Create - Part size should be more than 280 bytes.");
}

TESFSHugeFile::~TESFSHugeFile() {
  try {
    CloseParts(false);
  } catch (const EEngineError&) {
    // Nothing can be reported from a destructor; an owner that cares about a
    // failed final flush calls Close itself.
  }
}

std::string TESFSHugeFile::Folder() const { return ExtractFilePath(fileName_); }

std::unique_ptr<TESFSAbstractFile> TESFSHugeFile::MakePart(const std::string& name,
                                                           bool inMemory) const {
  return factory_(name, inMemory, exclusive_, readOnly_);
}

TESFSHugeFile::TSpot TESFSHugeFile::Locate(int64_t position) const {
  // Counting the prefix as payload of the first part makes every part alike.
  const int64_t x = position + prefix_;
  const int64_t part = x / Payload();
  const int64_t offset = x - part * Payload();
  return {static_cast<size_t>(part), offset + kPartHeaderSize, Payload() - offset};
}

int64_t TESFSHugeFile::ComputeSize() {
  int64_t size = -prefix_;
  for (auto& part : parts_) size += part->Size() - kPartHeaderSize;
  return std::max<int64_t>(size, 0);
}

bool TESFSHugeFile::InternalOpen(bool create, bool tolerateBrokenChain) {
  if (open_) throw EEngineError("TESFSHugeFile.InternalOpen - File is already open.");
  if (inMemory_ && !parts_.empty() && !create) {
    open_ = true;
    position_ = 0;
    return true;
  }
  if (!parts_.empty()) throw EEngineError("TESFSHugeFile.InternalOpen - File was not closed.");
  bool ok = true;
  if (create) {
    DeleteAll();
    prefix_ = 0;
    AddPart();
  } else {
    ok = OpenParts() || (tolerateBrokenChain && !parts_.empty());
    if (!ok) CloseParts(false);
  }
  size_ = ok ? ComputeSize() : 0;
  position_ = 0;
  open_ = ok;
  return ok;
}

std::unique_ptr<TESFSAbstractFile> TESFSHugeFile::LoadPart(const std::string& name) const {
  if (!inMemory_) {
    auto part = MakePart(name, false);
    part->Open(false);
    return part;
  }
  auto disk = factory_(name, false, false, true);
  disk->Open(false);
  auto part = MakePart(name, true);
  part->Open(true);
  part->CopyFrom(*disk);
  disk->Close();
  return part;
}

bool TESFSHugeFile::OpenParts() {
  const std::string firstName = ExtractFileName(fileName_);
  std::set<std::string> seen;
  std::string name = fileName_;
  for (;;) {
    std::unique_ptr<TESFSAbstractFile> part;
    try {
      part = LoadPart(name);
    } catch (const EEngineError&) {
      if (parts_.empty()) throw;  // the reason the container itself cannot be opened
      return false;
    }
    const bool first = parts_.empty();
    if (first) prefix_ = FindContainerPrefix(*part);
    const int64_t at = first ? prefix_ : 0;
    const int64_t partSize = part->Size();
    TPartHeader header;
    if (partSize < at + kPartHeaderSize || !ReadPartHeader(*part, at, header)) return false;
    if (first) {
      // The part size comes from the file: it must leave room for the header
      // and the prefix, or every position would divide by nothing.
      if (header.MaxPartSize <= kPartHeaderSize + prefix_) return false;
      maxPartSize_ = header.MaxPartSize;
    }
    if (partSize > maxPartSize_) return false;
    seen.insert(name);
    parts_.push_back(std::move(part));
    if (header.NextName.empty()) return true;
    // A chain that continues past a part that is not full is broken.
    if (partSize < maxPartSize_) return false;
    if (!IsValidNextPartName(header.NextName, firstName)) return false;
    name = Folder() + header.NextName;
    if (seen.count(name) != 0) return false;
  }
}

std::string TESFSHugeFile::NewPartName() const {
  auto taken = [this](const std::string& name) {
    if (FileExists(name)) return true;
    return std::any_of(parts_.begin(), parts_.end(),
                       [&](const auto& part) { return part->FileName() == name; });
  };
  if (parts_.empty()) return fileName_;
  for (size_t number = parts_.size();; ++number) {
    const std::string name = fileName_ + std::to_string(number);
    if (!taken(name)) return name;
  }
}

void TESFSHugeFile::WriteHeader(size_t part, const std::string& nextName) {
  uint8_t raw[kPartHeaderSize];
  EncodePartHeader({maxPartSize_, nextName}, raw);
  TESFSAbstractFile& file = *parts_[part];
  const int64_t position = file.Position();
  file.SeekFromStart(HeaderOffset(part));
  file.WriteBuffer(raw, kPartHeaderSize);
  file.SeekFromStart(position);
}

void TESFSHugeFile::AddPart() {
  const std::string name = NewPartName();
  if (static_cast<int64_t>(ExtractFileName(name).size()) >= kPartNameCapacity)
    throw EEngineError("TESFSHugeFile.AddPart - Part file name is too long: " + name);
  auto part = MakePart(name, inMemory_);
  part->Open(true);
  parts_.push_back(std::move(part));
  try {
    WriteHeader(parts_.size() - 1, "");
    // Invariant 3: the new part exists before the previous header names it.
    if (parts_.size() > 1) WriteHeader(parts_.size() - 2, ExtractFileName(name));
  } catch (const EEngineError&) {
    parts_.back()->Close();
    parts_.pop_back();
    if (!inMemory_) DeleteFileByName(name);
    throw;
  }
}

void TESFSHugeFile::DeleteLastPartFile() {
  if (parts_.size() <= 1)
    throw EEngineError("TESFSHugeFile.DeleteLastPartFile - No parts to delete.");
  // Invariant 3: the previous header stops naming the part before it goes.
  WriteHeader(parts_.size() - 2, "");
  const std::string name = parts_.back()->FileName();
  parts_.back()->Close();
  parts_.pop_back();
  if (!inMemory_) DeleteFileByName(name);
}

int64_t TESFSHugeFile::PhysicalSize() const {
  int64_t total = 0;
  for (const auto& part : parts_) total += part->Size();
  return total;
}

int64_t TESFSHugeFile::Read(void* buffer, int64_t n) {
  if (position_ > size_) throw EEngineError("TESFSHugeFile.Read - Stream read error.");
  n = std::min(n, size_ - position_);
  int64_t done = 0;
  while (done < n) {
    const TSpot spot = Locate(position_);
    if (spot.part >= parts_.size()) break;
    const int64_t want = std::min(spot.room, n - done);
    TESFSAbstractFile& part = *parts_[spot.part];
    part.SeekFromStart(spot.offset);
    const int64_t got = part.Read(static_cast<uint8_t*>(buffer) + done, want);
    if (got <= 0) break;
    position_ += got;
    done += got;
    if (got < want) break;
  }
  return done;
}

int64_t TESFSHugeFile::Write(const void* buffer, int64_t n) {
  if (n <= 0) return 0;
  RequireParts("Write");
  if (position_ > size_) {
    const int64_t target = position_;
    SetSize(target);
    if (size_ != target) return 0;
    position_ = target;
  }
  int64_t done = 0;
  while (done < n) {
    const TSpot spot = Locate(position_);
    if (spot.part >= parts_.size()) AddPart();
    const int64_t want = std::min(spot.room, n - done);
    TESFSAbstractFile& part = *parts_[spot.part];
    part.SeekFromStart(spot.offset);
    const int64_t put = part.Write(static_cast<const uint8_t*>(buffer) + done, want);
    if (put <= 0) break;
    position_ += put;
    done += put;
    size_ = std::max(size_, position_);
    if (put < want) break;
  }
  return done;
}

int64_t TESFSHugeFile::Seek(int origin, int64_t offset) {
  const int64_t base = origin == 0 ? 0 : origin == 1 ? position_ : size_;
  if (base + offset < 0)
    throw EEngineError("TESFSHugeFile.Seek - Offset < 0 from file beginning.");
  position_ = base + offset;
  return position_;
}

void TESFSHugeFile::SetSize(int64_t size) {
  if (size < 0) throw EEngineError("TESFSHugeFile.SetSize - Size < 0.");
  RequireParts("SetSize");
  const TSpot holder = Locate(size);
  try {
    while (parts_.size() < holder.part + 1) {
      parts_.back()->SetSize(maxPartSize_);
      AddPart();
    }
    while (parts_.size() > holder.part + 1) DeleteLastPartFile();
    parts_[holder.part]->SetSize(holder.offset);
  } catch (const EEngineError&) {
    // The parts are as far as they got; the size must say what they hold.
    size_ = ComputeSize();
    position_ = std::min(position_, size_);
    throw;
  }
  size_ = size;
  position_ = size;
}

void TESFSHugeFile::Flush() {
  for (auto& part : parts_) part->Flush();
}

void TESFSHugeFile::CloseParts(bool keepMemoryParts) {
  if (inMemory_ && keepMemoryParts) return;
  std::string failure;
  for (auto& part : parts_) {
    try {
      part->Close();
    } catch (const EEngineError& e) {
      if (failure.empty()) failure = e.what();
    }
  }
  parts_.clear();
  if (!failure.empty()) throw EEngineError(failure);
}

void TESFSHugeFile::Close() {
  position_ = 0;
  open_ = false;
  if (inMemory_) return;
  size_ = 0;
  CloseParts(true);
}

void TESFSHugeFile::RequireParts(const char* operation) const {
  if (parts_.empty())
    throw EEngineError(std::string("TESFSHugeFile.") + operation + " - File is not open.");
}

}  // namespace norvane
