// A file of the operating system with the engine's access and sharing modes.
// Sharing is built from open file description locks, which belong to one open
// of the file rather than to the process, so a second open in this process is
// refused exactly as another process would be, and closing one descriptor
// leaves the locks of the others alone.
#include "engine/platform/system_file.h"

#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <utility>

#include "engine/platform/cp1251.h"
#include "engine/platform/file_system.h"

namespace norvane {
namespace {

// The two sharing bytes, far past any size a file of the engine reaches.
constexpr off_t kShareByteA = 0x7FFFFFFFFFFFFF00;
constexpr off_t kShareByteB = kShareByteA + 1;

// The end of the message for a lock another opener's sharing forbids.
constexpr char kSharingViolation[] = "(sharing violation).";

// One system call moves at most this much; larger requests loop.
constexpr int64_t kMaxChunk = int64_t{1} << 30;

// The system's English description of an error (never translated, so it is
// plain ASCII and valid engine text).
std::string SystemText(int err) {
  const char* text = strerrordesc_np(err);
  return text != nullptr ? std::string(text) : "system error " + std::to_string(err);
}

// The absolute UTF-8 path of a UTF-8 name, so a delete on close still finds
// the file after the current folder has changed.
std::string AbsoluteSysPath(const std::string& sysName) {
  if (!sysName.empty() && sysName[0] == '/') return sysName;
  char cwd[PATH_MAX];
  if (getcwd(cwd, sizeof cwd) == nullptr) return sysName;
  return std::string(cwd) + "/" + sysName;
}

// Takes an open file description lock of `type` on one byte, without waiting.
bool LockByte(int fd, off_t offset, short type) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = offset;
  lock.l_len = 1;
  lock.l_pid = 0;  // required to be zero for this kind of lock
  return fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

}  // namespace

bool IsSharingViolation(const std::string& errorText) {
  return errorText.find(kSharingViolation) != std::string::npos;
}

TSystemFile::~TSystemFile() { Close(); }

bool TSystemFile::Fail(const std::string& what) {
  error_ = what;
  return false;
}

// Byte A: every opener read-locks it; an exclusive opener write-locks it.
// Byte B: a writer write-locks it, a deny-write opener read-locks it.
// A write lock needs a descriptor open for writing; an exclusive reader of a
// file it may not write falls back to read locks on both bytes, which still
// keeps every writer out.
bool TSystemFile::TakeLocks(TFileAccess access, TFileShare share) {
  const bool fdWritable = (fcntl(fd_, F_GETFL) & O_ACCMODE) == O_RDWR;
  short a = F_RDLCK;
  short b = F_UNLCK;
  if (share == TFileShare::Exclusive) {
    a = fdWritable ? F_WRLCK : F_RDLCK;
    if (!fdWritable) b = F_RDLCK;
  }
  if (access == TFileAccess::ReadWrite) {
    b = F_WRLCK;
  } else if (share == TFileShare::DenyWrite) {
    b = F_RDLCK;
  }
  if (LockByte(fd_, kShareByteA, a) && (b == F_UNLCK || LockByte(fd_, kShareByteB, b))) {
    return true;
  }
  if (errno == EAGAIN || errno == EACCES) {
    return Fail("The file \"" + name_ + "\" is in use by another process " + kSharingViolation);
  }
  return Fail("Cannot lock the file \"" + name_ + "\": " + SystemText(errno) + ".");
}

bool TSystemFile::Open(const std::string& name, TFileAccess access, TFileShare share,
                       bool create) {
  Close();
  error_.clear();
  name_ = name;
  const std::string sysName = Cp1251ToUtf8(name);

  // Cutting a file needs write access, and so does an exclusive lock; the
  // descriptor is writable then even when the caller only reads (Write and
  // SetSize still refuse, by canWrite_).
  const bool wantWritable =
      access == TFileAccess::ReadWrite || create || share == TFileShare::Exclusive;
  int flags = (wantWritable ? O_RDWR : O_RDONLY) | O_CLOEXEC;
  bool created = false;
  int fd = -1;
  if (create) {
    // No O_TRUNC: the file may be held by another opener, and it must not be
    // cut before our locks show that nobody else holds it. O_EXCL tells us
    // whether the file is new; a file deleted between the two opens is tried
    // again.
    for (int attempt = 0; attempt < 8; ++attempt) {
      fd = open(sysName.c_str(), flags | O_CREAT | O_EXCL, 0666);
      if (fd >= 0) {
        created = true;
        break;
      }
      if (errno != EEXIST) break;
      fd = open(sysName.c_str(), flags);
      if (fd >= 0 || errno != ENOENT) break;
    }
  } else {
    fd = open(sysName.c_str(), flags);
    if (fd < 0 && wantWritable && access == TFileAccess::Read &&
        (errno == EACCES || errno == EROFS || errno == ETXTBSY)) {
      // An exclusive reader of a file it may not write: see TakeLocks.
      flags = O_RDONLY | O_CLOEXEC;
      fd = open(sysName.c_str(), flags);
    }
  }
  if (fd < 0) return Fail("Cannot open the file \"" + name + "\": " + SystemText(errno) + ".");

  struct stat st {};
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    const int err = S_ISDIR(st.st_mode) ? EISDIR : errno;
    close(fd);
    return Fail("Cannot open the file \"" + name + "\": " + SystemText(err) + ".");
  }
  // The file stays even if we just made it and the locks are refused:
  // someone else holds it now.
  if (!Adopt(fd, sysName, access, share)) return false;
  if (create && !created && ftruncate(fd_, 0) != 0) {
    const int err = errno;
    Close();
    return Fail("Cannot empty the file \"" + name + "\": " + SystemText(err) + ".");
  }
  if (created && !SyncFolder(ExtractFilePath(name))) {
    const int err = errno;
    Close();
    return Fail("Cannot record the new file \"" + name + "\" in its folder: " +
                SystemText(err) + ".");
  }
  return true;
}

bool TSystemFile::Adopt(int fd, const std::string& sysName, TFileAccess access,
                        TFileShare share) {
  fd_ = fd;
  if (!TakeLocks(access, share)) {
    close(fd_);
    fd_ = -1;
    return false;
  }
  // The engine reads pages wherever they lie; read-ahead would only waste.
  posix_fadvise(fd_, 0, 0, POSIX_FADV_RANDOM);
  canWrite_ = access == TFileAccess::ReadWrite;
  sysPath_ = AbsoluteSysPath(sysName);
  position_ = 0;
  return true;
}

bool TSystemFile::OpenNew(const std::string& folder, const std::string& prefix,
                          std::string& name) {
  Close();
  error_.clear();
  // Numbers are tried in turn; a name taken by any file, whoever made it,
  // is passed over by O_EXCL rather than opened.
  constexpr int kAttempts = 10000;
  for (int n = 0; n < kAttempts; ++n) {
    name_ = folder + prefix + std::to_string(n);
    const std::string sysName = Cp1251ToUtf8(name_);
    const int fd = open(sysName.c_str(), O_RDWR | O_CLOEXEC | O_CREAT | O_EXCL, 0666);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) return Fail("Cannot create the file \"" + name_ + "\": " + SystemText(errno) + ".");
    if (!Adopt(fd, sysName, TFileAccess::ReadWrite, TFileShare::Exclusive)) return false;
    name = name_;
    return true;
  }
  return Fail("Cannot create a new file in \"" + folder + "\": the names " + prefix + "0 to " +
              prefix + std::to_string(kAttempts - 1) + " are all taken.");
}

bool TSystemFile::OpenTemporary(const std::string& folder, std::string& name) {
  Close();
  error_.clear();
  std::string dir = folder;
  if (dir.empty()) {
    const char* tmp = getenv("TMPDIR");
    const std::string sysDir = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
    std::string convError;
    if (!Utf8ToCp1251(sysDir, dir, convError)) {
      return Fail("The temporary folder cannot be named in code page 1251: " + convError);
    }
  }
  if (dir.back() != '/') dir += '/';
  std::string sysTemplate = Cp1251ToUtf8(dir) + "nvtmp-XXXXXX";
  const int fd = mkostemp(sysTemplate.data(), O_CLOEXEC);
  if (fd < 0) {
    return Fail("Cannot create a temporary file in \"" + dir + "\": " + SystemText(errno) + ".");
  }
  // Only the ASCII tail was filled in, so the engine name is the folder plus it.
  const size_t tail = sizeof("nvtmp-XXXXXX") - 1;
  name_ = dir + sysTemplate.substr(sysTemplate.size() - tail);
  if (!Adopt(fd, sysTemplate, TFileAccess::ReadWrite, TFileShare::Exclusive)) {
    unlink(sysTemplate.c_str());
    return false;
  }
  deleteOnClose_ = true;
  name = name_;
  return true;
}

int64_t TSystemFile::Read(void* buffer, int64_t n) {
  readFailed_ = fd_ < 0;
  if (readFailed_) {
    Fail("The file is not open.");
    return 0;
  }
  if (n <= 0) return 0;
  auto* bytes = static_cast<uint8_t*>(buffer);
  int64_t done = 0;
  while (done < n) {
    const size_t chunk = static_cast<size_t>(std::min(n - done, kMaxChunk));
    const ssize_t got = pread(fd_, bytes + done, chunk, position_ + done);
    if (got < 0) {
      if (errno == EINTR) continue;
      readFailed_ = true;
      Fail("Cannot read the file \"" + name_ + "\": " + SystemText(errno) + ".");
      break;
    }
    if (got == 0) break;  // end of file
    done += got;
  }
  position_ += done;
  return done;
}

int64_t TSystemFile::Write(const void* buffer, int64_t n) {
  if (fd_ < 0 || n <= 0) return 0;
  if (!canWrite_) {
    Fail("The file \"" + name_ + "\" is open for reading only.");
    return 0;
  }
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  int64_t done = 0;
  while (done < n) {
    const size_t chunk = static_cast<size_t>(std::min(n - done, kMaxChunk));
    const ssize_t put = pwrite(fd_, bytes + done, chunk, position_ + done);
    if (put < 0) {
      if (errno == EINTR) continue;
      Fail("Cannot write the file \"" + name_ + "\": " + SystemText(errno) + ".");
      break;
    }
    if (put == 0) break;
    done += put;
  }
  if (writeBehind_) WriteBehind(done);
  position_ += done;
  return done;
}

int64_t TSystemFile::Seek(int64_t offset, int origin) {
  if (fd_ < 0) return -1;
  int64_t base;
  switch (origin) {
    case 0: base = 0; break;
    case 1: base = position_; break;
    case 2: base = Size(); break;
    default: return -1;
  }
  if (base < 0) return -1;
  if (offset > 0 && base > INT64_MAX - offset) return -1;
  const int64_t target = base + offset;
  if (target < 0) return -1;
  position_ = target;
  return target;
}

int64_t TSystemFile::Size() const {
  struct stat st {};
  if (fd_ < 0 || fstat(fd_, &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool TSystemFile::SetSize(int64_t size) {
  if (fd_ < 0) return Fail("The file is not open.");
  if (!canWrite_) return Fail("The file \"" + name_ + "\" is open for reading only.");
  if (size < 0) return Fail("A file cannot be given a negative size.");
  const int64_t old = Size();
  if (old < 0) return Fail("Cannot read the size of \"" + name_ + "\": " + SystemText(errno) + ".");
  if (size > old) {
    // Reserving the blocks now makes a full disk fail here rather than at
    // some later write in the middle of the engine's work.
    int rc;
    do {
      rc = posix_fallocate(fd_, old, size - old);
    } while (rc == EINTR);
    if (rc == EOPNOTSUPP || rc == EINVAL) {
      // The file system cannot reserve space; a sparse extension still reads
      // as zeros, which is all correctness needs.
      rc = ftruncate(fd_, size) == 0 ? 0 : errno;
    }
    if (rc != 0) return Fail("Cannot enlarge the file \"" + name_ + "\": " + SystemText(rc) + ".");
  } else if (size < old && ftruncate(fd_, size) != 0) {
    return Fail("Cannot shorten the file \"" + name_ + "\": " + SystemText(errno) + ".");
  }
  return true;
}

bool TSystemFile::Flush() {
  if (fd_ < 0) return Fail("The file is not open.");
  const int error = fsync(fd_) != 0 ? errno : std::exchange(behindError_, 0);
  if (error != 0)
    return Fail("Cannot write the file \"" + name_ + "\" to disk: " + SystemText(error) + ".");
  unsentBytes_ = 0;
  return true;
}

bool TSystemFile::SetDirectWrites(bool on) {
  if (fd_ < 0) return Fail("The file is not open.");
  // On a pipe the same flag means packets, which change what readers get.
  struct stat st {};
  if (on && (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)))
    return Fail("\"" + name_ + "\" is not a regular file: it takes no direct writes.");
  const int flags = fcntl(fd_, F_GETFL);
  if (flags < 0 || fcntl(fd_, F_SETFL, on ? flags | O_DIRECT : flags & ~O_DIRECT) != 0)
    return Fail("Cannot change the write mode of \"" + name_ + "\": " + SystemText(errno) + ".");
  return true;
}

void TSystemFile::SetWriteBehind(bool on) {
  writeBehind_ = on;
  unsentBytes_ = 0;
}

void TSystemFile::WriteBehind(int64_t written) {
  unsentBytes_ += written;
  if (unsentBytes_ < kWriteBehindRun) return;
  unsentBytes_ = 0;
  // Waits for the pages the previous start sent, then sends everything
  // written since. Waiting takes the file's write error from the system,
  // so a later fsync would no longer see it: it is kept for Flush.
  if (sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE) != 0 &&
      errno != EINTR && behindError_ == 0)
    behindError_ = errno;
}

void TSystemFile::Close() {
  if (fd_ < 0) return;
  // Unlinked while our locks are still held, so no one can open the file in
  // the gap and then find it gone.
  if (deleteOnClose_) unlink(sysPath_.c_str());
  close(fd_);  // releases this description's locks, and only them
  fd_ = -1;
  position_ = 0;
  canWrite_ = false;
  deleteOnClose_ = false;
  writeBehind_ = false;
  unsentBytes_ = 0;
  behindError_ = 0;
}

}  // namespace norvane
