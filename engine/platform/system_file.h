// A file of the operating system opened by name, with the access and sharing
// modes the engine asks for. Names are engine text (code page 1251); they are
// converted to the file system's UTF-8 here and nowhere else.
//
// Sharing is honoured toward other processes (and other opens in this process)
// with open file description locks on two bytes far beyond any data:
//   byte A: every opener read-locks it; an exclusive opener write-locks it.
//   byte B: an opener with write access write-locks it, so at most one writer
//           holds a file at a time; a deny-write opener read-locks it.
// A lock that cannot be taken makes Open fail with a sharing violation.
#pragma once

#include <cstdint>
#include <string>

namespace norvane {

enum class TFileAccess { Read, ReadWrite };
enum class TFileShare { Exclusive, DenyWrite, DenyNone };

class TSystemFile {
 public:
  TSystemFile() = default;
  ~TSystemFile();  // closes (and deletes, when asked to on close)
  TSystemFile(const TSystemFile&) = delete;
  TSystemFile& operator=(const TSystemFile&) = delete;

  // Opens `name`. With `create` an existing file is cut to length 0 (only after
  // its locks are held) or a new one is made; without it the file must exist.
  // Returns false and keeps the reason in ErrorText() when the file is
  // missing, access is refused, or another opener's sharing forbids it.
  bool Open(const std::string& name, TFileAccess access, TFileShare share, bool create);
  // Creates a new file with a unique name in `folder` (empty: the system's
  // temporary folder), opened read/write and exclusive, deleted when closed.
  // The name chosen is returned in `name`.
  bool OpenTemporary(const std::string& folder, std::string& name);
  // Creates a new file in `folder` (engine text ending in "/", or empty for
  // the current folder) named `prefix` and a number that no existing file
  // has: an existing file is never opened, let alone cut. It is opened
  // read/write and exclusive, with the permissions of any new file, and
  // kept when closed unless SetDeleteOnClose says otherwise. The name chosen
  // is returned in `name`.
  bool OpenNew(const std::string& folder, const std::string& prefix, std::string& name);
  void SetDeleteOnClose(bool on) { deleteOnClose_ = on; }
  bool IsOpen() const { return fd_ >= 0; }
  const std::string& Name() const { return name_; }

  // Read and Write work at the current position and advance it; they return
  // the bytes transferred (fewer on end of file or error, never negative).
  // After a Read, ReadFailed() tells a short count that met an error (the
  // reason in ErrorText()) from one that met the end of the file.
  int64_t Read(void* buffer, int64_t n);
  bool ReadFailed() const { return readFailed_; }
  int64_t Write(const void* buffer, int64_t n);
  // origin 0 from the start, 1 from the current position, 2 from the end.
  // Returns the new position, or -1 (position unchanged) when it would be
  // negative.
  int64_t Seek(int64_t offset, int origin);
  int64_t Position() const { return position_; }
  // The file's length, or -1 on error.
  int64_t Size() const;
  // Growth reserves the space (a full disk fails here, not at a later write)
  // and the new bytes read as zero. Returns false on failure.
  bool SetSize(int64_t size);
  // Writes the file's buffers to the disk (fsync).
  bool Flush();
  // Direct writes go from the caller's buffer to the disk, past the system's
  // file cache: for output written once and not read back soon, which then
  // costs no cache pages. While on, every Write needs a buffer, a length and
  // a position that are multiples of kDirectAlignment; a write that breaks
  // this (or that the file system refuses) fails short, and turning direct
  // writes off lets the rest go the ordinary way. Returns false, with the
  // mode unchanged, for anything but a regular file and where the file
  // system has no direct writes.
  bool SetDirectWrites(bool on);
  static constexpr int64_t kDirectAlignment = 4096;
  // Write-behind is for large output: while on, every kWriteBehindRun bytes
  // written start going to the disk at once, after the previous run has
  // got there. Unwritten pages then never pile up in the file cache (a pile
  // makes the system stall the writer for long stretches and leaves all the
  // disk work to the final Flush), and the disk works while the caller
  // computes the next run. Only timing changes: what is read back is the
  // same, and Flush still makes it durable.
  static constexpr int64_t kWriteBehindRun = 8 << 20;
  void SetWriteBehind(bool on);
  void Close();

  // The system's reason for the last failure, in engine text.
  const std::string& ErrorText() const { return error_; }

 private:
  bool Fail(const std::string& what);
  // Takes over `fd`, just opened as name_ (UTF-8 `sysName`): the sharing
  // locks, then the state every open shares. Closes it and fails when the
  // locks are refused.
  bool Adopt(int fd, const std::string& sysName, TFileAccess access, TFileShare share);
  bool TakeLocks(TFileAccess access, TFileShare share);
  void WriteBehind(int64_t written);

  int fd_ = -1;
  int64_t position_ = 0;
  bool deleteOnClose_ = false;
  bool canWrite_ = false;  // opened with write access
  bool writeBehind_ = false;
  bool readFailed_ = false;  // the last Read stopped on an error
  int64_t unsentBytes_ = 0;  // written since write-behind last started the disk
  int behindError_ = 0;      // a write error write-behind took, for Flush
  std::string name_;
  std::string sysPath_;  // absolute UTF-8 path, so delete on close finds it
  std::string error_;
};

// Whether `errorText` (an ErrorText(), or an engine message carrying one)
// says that an open failed only because another opener's sharing forbids it:
// the file is busy, not missing or refused.
bool IsSharingViolation(const std::string& errorText);

}  // namespace norvane
