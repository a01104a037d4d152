// One part file under the part-file stream: the base the stream talks to, so
// that a disk file, a memory buffer or a test's fault-injecting double can
// stand in the same place. Every byte the container reads or writes on disk
// passes through an object of this kind.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace norvane {

class TESFSAbstractFile {
 public:
  TESFSAbstractFile(std::string fileName, bool exclusive, bool readOnly)
      : fileName_(std::move(fileName)), exclusive_(exclusive), readOnly_(readOnly) {}
  virtual ~TESFSAbstractFile() = default;
  TESFSAbstractFile(const TESFSAbstractFile&) = delete;
  TESFSAbstractFile& operator=(const TESFSAbstractFile&) = delete;

  const std::string& FileName() const { return fileName_; }
  void SetFileName(const std::string& name) { fileName_ = name; }
  bool Exclusive() const { return exclusive_; }
  bool ReadOnly() const { return readOnly_; }
  // Changing a flag of an open part reopens it at the same position.
  virtual void SetExclusive(bool on) { exclusive_ = on; }
  virtual void SetReadOnly(bool on) { readOnly_ = on; }

  // Opens the part; with `create` it starts empty (an existing file is
  // replaced). Throws EEngineError when the part cannot be opened.
  virtual void Open(bool create) = 0;
  virtual void Close() = 0;
  // Throws EEngineError when the bytes cannot be made durable.
  virtual void Flush() = 0;
  // Transfer at the current position; the result is the count moved, fewer
  // than asked at the end or on failure. Writing 0 bytes changes nothing.
  virtual int64_t Read(void* buffer, int64_t n) = 0;
  virtual int64_t Write(const void* buffer, int64_t n) = 0;
  // origin 0 start, 1 current, 2 end; returns the new position.
  virtual int64_t Seek(int64_t offset, int origin) = 0;
  // Grows (new bytes are zero) or cuts the part; throws EEngineError on
  // failure, for example a full disk.
  virtual void SetSize(int64_t size) = 0;
  virtual int64_t Size() = 0;

  int64_t SeekFromStart(int64_t position) { return Seek(position, 0); }
  int64_t Position() { return Seek(0, 1); }
  // Exactly n bytes, or "TESFSAbstractFile.ReadBuffer - Stream read error" /
  // "TESFSAbstractFile.WriteBuffer - Stream write error".
  void ReadBuffer(void* buffer, int64_t n);
  void WriteBuffer(const void* buffer, int64_t n);
  // Replaces this part's content with the whole content of `source`, in
  // chunks of 61440 bytes.
  void CopyFrom(TESFSAbstractFile& source);

 private:
  std::string fileName_;
  bool exclusive_;
  bool readOnly_;
};

// Makes the part object for a name: a disk part or a memory part by default;
// tests put a fault-injecting part in its place.
using TPartFactory = std::function<std::unique_ptr<TESFSAbstractFile>(
    const std::string& fileName, bool inMemory, bool exclusive, bool readOnly)>;

std::unique_ptr<TESFSAbstractFile> MakeDefaultPart(const std::string& fileName, bool inMemory,
                                                   bool exclusive, bool readOnly);

}  // namespace norvane
