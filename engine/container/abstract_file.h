// A file opened through a file store: the stream the table storage reads and
// writes, whether its bytes live on disk, in memory or inside a container.
// Positions and sizes are 32-bit here; nothing may grow past 2^31 - 1 bytes.
#pragma once

#include <cstdint>
#include <string>

namespace norvane {

class TAbstractPlainFileSystem;

class TAbstractFile {
 public:
  static constexpr int64_t kMaxSize = INT32_MAX;

  TAbstractFile(TAbstractPlainFileSystem* owner, std::string name, bool exclusive, bool readOnly,
                bool temporary)
      : owner_(owner), name_(std::move(name)), exclusive_(exclusive), readOnly_(readOnly),
        temporary_(temporary) {}
  virtual ~TAbstractFile() = default;
  TAbstractFile(const TAbstractFile&) = delete;
  TAbstractFile& operator=(const TAbstractFile&) = delete;

  const std::string& Name() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  TAbstractPlainFileSystem* Owner() const { return owner_; }
  bool Exclusive() const { return exclusive_; }
  bool ReadOnly() const { return readOnly_; }
  bool Temporary() const { return temporary_; }

  // Changing a flag of an open file closes it and opens it again (without
  // creating) at the same position.
  void SetExclusive(bool on);
  void SetReadOnly(bool on);
  void SetTemporary(bool on) { temporary_ = on; }

  // Opens the file; with `create` a new empty file replaces any old one.
  // Throws "Cannot create file "<name>"" or "Cannot open file "<name>""; a
  // file that cannot be opened for writing is opened read-only instead, and
  // ReadOnly() tells the caller.
  virtual void Open(bool create) = 0;
  virtual void Close() = 0;
  virtual void Flush() = 0;
  virtual int32_t Read(void* buffer, int32_t n) = 0;
  // Throws instead of letting the file pass kMaxSize bytes.
  virtual int32_t Write(const void* buffer, int32_t n) = 0;
  // origin 0 start, 1 current, 2 end; returns the new position.
  virtual int32_t Seek(int32_t offset, int origin) = 0;
  virtual void SetSize(int32_t size) = 0;

  int32_t SeekFromStart(int32_t position) { return Seek(position, 0); }
  int32_t Position() { return Seek(0, 1); }
  // Seeks to the end and back.
  int32_t Size();
  // Exactly n bytes, or "TAbstractFile.ReadBuffer - Stream read error" /
  // "TAbstractFile.WriteBuffer - Stream write error".
  void ReadBuffer(void* buffer, int32_t n);
  void WriteBuffer(const void* buffer, int32_t n);
  // Copies n bytes from the source's position (n = 0: the whole source from
  // its start) in chunks of 61440 bytes; returns the count copied.
  int32_t CopyFrom(TAbstractFile& source, int32_t n);

 protected:
  // Throws when a write of n bytes at `position` would pass kMaxSize.
  void CheckGrowth(int64_t position, int64_t n) const;
  [[noreturn]] void ThrowCannotCreate() const;
  [[noreturn]] void ThrowCannotOpen() const;
  // Reopens after a flag change, keeping the position.
  virtual void Reopen();
  // The open rule shared by disk and container files: `attempt(readOnly)`
  // tries to open; creating or a read-only open that fails raises; a failed
  // open for writing is tried again read-only before raising.
  template <typename Attempt>
  void OpenOrFallBack(bool create, Attempt attempt);
  bool IsOpen() const { return open_; }
  void SetOpen(bool open) { open_ = open; }

 private:
  TAbstractPlainFileSystem* owner_;
  std::string name_;
  bool exclusive_;
  bool readOnly_;
  bool temporary_;
  bool open_ = false;
};

template <typename Attempt>
void TAbstractFile::OpenOrFallBack(bool create, Attempt attempt) {
  if (attempt(readOnly_)) {
    open_ = true;
    return;
  }
  if (create) ThrowCannotCreate();
  if (!readOnly_) {
    readOnly_ = true;
    if (attempt(true)) {
      open_ = true;
      return;
    }
    readOnly_ = false;
  }
  ThrowCannotOpen();
}

}  // namespace norvane
