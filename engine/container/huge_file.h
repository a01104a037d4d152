// The part-file stream: one seekable byte stream with 64-bit positions laid
// over a chain of part files, each at most MaxPartSize bytes and each opening
// with a part header. The first part may be preceded by foreign bytes (the
// prefix). Parts live on disk or, for a container held in memory, in memory,
// where they outlive Close until the stream is destroyed.
//
// Invariants:
//   1. Every part but the last is exactly MaxPartSize bytes and names the next
//      part in its header; the last names none.
//   2. Logical position x lies in part (x + L) / P at physical offset
//      (x + L) mod P + 280, where P = MaxPartSize - 280 and L is the prefix.
//   3. A part is added only when the one before it is full, and its name is
//      written into the previous header after the new part exists; a part is
//      removed only after the previous header stops naming it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/container/part_file.h"
#include "engine/container/part_header.h"

namespace norvane {

// How a container's parts are made: the largest part and the part factory.
// The engine uses the defaults; tests shrink parts and inject faults.
struct TPartOptions {
  int64_t MaxPartSize = -1;  // -1: TESFSHugeFile::kDefaultMaxPartSize
  TPartFactory Factory;      // empty: disk or memory parts
};

class TESFSHugeFile {
 public:
  static constexpr int64_t kDefaultMaxPartSize = 0x7FFFFFFF;

  // maxPartSize -1 selects kDefaultMaxPartSize; it must exceed the part
  // header. An empty factory makes disk or memory parts.
  TESFSHugeFile(const std::string& fileName, int64_t maxPartSize, bool inMemory, bool exclusive,
                bool readOnly, TPartFactory factory = {});
  ~TESFSHugeFile();
  TESFSHugeFile(const TESFSHugeFile&) = delete;
  TESFSHugeFile& operator=(const TESFSHugeFile&) = delete;

  // Creates the stream anew (deleting every old part of the name) or opens
  // the chain of parts. Opening fails (false) on a missing or damaged part;
  // with `tolerateBrokenChain` the parts opened before the break are used.
  // Throws when the first part cannot be opened at all, for example because
  // another process holds it.
  bool InternalOpen(bool create, bool tolerateBrokenChain);
  void Close();
  void Flush();

  // Read returns the bytes read (fewer at the end of the stream or when a
  // part reads short); a position beyond the size throws.
  int64_t Read(void* buffer, int64_t n);
  // Write grows the stream as needed and returns the bytes written, fewer
  // when a part writes short.
  int64_t Write(const void* buffer, int64_t n);
  // origin 0 start, 1 current, 2 end; a negative result throws.
  int64_t Seek(int origin, int64_t offset);
  void SetSize(int64_t size);
  int64_t Size() const { return size_; }
  // Bytes the parts take on disk or in memory, headers and prefix included.
  int64_t PhysicalSize() const;
  int64_t Position() const { return position_; }

  // Renames every part of a closed stream; the new name without a folder
  // stays in the old folder. False when a part cannot be renamed (a part
  // whose header cannot be updated is renamed back).
  bool Rename(const std::string& newFileName);
  // Deletes every part file of the name (in memory: drops the parts). Throws
  // when another process holds the first part.
  bool DeleteAll();
  // Moves every part between disk and memory, content and positions kept.
  void SetInMemory(bool inMemory);

  const std::string& FileName() const { return fileName_; }
  int64_t MaxPartSize() const { return maxPartSize_; }
  int64_t PrefixLength() const { return prefix_; }
  size_t PartCount() const { return parts_.size(); }
  bool IsOpen() const { return open_; }
  bool InMemory() const { return inMemory_; }

 private:
  struct TSpot {
    size_t part;       // index into parts_
    int64_t offset;    // physical offset inside the part
    int64_t room;      // payload bytes left in the part from there
  };
  TSpot Locate(int64_t position) const;
  int64_t Payload() const { return maxPartSize_ - kPartHeaderSize; }
  int64_t HeaderOffset(size_t part) const { return part == 0 ? prefix_ : 0; }
  int64_t ComputeSize();
  std::unique_ptr<TESFSAbstractFile> MakePart(const std::string& name, bool inMemory) const;
  bool OpenParts();
  std::unique_ptr<TESFSAbstractFile> LoadPart(const std::string& name) const;
  void AddPart();
  std::string NewPartName() const;
  void WriteHeader(size_t part, const std::string& nextName);
  void DeleteLastPartFile();
  // Closes and drops the parts; memory parts stay when asked to keep them.
  void CloseParts(bool keepMemoryParts);
  void RequireParts(const char* operation) const;
  std::string Folder() const;
  bool RenameChain(const std::string& newFileName);

  std::string fileName_;
  int64_t maxPartSize_;
  bool inMemory_;
  bool exclusive_;
  bool readOnly_;
  TPartFactory factory_;
  int64_t prefix_ = 0;
  std::vector<std::unique_ptr<TESFSAbstractFile>> parts_;
  int64_t size_ = 0;
  int64_t position_ = 0;
  bool open_ = false;
};

}  // namespace norvane
